#include "npce/npce_answers.h"

#include <algorithm>

#include "base/hex_text.h"
#include "npce/npce_commands.h"

namespace zjig::npce {

FlashIdAnswer readFlashId(const uint8_t* bytes, size_t count) {
    FlashIdAnswer answer;
    answer.accepted =
        count == kIdAnswerBytes && std::equal(kFlashId.begin(), kFlashId.end(), bytes);
    answer.shown = upperHexBytes(bytes, std::min(count, kFlashId.size()));
    return answer;
}

}  // namespace zjig::npce
