// The third-generation JIG: its firmware's own commands (CPLD, result bytes)
// and the bootloader that takes a new firmware in 128-byte blocks.
#include <gtest/gtest.h>

#include <chrono>

#include "sim_helpers.h"

namespace {

using namespace simtest;
using std::chrono::milliseconds;
using Stage = sim::SimJig::Stage;

// The updater's wake loop: one '+' per status poll while fewer than seven
// bytes are queued.
Bytes wakeLoop(Jig& j) {
    const auto until = std::chrono::steady_clock::now() + milliseconds(kPatientMs);
    while (j.rxQueue() < 7 && std::chrono::steady_clock::now() < until) {
        j.send('+');
        j.dev->waitForData(6, std::chrono::steady_clock::now() + milliseconds(20));
    }
    return j.take(j.rxQueue());
}

// 'W' -> 'G', 128 bytes -> '+', for every block of the image padded with 0xFF.
void sendBlocks(Jig& j, const Bytes& image, size_t blocks) {
    for (size_t b = 0; b < blocks; ++b) {
        j.send('W');
        ASSERT_EQ(j.take(1), Bytes{'G'}) << "block " << b;
        Bytes block(128, 0xFF);
        for (size_t i = 0; i < 128 && b * 128 + i < image.size(); ++i)
            block[i] = image[b * 128 + i];
        j.send(block);
        ASSERT_EQ(j.take(1), Bytes{'+'}) << "block " << b;
    }
}

TEST(Jig3Firmware, CpldCommandsAreAnsweredWithOneByteAndKeepTheRegisters) {
    Jig j("jig3");
    ASSERT_TRUE(j.ok());
    EXPECT_TRUE(j.jig().cpldWireMode()) << "wire mode at power on";
    j.send(Bytes{'S', 'W', 0x24, 0x03});
    EXPECT_EQ(j.take(1).size(), 1u);
    j.send(Bytes{'S', 'W', 0x40, 0x88});
    EXPECT_EQ(j.take(1).size(), 1u);
    auto regs = j.jig().cpldRegisters();
    EXPECT_EQ(regs[0x24], 0x03);
    EXPECT_EQ(regs[0x40], 0x88);
    EXPECT_FALSE(j.jig().cpldWireMode());

    j.send(Bytes{'S', 'R'});
    EXPECT_EQ(j.take(1).size(), 1u);
    regs = j.jig().cpldRegisters();
    EXPECT_EQ(regs[0x24], 0x00);
    EXPECT_EQ(regs[0x40], 0x00);
    EXPECT_TRUE(j.jig().cpldWireMode());
}

TEST(Jig3Firmware, ResultBytesAreAnsweredOnTheThirdGenerationOnly) {
    Jig third("jig3");
    ASSERT_TRUE(third.ok());
    third.send(Bytes{'I', 'O'});
    EXPECT_EQ(third.take(2).size(), 2u);

    Jig second("jig2");
    ASSERT_TRUE(second.ok());
    second.send(Bytes{'I', 'O', 'B'});
    // The first bytes that come are the identity: 'I' and 'O' had no answer.
    EXPECT_EQ(text(second.take(14)), "PCB2_M88_V41\r\n");
}

class Jig3Boot : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(j.ok()); }
    Jig j{"jig3-old"};
};

TEST_F(Jig3Boot, WakeAnswerIsSevenBytesVxS) {
    const Bytes wake = wakeLoop(j);
    ASSERT_EQ(wake.size(), 7u);
    EXPECT_EQ(wake[0], 'V');
    EXPECT_EQ(wake[2], 'S');
    EXPECT_EQ(j.jig().resetPresses(), 1);
    EXPECT_EQ(j.jig().stage(), Stage::Jig3Bootloader);
    // Further '+' bytes are ignored: the next byte is the answer to 'W'.
    j.send(Bytes{'+', '+', '+'});
    j.send('W');
    EXPECT_EQ(j.take(1), Bytes{'G'});
}

TEST_F(Jig3Boot, UploadedImageStartsWithTheIdentityOfItsMarker) {
    ASSERT_EQ(wakeLoop(j).size(), 7u);
    const Bytes image = imageNamed("M328_EPM240_v16", 300, 200);
    sendBlocks(j, image, 300 / 128 + 1);
    j.send('X');
    j.send('B');
    EXPECT_EQ(text(j.take(17)), "M328_EPM240_v16\r\n");
    EXPECT_EQ(j.dev->identity(), "M328_EPM240_v16");
    const Bytes kept = j.jig().jig3BootImage();
    ASSERT_EQ(kept.size(), 384u);
    EXPECT_EQ(Bytes(kept.begin(), kept.begin() + 300), image);
    EXPECT_EQ(kept[300], 0xFF);
}

TEST_F(Jig3Boot, FullImageAndTheProgramsExtraBlankBlockAreTaken) {
    ASSERT_EQ(wakeLoop(j).size(), 7u);
    const Bytes image = imageNamed("M328_EPM240_v17", 131072, 131072 - 64);
    sendBlocks(j, image, 131072 / 128 + 1);
    j.send('X');
    j.send('B');
    EXPECT_EQ(text(j.take(17)), "M328_EPM240_v17\r\n");
    EXPECT_EQ(j.jig().jig3BootImage(), image);
}

TEST_F(Jig3Boot, FinishWithoutBlocksRestartsThePreviousFirmware) {
    ASSERT_EQ(wakeLoop(j).size(), 7u);
    j.send('X');
    j.send('B');
    EXPECT_EQ(text(j.take(17)), "M328_EPM240_v12\r\n");
}

TEST_F(Jig3Boot, ImageWithoutMarkerIsSilentUntilTheNextUpdate) {
    ASSERT_EQ(wakeLoop(j).size(), 7u);
    sendBlocks(j, Bytes(100, 0x42), 1);
    j.send('X');
    j.send(Bytes{'B', 'I', 'S', 'R'});
    EXPECT_TRUE(j.quiet().empty());
    // The updater's '+' loop still gets the technician to press reset.
    const Bytes wake = wakeLoop(j);
    ASSERT_EQ(wake.size(), 7u);
    EXPECT_EQ(wake[0], 'V');
    EXPECT_EQ(j.jig().resetPresses(), 2);
}

TEST(Jig3BootReset, NeverPressedMeansTheWakeLoopGetsNothing) {
    Jig j("jig3-old,reset=never");
    ASSERT_TRUE(j.ok());
    for (int i = 0; i < 20; ++i) j.send('+');
    EXPECT_TRUE(j.quiet().empty());
    EXPECT_EQ(j.jig().resetPresses(), 0);
    EXPECT_EQ(j.jig().stage(), Stage::Firmware);
}

}  // namespace
