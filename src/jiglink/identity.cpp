#include "jiglink/identity.h"

namespace zjig {

char PrintableChar(uint8_t byte) {
    const char c = static_cast<char>(byte);
    const bool keep = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                      c == '.' || c == '_';
    return keep ? c : ' ';
}

std::string PrintableText(const uint8_t* bytes, size_t n) {
    std::string text;
    text.reserve(n);
    for (size_t i = 0; i < n; ++i) text += PrintableChar(bytes[i]);
    return text;
}

}  // namespace zjig
