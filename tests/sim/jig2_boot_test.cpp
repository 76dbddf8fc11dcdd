// The second-generation JIG's way into its bootloader and the upload of a new
// firmware through it.
#include <gtest/gtest.h>

#include <chrono>

#include "sim_helpers.h"

namespace {

using namespace simtest;
using std::chrono::milliseconds;
using Stage = sim::SimJig::Stage;

class Jig2Boot : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(j.ok()); }

    // '?' at 921600, then the PC's 'U' synchronisation at 115200.
    Bytes enterAndSync() {
        j.send('?');
        EXPECT_EQ(j.take(1), Bytes{'!'});
        j.dev->setBaudRate(kBootBaud);
        j.send(bytes("UUUU"));
        return takeUntilXon(j, 16);
    }
    // Upload of a whole image: "pf", one line per 16 bytes, EOF.
    void upload(const Bytes& image) {
        j.send("pf\n");
        ASSERT_EQ(j.take(7).size(), 7u);
        for (size_t at = 0; at < image.size(); at += 16) {
            j.send(hexLine(static_cast<uint16_t>(at),
                           Bytes(image.begin() + at, image.begin() + at + 16)));
            ASSERT_EQ(takeUntilXon(j), bytes("OK\x11")) << "line at " << at;
        }
        j.send(":00000001FF\n");
        ASSERT_EQ(j.take(7).size(), 7u);
    }
    // "g": five bytes, then the firmware runs at 921600.
    void go() {
        j.send("g\n");
        EXPECT_EQ(j.take(5).size(), 5u);
        j.dev->setBaudRate(kFirmwareBaud);
    }
    // The answer to 'B', of the length the test expects.
    std::string identify(size_t length) {
        j.send('B');
        return text(j.take(length));
    }

    Jig j{"jig2"};
};

TEST_F(Jig2Boot, QuestionMarkAnswersBangAndSwitchesTo115200) {
    j.send('?');
    EXPECT_EQ(j.take(1), Bytes{'!'});
    EXPECT_EQ(j.jig().stage(), Stage::Jig2Bootloader);
    EXPECT_EQ(j.jig().jigBaud(), kBootBaud);
    j.send('B');  // 921600 no longer reaches it
    EXPECT_TRUE(j.quiet().empty());
    EXPECT_EQ(j.jig().resetPresses(), 0);
}

TEST_F(Jig2Boot, GreetingIsShortEndsInXonAndStrayUsAreIgnored) {
    const Bytes greeting = enterAndSync();
    ASSERT_FALSE(greeting.empty());
    EXPECT_LE(greeting.size(), 15u);
    EXPECT_EQ(greeting.back(), kXon);
    EXPECT_EQ(std::count(greeting.begin(), greeting.end(), kXon), 1);
    // More 'U's from the PC's loop, then "pf": exactly seven bytes, and the
    // next answer is the data line's own.
    j.send(bytes("UUUUUUUU"));
    j.send("pf\n");
    EXPECT_EQ(j.take(7).size(), 7u);
    j.send(hexLine(0, Bytes(16, 0x11)));
    EXPECT_EQ(takeUntilXon(j), bytes("OK\x11"));
    EXPECT_EQ(j.jig().resetPresses(), 0) << "the JIG was waiting: nobody pressed reset";
}

TEST_F(Jig2Boot, GoodLineIsStoredAndAnsweredWithTwoOrThreeBytesAndXon) {
    enterAndSync();
    j.send("pf\n");
    ASSERT_EQ(j.take(7).size(), 7u);
    Bytes data(16);
    for (int i = 0; i < 16; ++i) data[i] = static_cast<uint8_t>(0xF0 + i);
    j.send(hexLine(0x0120, data));
    const Bytes answer = takeUntilXon(j);
    ASSERT_FALSE(answer.empty());
    EXPECT_EQ(answer.back(), kXon);
    EXPECT_TRUE(answer.size() == 3 || answer.size() == 4) << answer.size();
    const Bytes flash = j.jig().jig2BootFlash();
    ASSERT_EQ(flash.size(), 6144u);
    EXPECT_EQ(Bytes(flash.begin() + 0x120, flash.begin() + 0x130), data);
    EXPECT_EQ(flash[0x11F], 0xFF) << "\"pf\" erased the flash";
}

struct RefusedLine {
    const char* name;
    std::string line;
    bool afterPf;
};

class Jig2BootRefusal : public Jig2Boot, public testing::WithParamInterface<RefusedLine> {};

TEST_P(Jig2BootRefusal, BadLineIsAnsweredWithFourBytesWhoseSecondIsDash) {
    enterAndSync();
    if (GetParam().afterPf) {
        j.send("pf\n");
        ASSERT_EQ(j.take(7).size(), 7u);
    }
    const Bytes before = j.jig().jig2BootFlash();
    j.send(GetParam().line);
    const Bytes answer = takeUntilXon(j);
    ASSERT_EQ(answer.size(), 5u) << text(answer);
    EXPECT_EQ(answer[1], '-');
    EXPECT_EQ(answer[4], kXon);
    EXPECT_EQ(j.jig().jig2BootFlash(), before) << "nothing stored";
    // The bootloader takes the next line as usual.
    j.send(":00000001FF\n");
    EXPECT_EQ(j.take(7).size(), 7u);
}

