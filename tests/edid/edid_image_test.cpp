// The EEPROM image helpers: the hex view line by line, the status pair, the
// image a file gives, and the EDID summary.
#include "edid/edid_image.h"

#include <gtest/gtest.h>

namespace zjig::edid {
namespace {

EepromImage filled(uint8_t value) {
    EepromImage image;
    image.fill(value);
    return image;
}

TEST(EdidHexView, AnEmptyLineThenSixteenLinesOfSixteenBytes) {
    EepromImage image = filled(0);
    image[0] = 0x41;
    image[1] = 0x5F;
    image[2] = 0x20;
    for (size_t i = 16; i < 32; ++i) image[i] = static_cast<uint8_t>(0x70 + i);  // 80..8F
    image[255] = 0xAB;
    const auto lines = hexViewLines(image);
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], ": 41 5F 20 00 00 00 00 00 00 00 00 00 00 00 00 00 A_..............");
    EXPECT_EQ(lines[2], ": 80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F ................");
    EXPECT_EQ(lines[16], ": 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 AB ................");
}

TEST(EdidHexView, OnlyDigitsLettersDotAndUnderscoreShowAsThemselves) {
    struct Case {
        uint8_t byte;
        char shown;
    } cases[] = {{'0', '0'},  {'9', '9'},  {'A', 'A'},  {'Z', 'Z'}, {'a', 'a'},  {'z', 'z'},
                 {'.', '.'},  {'_', '_'},  {' ', '.'},  {'-', '.'}, {'/', '.'},  {':', '.'},
                 {'@', '.'},  {'[', '.'},  {'`', '.'},  {'{', '.'}, {0x7F, '.'}, {0x0A, '.'},
                 {0x80, '.'}, {0xC0, '.'}, {0xE1, '.'}, {0xFF, '.'}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.byte));
        const auto lines = hexViewLines(filled(c.byte));
        EXPECT_EQ(lines[5].substr(50), std::string(16, c.shown));
    }
}

TEST(EdidStatus, OnlyOkAndErMeanSomething) {
    struct Case {
        const char* pair;
        EepromStatus status;
    } cases[] = {{"OK", EepromStatus::Ok},    {"ER", EepromStatus::Error},
                 {"ok", EepromStatus::Other}, {"KO", EepromStatus::Other},
                 {"RE", EepromStatus::Other}, {"OR", EepromStatus::Other},
                 {"EK", EepromStatus::Other}, {"\xFF\xFF", EepromStatus::Other}};
    for (const auto& c : cases) {
        EXPECT_EQ(statusOf(static_cast<uint8_t>(c.pair[0]), static_cast<uint8_t>(c.pair[1])),
                  c.status)
            << c.pair;
    }
}

TEST(EdidImageFromFile, ShortFilesArePaddedWithFfLongOnesCut) {
    for (size_t size : {1u, 128u, 255u, 256u, 300u}) {
        SCOPED_TRACE(size);
        std::vector<uint8_t> file(size);
        for (size_t i = 0; i < size; ++i) file[i] = static_cast<uint8_t>(i ^ 0x5A);
        const EepromImage image = imageFromFile(file);
        for (size_t i = 0; i < image.size(); ++i)
            ASSERT_EQ(image[i], i < size ? file[i] : 0xFF) << "byte " << i;
    }
}

// A base block with the header, maker "ZVX", product 0x156F and its checksum.
EepromImage soundEdid() {
    EepromImage e = filled(0);
    const uint8_t head[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x6A, 0xD8, 0x6F, 0x15};
    std::copy(std::begin(head), std::end(head), e.begin());
    e[100] = 0x33;
    unsigned sum = 0;
    for (size_t i = 0; i < 127; ++i) sum += e[i];
    e[127] = static_cast<uint8_t>(0x100 - sum % 256);
    e[200] = 0x77;  // the second half is not part of the base block's sum
    return e;
}

TEST(EdidSummary, ASoundBaseBlock) {
    const EdidSummary s = summarize(soundEdid());
    EXPECT_TRUE(s.headerPresent);
    EXPECT_TRUE(s.checksumValid);
    EXPECT_EQ(s.manufacturer, "ZVX");
    EXPECT_EQ(s.productCode, 0x156F);
    EXPECT_EQ(summaryText(s),
              "EDID header: present\nChecksum of bytes 0-127: valid\nManufacturer: ZVX\n"
              "Product code: 156Fh");
}

TEST(EdidSummary, WhatABrokenImageShows) {
    EepromImage badSum = soundEdid();
    badSum[50] = static_cast<uint8_t>(badSum[50] + 0x3C);
    EepromImage noHeader = soundEdid();
    noHeader[7] = 0xFF;
    EepromImage lettersA = soundEdid();  // 0x0421: "AAA"
    lettersA[8] = 0x04;
    lettersA[9] = 0x21;
    EepromImage zeroLetter = soundEdid();  // 0x0020: first and third letter 0
    zeroLetter[8] = 0x00;
    zeroLetter[9] = 0x20;
    EepromImage reservedBit = soundEdid();  // "ZVX" with bit 15 set
    reservedBit[8] = 0xEA;

    EXPECT_EQ(summaryText(summarize(badSum)),
              "EDID header: present\nChecksum of bytes 0-127: wrong (they sum to 3Ch, not 00h)\n"
              "Manufacturer: ZVX\nProduct code: 156Fh");
    EXPECT_FALSE(summarize(noHeader).headerPresent);
    EXPECT_EQ(summarize(lettersA).manufacturer, "AAA");
    EXPECT_EQ(summarize(zeroLetter).manufacturer, std::nullopt);
    EXPECT_EQ(summarize(reservedBit).manufacturer, std::nullopt);
    EXPECT_EQ(summaryText(summarize(filled(0xFF))),
              "EDID header: missing\nChecksum of bytes 0-127: wrong (they sum to 80h, not 00h)\n"
              "Manufacturer: FFFFh, not three letters\nProduct code: FFFFh");
}

}  // namespace
}  // namespace zjig::edid
