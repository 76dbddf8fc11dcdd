// The answer to the flash identification: accepted only whole and right; the
// memo shows the ID bytes that came.
#include "npce/npce_answers.h"

#include <gtest/gtest.h>

#include <vector>

namespace zjig::npce {
namespace {

TEST(NpceFlashId, AcceptedOnlyWholeAndRight) {
    struct Case {
        std::vector<uint8_t> bytes;
        bool accepted;
        const char* shown;
    } cases[] = {
        {{0xEF, 0x40, 0x12, 0x00}, true, "EF4012"},
        {{0xEF, 0x40, 0x12, 0xA5}, true, "EF4012"},  // the fourth byte is not looked at
        {{0xFF, 0xFF, 0xFF, 0x00}, false, "FFFFFF"},
        {{0xEF, 0x40, 0x13, 0x00}, false, "EF4013"},
        {{0x0E, 0x40, 0x12, 0x00}, false, "0E4012"},
        {{0xEF, 0x40, 0x12}, false, "EF4012"},  // a byte short
        {{0xEF, 0x40, 0x12, 0x00, 0x00}, false, "EF4012"},
        {{0xEF}, false, "EF"},
        {{}, false, ""},
    };
    for (const auto& c : cases) {
        const auto answer = readFlashId(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(answer.accepted, c.accepted) << c.shown << " (" << c.bytes.size() << " bytes)";
        EXPECT_EQ(answer.shown, c.shown);
    }
}

}  // namespace
}  // namespace zjig::npce