std::string lowerCased(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Sim, Jig2BootRefusal,
    testing::Values(RefusedLine{"BadChecksum", hexLine(0x0010, Bytes(16, 0xFF), 1), true},
                    RefusedLine{"LowerCaseHex", lowerCased(hexLine(0x00A0, Bytes(16, 0xAB))), true},
                    RefusedLine{"ShortLine", ":10000000FF\n", true},
                    RefusedLine{"NotDataRecord", ":10000002" + std::string(32, '0') + "EE\n", true},
                    RefusedLine{"BeyondTheFlash", hexLine(0x1800, Bytes(16, 0x00)), true},
                    RefusedLine{"BeforePf", hexLine(0x0000, Bytes(16, 0x00)), false},
                    RefusedLine{"UnknownCommand", "xy\n", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Jig2Boot, UploadedImageStartsWithTheIdentityOfItsMarker) {
    enterAndSync();
    upload(imageNamed("PCB2_TEST_V42", 512));
    go();
    EXPECT_EQ(j.jig().stage(), Stage::Firmware);
    EXPECT_EQ(identify(15), "PCB2_TEST_V42\r\n");
    EXPECT_EQ(j.dev->identity(), "PCB2_TEST_V42");
}

TEST_F(Jig2Boot, GoWithoutUploadRestartsThePreviousFirmware) {
    enterAndSync();
    go();
    EXPECT_EQ(identify(14), "PCB2_M88_V41\r\n");
}

TEST_F(Jig2Boot, ImageWithoutMarkerRunsSilentUntilTheTechnicianResetsIt) {
    enterAndSync();
    upload(Bytes(64, 0x5A));
    go();
    EXPECT_EQ(j.dev->identity(), "");
    j.send('B');
    j.send('?');
    EXPECT_TRUE(j.quiet().empty());

    // The update window's 'U' loop: the technician presses reset, the
    // bootloader greets.
    j.dev->setBaudRate(kBootBaud);
    const Bytes greeting = syncLoop(j);
    ASSERT_FALSE(greeting.empty());
    EXPECT_EQ(greeting.back(), kXon);
    EXPECT_EQ(j.jig().resetPresses(), 1);
    EXPECT_EQ(j.jig().stage(), Stage::Jig2Bootloader);
}

TEST_F(Jig2Boot, StaleBootloaderIsResetWhenTheProgramSynchronisesAgain) {
    enterAndSync();
    j.send("pf\n");
    ASSERT_EQ(j.take(7).size(), 7u);
    // An upload broken off; a later run synchronises again.
    const Bytes greeting = syncLoop(j);
    ASSERT_FALSE(greeting.empty());
    EXPECT_EQ(greeting.back(), kXon);
    EXPECT_EQ(j.jig().resetPresses(), 1);
}

TEST(Jig2BootReset, ResetPressWhileTheFirmwareRunsEntersTheBootloader) {
    Jig j("jig2,reset=never");
    ASSERT_TRUE(j.ok());
    j.dev->setBaudRate(kBootBaud);
    j.send(bytes("UUU"));
    EXPECT_TRUE(j.quiet().empty()) << "never: nobody presses";
    EXPECT_EQ(j.jig().resetPresses(), 0);

    j.jig().pressResetButton();
    const Bytes greeting = syncLoop(j);
    ASSERT_FALSE(greeting.empty());
    EXPECT_EQ(greeting.back(), kXon);
    EXPECT_EQ(j.jig().resetPresses(), 1);
}

TEST(Jig2BootReset, DelayedPressComesNoSoonerThanAsked) {
    Jig j("jig2,reset=300");
    ASSERT_TRUE(j.ok());
    j.dev->setBaudRate(kBootBaud);
    const auto t0 = std::chrono::steady_clock::now();
    const Bytes greeting = syncLoop(j);
    ASSERT_FALSE(greeting.empty());
    EXPECT_GE(std::chrono::steady_clock::now() - t0, milliseconds(300));
    EXPECT_EQ(j.jig().resetPresses(), 1);
}

TEST(Jig2BootReset, BootOptionWaitsInTheBootloader) {
    Jig j("jig2,boot");
    ASSERT_TRUE(j.ok());
    j.send('B');
    EXPECT_TRUE(j.quiet().empty()) << "silent at 921600";
    j.dev->setBaudRate(kBootBaud);
    j.send('U');
    const Bytes greeting = takeUntilXon(j);
    ASSERT_FALSE(greeting.empty());
    EXPECT_EQ(greeting.back(), kXon);
    EXPECT_EQ(j.jig().resetPresses(), 0);
}

}  // namespace
