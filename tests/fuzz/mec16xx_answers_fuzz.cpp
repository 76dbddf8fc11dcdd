// The MEC16xx answer parsers on arbitrary bytes from the JIG: a register
// answer of any length, a register write's answer, the status bits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "mec16xx/mec16xx_answers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zjig::mec16;
    const auto value = parseRegisterAnswer(data, size);
    if (value) {
        // Five bytes: "XXXX XXXXh" and the status byte is the fourth.
        if (size != 5 || value->text.size() != 10 || value->text[4] != ' ' ||
            value->text[9] != 'h' || value->statusByte != data[3])
            std::abort();
    } else if (size == 5) {
        std::abort();
    }
    const bool done = registerWriteDone(data, size);
    if (done != (size == 1 && data[0] == 1)) std::abort();
    if (size > 0) {
        const Protection p = protectionOf(data[0]);
        if (p.fwp != ((data[0] & 0x10) != 0) || p.bootLock != ((data[0] & 0x08) != 0)) std::abort();
    }
    return 0;
}
