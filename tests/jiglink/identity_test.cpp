#include "jiglink/identity.h"

#include <gtest/gtest.h>

namespace zjig {
namespace {

TEST(PrintableChar, KeepsDigitsLettersDotAndUnderscoreOnly) {
    std::string kept, spaced;
    for (int b = 0; b < 256; ++b) {
        const char c = PrintableChar(static_cast<uint8_t>(b));
        (c == ' ' ? spaced : kept) += static_cast<char>(b);
        if (c != ' ') {
            EXPECT_EQ(c, static_cast<char>(b));
        }
    }
    EXPECT_EQ(kept, ".0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz");
}

TEST(PrintableText, MapsLineEndsAndHighBytesToSpaces) {
    const uint8_t answer[] = {'M', '3', '2', '8', '\r', '\n', 0xC0, 0x00, '-', 'v'};
    EXPECT_EQ(PrintableText(answer, sizeof answer), "M328     v");
}

}  // namespace
}  // namespace zjig
