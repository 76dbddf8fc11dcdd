// The bridge as the program sees it: identity answers, opening, queues, line
// speed and format, time-outs and the real-speed model.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sim_helpers.h"

namespace {

using namespace simtest;
using std::chrono::milliseconds;

struct FamilyCase {
    const char* options;
    const char* identity;
    const char* mustHold;     // the substring the program looks for
    const char* mustNotHold;  // one it must not find
};

class IdentityByFamily : public testing::TestWithParam<FamilyCase> {};

TEST_P(IdentityByFamily, BAnswersTheIdentityAndCrLf) {
    const auto& c = GetParam();
    Jig j(c.options);
    ASSERT_TRUE(j.ok());
    j.send('B');
    const std::string want = std::string(c.identity) + "\r\n";
    EXPECT_EQ(text(j.take(want.size())), want);
    EXPECT_EQ(j.dev->identity(), c.identity);
    EXPECT_NE(std::string(c.identity).find(c.mustHold), std::string::npos);
    EXPECT_EQ(std::string(c.identity).find(c.mustNotHold), std::string::npos);
    EXPECT_TRUE(j.quiet().empty()) << "nothing follows the line end";
}

INSTANTIATE_TEST_SUITE_P(
    Sim, IdentityByFamily,
    testing::Values(FamilyCase{"", "M328_EPM240_v16", "M328_EPM240_v16", "V41"},
                    FamilyCase{"jig3", "M328_EPM240_v16", "EPM240", "v41"},
                    FamilyCase{"jig3-old", "M328_EPM240_v12", "M328_EPM240", "M328_EPM240_v16"},
                    FamilyCase{"jig2", "PCB2_M88_V41", "V41", "EPM240"},
                    FamilyCase{"jig2=V41", "PCB2_M88_V41", "V41", "v41"},
                    FamilyCase{"jig2=V42", "PCB2_M88_V42", "V42", "V41"},
                    FamilyCase{"jig2=ITE", "PCB2_M88_ITE", "ITE", "NPCE"},
                    FamilyCase{"jig2=NPCE", "PCB2_M88_NPCE", "NPCE", "ITE"}));

TEST(SimBridge, IdOptionGivesTheExactAnswerBytes) {
    Jig j("id=AB%C0x%2Cy");
    ASSERT_TRUE(j.ok());
    j.send('B');
    EXPECT_EQ(j.take(6), (Bytes{'A', 'B', 0xC0, 'x', ',', 'y'}));
    EXPECT_TRUE(j.quiet().empty()) << "no CR LF added";

    Jig withEnd("jig2,id=PCB2_v41%0D%0A");
    ASSERT_TRUE(withEnd.ok());
    withEnd.send('B');
    EXPECT_EQ(text(withEnd.take(10)), "PCB2_v41\r\n");
    EXPECT_EQ(withEnd.dev->identity(), "PCB2_v41");

    Jig empty("id=");
    ASSERT_TRUE(empty.ok());
    empty.send('B');
    EXPECT_TRUE(empty.quiet().empty());
    EXPECT_EQ(empty.dev->identity(), "");
}

TEST(SimBridge, SilentJigOpensButNeverAnswers) {
    for (const char* options : {"silent", "jig2,silent"}) {
        Jig j(options);
        ASSERT_TRUE(j.ok());
        j.send(bytes("B?+KVSR"));
        EXPECT_TRUE(j.quiet().empty()) << options;
        EXPECT_EQ(j.jig().resetPresses(), 0) << options;
    }
}

TEST(SimBridge, OpenIsRefusedForNoopenAndWhileOpen) {
    std::string error;
    auto refusing = sim::SimDevice::create("noopen", error);
    ASSERT_TRUE(refusing);
    EXPECT_FALSE(refusing->open());
    EXPECT_FALSE(refusing->isOpen());

    auto dev = sim::SimDevice::create("", error);
    ASSERT_TRUE(dev);
    EXPECT_TRUE(dev->open());
    EXPECT_FALSE(dev->open());
    dev->close();
    EXPECT_FALSE(dev->isOpen());
    EXPECT_TRUE(dev->open());
}

TEST(SimBridge, CallsOnAClosedDeviceMoveNothing) {
    std::string error;
    auto dev = sim::SimDevice::create("", error);
    ASSERT_TRUE(dev);
    const uint8_t b = 'B';
    uint8_t buf[8];
    EXPECT_EQ(dev->write(&b, 1), 0u);
    EXPECT_EQ(dev->read(buf, sizeof buf), 0u);
    uint32_t rx = 7, tx = 7;
    dev->status(rx, tx);
    EXPECT_EQ(rx, 0u);
    EXPECT_EQ(tx, 0u);
    EXPECT_EQ(dev->driverVersion(), 0u);
    EXPECT_TRUE(dev->takeHostBytes().empty());
}

TEST(SimBridge, ShortAnswerTakesTheWholeReadTimeOut) {
    Jig j("");
    ASSERT_TRUE(j.ok());
    j.dev->setTimeouts(120, 120);
    j.send('B');
    const auto t0 = std::chrono::steady_clock::now();
    Bytes buf(32);
    const size_t n = j.dev->read(buf.data(), 32);
    const auto waited = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(n, 17u);
    EXPECT_GE(waited, milliseconds(120));
}

TEST(SimBridge, ReadTimeOutOfZeroReturnsAtOnceWithWhatHasCome) {
    Jig j("");
    ASSERT_TRUE(j.ok());
    j.dev->setTimeouts(0, 0);
    uint8_t buf[4];
    EXPECT_EQ(j.dev->read(buf, 4), 0u);
    j.send('B');
    j.dev->waitForData(16, std::chrono::steady_clock::now() + milliseconds(kPatientMs));
    EXPECT_EQ(j.dev->read(buf, 4), 4u);
}

TEST(SimBridge, ResetDeviceAndPurgeEmptyTheReceiveQueue) {
    Jig j("");
    ASSERT_TRUE(j.ok());
    auto answerQueued = [&] {
        j.send('B');
        j.dev->waitForData(16, std::chrono::steady_clock::now() + milliseconds(kPatientMs));
        return j.rxQueue();
    };
    ASSERT_EQ(answerQueued(), 17u);
    j.dev->resetDevice();
    EXPECT_EQ(j.rxQueue(), 0u);

    ASSERT_EQ(answerQueued(), 17u);
    j.dev->purge(false, true);
    EXPECT_EQ(j.rxQueue(), 17u) << "a transmit purge leaves received bytes";
    j.dev->purge(true, false);
    EXPECT_EQ(j.rxQueue(), 0u);

    j.send('B');
    EXPECT_EQ(text(j.take(17)), "M328_EPM240_v16\r\n");
}

TEST(SimBridge, WaitForDataReturnsWhenMoreThanSeenHasCome) {
    Jig j("");
    ASSERT_TRUE(j.ok());
    const auto until = std::chrono::steady_clock::now() + milliseconds(kPatientMs);
    j.send('B');
    j.dev->waitForData(0, until);
    EXPECT_GT(j.rxQueue(), 0u);
    EXPECT_LT(std::chrono::steady_clock::now(), until);
    j.dev->waitForData(16, until);
    EXPECT_EQ(j.rxQueue(), 17u);
    // Nothing more is coming: the wait ends at its own deadline.
    const auto t1 = std::chrono::steady_clock::now();
    j.dev->waitForData(17, t1 + milliseconds(30));
    EXPECT_GE(std::chrono::steady_clock::now() - t1, milliseconds(30));
    EXPECT_EQ(j.rxQueue(), 17u);
}

TEST(SimBridge, BytesSentAtAnotherSpeedOrFormatAreLost) {
    Jig j("");
    ASSERT_TRUE(j.ok());
    j.dev->setBaudRate(kBootBaud);
    j.send('B');
    j.dev->setBaudRate(kFirmwareBaud);
    j.dev->setDataCharacteristics(7, 0, 0);
    j.send('B');
    j.dev->setDataCharacteristics(8, 0, 2);
    j.send('B');
    j.dev->setDataCharacteristics(8, 0, 0);
    j.send('B');
    // One identity only: the first three 'B's never reached the JIG.
    EXPECT_EQ(text(j.take(17)), "M328_EPM240_v16\r\n");
    EXPECT_TRUE(j.quiet().empty());
}

TEST(SimBridge, BridgeStartsAt9600BaudWhenOpened) {
    std::string error;
    auto dev = sim::SimDevice::create("", error);
    ASSERT_TRUE(dev && dev->open());
    dev->setTimeouts(kQuietMs, kQuietMs);
    const uint8_t b = 'B';
    dev->write(&b, 1);
    uint8_t buf[32];
    EXPECT_EQ(dev->read(buf, 32), 0u);
}

TEST(SimBridge, TakeHostBytesReturnsEveryWrittenByteOnce) {
    Jig j("silent");
    ASSERT_TRUE(j.ok());
    j.send(bytes("ab"));
    j.dev->setBaudRate(kBootBaud);  // lost on the wire, still written by the PC
    j.send(bytes("cd"));
    j.dev->close();
    EXPECT_EQ(text(j.dev->takeHostBytes()), "abcd");
    EXPECT_TRUE(j.jig().takeHostBytes().empty());
}

TEST(SimBridge, RealSpeedShowsAnAnswerOnlyAfterTheLatencyTimer) {
    Jig j("speed=real");
    ASSERT_TRUE(j.ok());
    const milliseconds latency(200);
    j.dev->setLatencyTimer(static_cast<uint8_t>(latency.count()));
    const auto t0 = std::chrono::steady_clock::now();
    j.send('B');
    const uint32_t early = j.rxQueue();
    if (std::chrono::steady_clock::now() - t0 < latency) {
        EXPECT_EQ(early, 0u);
    }
    j.dev->waitForData(16, t0 + milliseconds(kPatientMs + latency.count()));
    EXPECT_EQ(j.rxQueue(), 17u);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, latency);
    EXPECT_EQ(text(j.take(17)), "M328_EPM240_v16\r\n");
}

TEST(SimBridge, RealSpeedKeepsBytesInTheTransmitQueueWhileTheyAreOnTheWire) {
    Jig j("speed=real,silent");
    ASSERT_TRUE(j.ok());
    j.dev->setBaudRate(9600);  // about 1 ms a byte
    const Bytes burst(100, 0x00);
    const auto t0 = std::chrono::steady_clock::now();
    j.send(burst);
    uint32_t rx = 0, tx = 0;
    j.dev->status(rx, tx);
    if (std::chrono::steady_clock::now() - t0 < milliseconds(90)) {
        EXPECT_GT(tx, 0u);
    }
    const auto until = t0 + milliseconds(kPatientMs);
    while (tx > 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(milliseconds(2));
        j.dev->status(rx, tx);
    }
    EXPECT_EQ(tx, 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - t0,
              milliseconds(100));  // 100 bytes x 10 bits at 9600
}

}  // namespace
