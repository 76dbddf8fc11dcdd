#include "base/hex_text.h"

#include <cstdio>

namespace zjig {

std::string upperHex(uint32_t value, int minDigits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", minDigits, static_cast<unsigned>(value));
    return text;
}

std::string upperHexBytes(const uint8_t* bytes, size_t count) {
    std::string text;
    text.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) text += upperHex(bytes[i], 2);
    return text;
}

}  // namespace zjig
