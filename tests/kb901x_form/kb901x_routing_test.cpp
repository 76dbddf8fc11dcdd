#include "kb901x_form/kb901x_routing.h"

#include <gtest/gtest.h>

#include "kb901x_form/kb901x_checksum.h"

namespace zjig::kb90 {
namespace {

// --- database split ---

TEST(MbDatabase, LineFeedsEndRecordsCarriageReturnsVanishTailIsDropped) {
    EXPECT_EQ(splitMbDatabase("A KSO3=1\r\n\r\nB KSO3=2\nC unfinished"),
              (std::vector<std::string>{"A KSO3=1", "", "B KSO3=2"}));
    EXPECT_EQ(splitMbDatabase("one\rline\n"), (std::vector<std::string>{"oneline"}));
    EXPECT_TRUE(splitMbDatabase("no line end at all").empty());
    EXPECT_TRUE(splitMbDatabase("").empty());
}

// --- key values and pin numbers ---

struct KeyCase {
    const char* record;
    const char* key;
    std::optional<std::string> value;
};

TEST(MbRecord, KeyValueIsOneOrTwoCharactersAfterTheFirstOccurrence) {
    const KeyCase cases[] = {
        {"X KSO3=12 KSI4=5", "KSO3=", "12"},
        {"X KSO3=5 KSI4=6", "KSO3=", "5"},   // blank ends a one-digit value
        {"X KSO3=7", "KSO3=", "7"},          // record ends after one digit
        {"X KSO3=", "KSO3=", ""},            // key at the very end
        {"X KSO3=3,KSI4=4", "KSO3=", "3,"},  // a separator is taken in
        {"KSO3=1 KSO3=2", "KSO3=", "1"},     // first occurrence counts
        {"X KSI4=5", "KSO3=", std::nullopt},
        {"X kso3=5", "KSO3=", std::nullopt},  // keys are case-sensitive
    };
    for (const auto& c : cases) EXPECT_EQ(mbKeyValue(c.record, c.key), c.value) << c.record;
}

TEST(MbRecord, PinNumbersAreDecimal1To32) {
    EXPECT_EQ(pinNumber("1"), 1);
    EXPECT_EQ(pinNumber("32"), 32);
    EXPECT_EQ(pinNumber("05"), 5);
    for (const char* bad : {"", "0", "00", "33", "99", "3,", "a", "-1", " 1", "123"})
        EXPECT_EQ(pinNumber(bad), std::nullopt) << '"' << bad << '"';
}

TEST(MbRecord, ParsesKeysInAnyOrderAndPlace) {
    auto pins = parseMbRecord("KSI7=8 Board LA-1234 KSI5=6 KSO3=12 KSI6=7 KSI4=5");
    ASSERT_TRUE(pins);
    EXPECT_EQ(*pins, (PinSet{12, 5, 6, 7, 8}));
    EXPECT_EQ(pins->highest(), 12);
}

TEST(MbRecord, MissingKeyOrBadValueIsRejected) {
    for (const char* record : {
             "",                                       // an empty entry
             "X KSO3=1 KSI4=2 KSI5=3 KSI6=4",          // KSI7 missing
             "X KSO3=1 KSI4=2 KSI6=4 KSI7=9",          // KSI5 missing
             "X KSO3=0 KSI4=2 KSI5=3 KSI6=4 KSI7=9",   // pin 0
             "X KSO3=1 KSI4=2 KSI5=3 KSI6=40 KSI7=9",  // beyond 32
             "X KSO3=1,KSI4=2 KSI5=3 KSI6=4 KSI7=9",   // separator after one digit
             "X KSO3=1 KSI4=2 KSI5=3 KSI6=4 KSI7=",    // no value
         })
        EXPECT_EQ(parseMbRecord(record), std::nullopt) << record;
}

// --- cable size, mirroring, wiring help ---

TEST(FfcCable, SizeComesFromTheFirstTwoCharacters) {
    EXPECT_EQ(ffcPinCount("18 pin"), 18);
    EXPECT_EQ(ffcPinCount("32 pin"), 32);
    EXPECT_EQ(ffcPinCount("Select FFC cable you used"), 0);
    EXPECT_EQ(ffcPinCount("8"), 0);
}

TEST(FfcCable, WiringHelpAsGivenAndMirrored) {
    EXPECT_EQ(wiringHelp(PinSet{12, 5, 6, 7, 8}),
              "Please connect GND and:  A12 B5 C8 D7 E6 (only for JIG 2)");
    // Record "X KSO3=3 KSI4=10 KSI5=11 KSI6=12 KSI7=13" on an 18-pin cable turned over.
    const PinSet mirrored = mirrorPins(PinSet{3, 10, 11, 12, 13}, 18);
    EXPECT_EQ(mirrored, (PinSet{16, 9, 8, 7, 6}));
    EXPECT_EQ(wiringHelp(mirrored), "Please connect GND and:  A16 B9 C6 D7 E8 (only for JIG 2)");
    // Mirroring twice gives the pins back.
    EXPECT_EQ(mirrorPins(mirrored, 18), (PinSet{3, 10, 11, 12, 13}));
}

// --- routing image ---

TEST(CpldRouting, SignalCodesOnOnePin) {
    struct Case {
        EneSignal signal;
        uint8_t high, low, drive;
    } cases[] = {
        {EneSignal::CLK_ENE, 0, 0, 1},
        {EneSignal::D_TO_ENE, 0, 1, 1},
        {EneSignal::CS_ENE, 1, 0, 1},
        {EneSignal::ZERO, 1, 1, 1},
    };
    for (const auto& c : cases) {
        for (int pin : {1, 8, 9, 20, 32}) {
            RoutingImage image;
            // Start from all ones so that a cleared select bit shows.
            image.selectHigh.fill(0xFF);
            image.selectLow.fill(0xFF);
            KB90_RouteSignal(image, c.signal, pin);
            const int byte = (pin - 1) / 8;
            const uint8_t bit = static_cast<uint8_t>(1u << ((pin - 1) % 8));
            EXPECT_EQ((image.selectHigh[byte] & bit) != 0, c.high == 1) << pin;
            EXPECT_EQ((image.selectLow[byte] & bit) != 0, c.low == 1) << pin;
            EXPECT_EQ(image.driveEnable[byte], bit) << pin;
            // Other pins keep their bits.
            EXPECT_EQ(image.selectHigh[byte] | bit, 0xFF);
            EXPECT_EQ(image.inputSelect, 0);
        }
    }
}

TEST(CpldRouting, DataFromEneSelectsTheInputOnlyAndGetsNoDrive) {
    for (int pin : {1, 9, 32}) {
        RoutingImage image;
        KB90_RouteSignal(image, EneSignal::D_FROM_ENE, pin);
        EXPECT_EQ(image.inputSelect, 0x80 | (pin - 1));
        EXPECT_EQ(image.driveEnable, (std::array<uint8_t, 4>{}));
        EXPECT_EQ(image.selectHigh, (std::array<uint8_t, 4>{}));
        EXPECT_EQ(image.selectLow, (std::array<uint8_t, 4>{}));
    }
}

TEST(CpldRouting, ExampleRegisterWritesInTheCpldOrder) {
    // KSO3=1, KSI4=2, KSI5=3, KSI6=4, KSI7=9.
    const auto writes = routingRegisterWrites(routingFor(PinSet{1, 2, 3, 4, 9}));
    const std::vector<std::pair<uint8_t, uint8_t>> expected = {
        {0x24, 0x03}, {0x20, 0x09}, {0x25, 0x00}, {0x21, 0x00}, {0x26, 0x00},
        {0x22, 0x00}, {0x27, 0x00}, {0x23, 0x00}, {0x10, 0x0F}, {0x11, 0x00},
        {0x12, 0x00}, {0x13, 0x00}, {0x40, 0x88}};
    EXPECT_EQ(writes, expected);
}

TEST(CpldRouting, HighPinsLandInTheirGroupAndALaterSignalWinsASharedPin) {
    // ZERO on 25, CS on 17, D_FROM on 32, D_TO on 9, CLK on 17 (shares with CS).
    const RoutingImage image = routingFor(PinSet{25, 17, 17, 9, 32});
    EXPECT_EQ(image.driveEnable, (std::array<uint8_t, 4>{0x00, 0x01, 0x01, 0x01}));
    EXPECT_EQ(image.selectHigh,
              (std::array<uint8_t, 4>{0x00, 0x00, 0x00, 0x01}));  // CLK cleared CS's bit
    EXPECT_EQ(image.selectLow, (std::array<uint8_t, 4>{0x00, 0x01, 0x00, 0x01}));
    EXPECT_EQ(image.inputSelect, 0x80 | 31);
}

// --- checksums ---

TEST(Checksum, Crc16ArcCheckValue) {
    const std::string text = "123456789";
    EXPECT_EQ(crc16Arc(0, reinterpret_cast<const uint8_t*>(text.data()), text.size()), 0xBB3D);
}

TEST(Checksum, WholeImagesOfOneByte) {
    struct Case {
        uint8_t fill;
        uint16_t sum, crc;
    } cases[] = {{0xFF, 0x0000, 0x9401}, {0x00, 0x0000, 0x0000}};
    for (const auto& c : cases) {
        FlashChecksum total;
        const std::vector<uint8_t> block(256, c.fill);
        for (int i = 0; i < 512; ++i) total.add(block.data(), block.size());
        EXPECT_EQ(total.sum, c.sum) << int(c.fill);
        EXPECT_EQ(total.crc, c.crc) << int(c.fill);
    }
}

TEST(Checksum, SumWrapsAndBlockwiseEqualsWhole) {
    const uint8_t bytes[] = {0xFF, 0x02, 0x10};
    EXPECT_EQ(sum16(0xFFFF, bytes, 2), 0x0100);
    std::vector<uint8_t> data(1000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
    FlashChecksum split;
    split.add(data.data(), 300);
    split.add(data.data() + 300, 700);
    EXPECT_EQ(split.crc, crc16Arc(0, data.data(), data.size()));
    EXPECT_EQ(split.sum, sum16(0, data.data(), data.size()));
}

}  // namespace
}  // namespace zjig::kb90
