#include "base/display_text.h"

#include "base/hex_text.h"

namespace zjig {

std::string displayText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            out += "\\x" + upperHex(byte, 2);
        else
            out += c;
    }
    return out;
}

}  // namespace zjig
