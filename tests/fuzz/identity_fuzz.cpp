// The JIG identity on any answer: n bytes give n characters, each a digit, a
// letter, '.', '_' or a space, the byte itself where it is kept; the text is
// its own printable form; and the identity rules nest (current third-
// generation firmware is a third-generation shell is a third-generation JIG).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "jiglink/identity.h"

namespace {

bool allowed(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' ||
           c == '_' || c == ' ';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zjig;
    const std::string text = PrintableText(data, size);
    FUZZ_CHECK(text.size() == size);
    for (size_t i = 0; i < size; ++i) {
        const char c = text[i];
        FUZZ_CHECK(allowed(c));
        FUZZ_CHECK(c == PrintableChar(data[i]));
        FUZZ_CHECK(c == ' ' || c == static_cast<char>(data[i]));
    }
    const std::string again =
        PrintableText(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    FUZZ_CHECK(again == text);

    if (contains(text, kIdJig3Current)) FUZZ_CHECK(contains(text, kIdJig3Shell));
    if (contains(text, kIdJig3Shell)) FUZZ_CHECK(contains(text, kIdJig3));
    return 0;
}
