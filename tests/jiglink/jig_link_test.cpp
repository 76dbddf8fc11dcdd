#include "jiglink/jig_link.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/fake_port.h"

namespace zjig {
namespace {

using namespace std::chrono_literals;
using test::FakeDeviceScript;

class JigLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FakeDeviceScript s;
        s.answers['A'] = {'1', '2', '3'};
        list_ = test::fakeDeviceList({s}, log_);
    }
    std::unique_ptr<JigLink> openLink(std::optional<milliseconds> userTimeout = {}) {
        auto link = std::make_unique<JigLink>(LinkEnv{&list_, userTimeout}, 16);
        EXPECT_EQ(link->open(0), FtStatus::Ok);
        return link;
    }
    std::shared_ptr<test::FakeLog> log_ = std::make_shared<test::FakeLog>();
    DeviceList list_;
};

TEST_F(JigLinkTest, WaitsSucceedOnceTheBytesAreQueued) {
    auto link = openLink();
    link->send({'A'});
    EXPECT_EQ(link->waitForInput(3), WaitResult::Ok);
    EXPECT_EQ(link->waitForExactly(3), WaitResult::Ok);
    EXPECT_EQ(link->waitForExactly(2), WaitResult::Overflow)
        << "more bytes than the exchange allows";
    EXPECT_EQ(link->readByte(), WaitResult::Ok);
    EXPECT_EQ(link->data()[0], '1');
    EXPECT_EQ(link->drain(), WaitResult::Ok);
}

// Every wait on a silent JIG ends on its own limit, or on the user's --timeout.
TEST_F(JigLinkTest, SilentJigEndsEveryWaitWithinItsLimit) {
    struct Case {
        const char* name;
        std::function<WaitResult(JigLink&)> wait;
    };
    const Case cases[] = {
        {"waitForInput", [](JigLink& l) { return l.waitForInput(1, 150ms); }},
        {"waitForExactly", [](JigLink& l) { return l.waitForExactly(256, 150ms); }},
        {"readByte", [](JigLink& l) { return l.readByte(150ms); }},
    };
    for (const auto& c : cases) {
        for (std::optional<milliseconds> user :
             {std::optional<milliseconds>{}, std::optional(80ms)}) {
            auto link = openLink(user);
            const auto start = Clock::now();
            EXPECT_EQ(c.wait(*link), WaitResult::TimedOut) << c.name;
            const auto took = Clock::now() - start;
            const auto limit = user ? *user : 150ms;
            EXPECT_GE(took, limit) << c.name;
            EXPECT_LT(took, limit + 1s) << c.name;
        }
    }
}

TEST_F(JigLinkTest, CancelEndsAWaitPromptly) {
    auto link = openLink();
    std::atomic<bool> cancel{false};
    link->setCancelFlag(&cancel);
    std::thread canceller([&] {
        std::this_thread::sleep_for(50ms);
        cancel = true;
    });
    const auto start = Clock::now();
    EXPECT_EQ(link->waitForInput(1, 60s), WaitResult::Cancelled);
    EXPECT_LT(Clock::now() - start, 10s);
    canceller.join();
}

TEST_F(JigLinkTest, ClosedLinkReportsALinkErrorInsteadOfWaiting) {
    JigLink link(LinkEnv{&list_, {}}, 16);
    EXPECT_EQ(link.waitForInput(1), WaitResult::LinkError);
    EXPECT_EQ(link.readByte(), WaitResult::LinkError);
    EXPECT_EQ(link.write(1), FtStatus::InvalidHandle);
}

TEST_F(JigLinkTest, IdentifyTakesUpToThirtyTwoBytes) {
    FakeDeviceScript longAnswer;
    longAnswer.identity = test::bytesOf(std::string(40, 'A'));
    DeviceList list = test::fakeDeviceList({longAnswer}, log_);
    JigLink link(LinkEnv{&list, {}}, 300);
    ASSERT_EQ(link.open(0), FtStatus::Ok);
    std::string id;
    EXPECT_EQ(link.identify(id), 32u);
    EXPECT_EQ(id, std::string(32, 'A'));
}

// The identity is read as it arrives and the read stops at its line end:
// the link never asks the bridge for more bytes than are queued, since such a
// read would wait out the whole read time-out. Without a line end it takes
// what came, up to 32 bytes.
TEST(JigLinkIdentify, ReadsWhatHasArrivedAndStopsAtTheLineEnd) {
    const struct {
        const char* answer;
        const char* identity;
        std::vector<std::string> reads;
    } cases[] = {
        {"M328_EPM240_v16\r\n", "M328_EPM240_v16  ", {"read 0 17"}},
        // Bytes that came in the same burst belong to the answer, as they always did.
        {"M328_EPM240_v16\r\nGM", "M328_EPM240_v16  GM", {"read 0 19"}},
        {"PCB2_V41", "PCB2_V41", {"read 0 8"}},
        {"0123456789ABCDEF0123456789ABCDEF0123", "0123456789ABCDEF0123456789ABCDEF", {"read 0 32"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        auto log = std::make_shared<test::FakeLog>();
        DeviceList list = test::fakeDeviceList({test::answering(c.answer)}, log);
        JigLink link(LinkEnv{&list, {}}, 16);
        ASSERT_EQ(link.open(0), FtStatus::Ok);
        link.setTimeouts(50, 50);
        std::string identity;
        EXPECT_EQ(link.identify(identity), std::string(c.identity).size());
        EXPECT_EQ(identity, c.identity);
        std::vector<std::string> reads;
        for (const auto& call : log->snapshot())
            if (call.rfind("read ", 0) == 0) reads.push_back(call);
        EXPECT_EQ(reads, c.reads);
    }
}

// The device kept open is the last one that opened: a device that fails to
// open leaves it open; one that opens replaces it; the same index is let go
// before it is opened again.
TEST_F(JigLinkTest, AFailedOpenKeepsTheDeviceHeld) {
    FakeDeviceScript unopenable;
    unopenable.opens = false;
    DeviceList list =
        test::fakeDeviceList({FakeDeviceScript{}, unopenable, FakeDeviceScript{}}, log_);
    JigLink link(LinkEnv{&list, {}}, 16);
    ASSERT_EQ(link.open(2), FtStatus::Ok);
    EXPECT_EQ(link.open(1), FtStatus::DeviceNotOpened);
    EXPECT_TRUE(link.isOpen());
    link.send({'A'});
    EXPECT_EQ(link.open(0), FtStatus::Ok);
    EXPECT_EQ(link.open(0), FtStatus::Ok);
    EXPECT_EQ(log_->snapshot(),
              (std::vector<std::string>{"open 2", "open-failed 1", "write 2 41", "open 0",
                                        "close 2", "close 0", "open 0"}));
    EXPECT_EQ(list.errors(),
              (std::vector<std::string>{"fake: cannot be opened (FT_DEVICE_NOT_OPENED)"}));
}

// Why devices were missing or would not open: each reason once, forgotten at
// the next enumeration; a port that cannot list takes no index.
TEST(DeviceList, KeepsTheReasonsOfTheLastSearch) {
    auto log = std::make_shared<test::FakeLog>();
    FakeDeviceScript unopenable;
    unopenable.opens = false;
    DeviceList list;
    list.addPort(std::make_unique<test::FakePort>(std::vector<FakeDeviceScript>{}, log, 0, false));
    list.addPort(
        std::make_unique<test::FakePort>(std::vector<FakeDeviceScript>{unopenable, {}}, log));
    uint32_t count = 0;
    ASSERT_EQ(list.createDeviceInfoList(count), FtStatus::Ok);
    EXPECT_EQ(count, 2u);
    std::unique_ptr<Device> device;
    EXPECT_EQ(list.open(0, device), FtStatus::DeviceNotOpened);
    EXPECT_EQ(list.open(0, device), FtStatus::DeviceNotOpened);
    EXPECT_EQ(list.open(1, device), FtStatus::Ok);
    EXPECT_EQ(list.errors(),
              (std::vector<std::string>{"fake: cannot list",
                                        "fake: cannot be opened (FT_DEVICE_NOT_OPENED)"}));
    EXPECT_EQ(list.lastError(), "fake: cannot list; fake: cannot be opened (FT_DEVICE_NOT_OPENED)");
    ASSERT_EQ(list.createDeviceInfoList(count), FtStatus::Ok);
    EXPECT_EQ(list.errors(), std::vector<std::string>{"fake: cannot list"});
}

// The connection test and the update thread search one list at once (the
// thread sanitizer build sees any unguarded use).
TEST(DeviceList, TwoThreadsSearchOneList) {
    auto log = std::make_shared<test::FakeLog>();
    FakeDeviceScript unopenable;
    unopenable.opens = false;
    DeviceList list;
    list.addPort(std::make_unique<test::FakePort>(std::vector<FakeDeviceScript>{}, log, 0, false));
    list.addPort(
        std::make_unique<test::FakePort>(std::vector<FakeDeviceScript>{unopenable, {}}, log));
    auto search = [&] {
        JigLink link(LinkEnv{&list, {}}, 16);
        for (int i = 0; i < 200; ++i) {
            EXPECT_EQ(link.enumerate(), FtStatus::Ok);
            EXPECT_EQ(link.deviceCount, 2u);
            link.open(0);
            link.open(1);
            EXPECT_FALSE(list.lastError().empty());
            link.close();
        }
    };
    std::thread other(search);
    search();
    other.join();
}

}  // namespace
}  // namespace zjig

namespace zjig {
namespace {

// After a stop, the answer to the closing byte is still taken when it comes,
// so it cannot reach the next connection's identity; a silent JIG only costs
// the short bound.
TEST(JigLinkClosing, TheAnswerToTheClosingByteIsTakenEvenAfterAStop) {
    FakeDeviceScript answersO;
    answersO.answers['O'] = {'G'};
    for (const bool answers : {true, false}) {
        SCOPED_TRACE(answers ? "answering JIG" : "silent JIG");
        auto log = std::make_shared<test::FakeLog>();
        DeviceList list = test::fakeDeviceList({answers ? answersO : FakeDeviceScript{}}, log);
        std::atomic<bool> stop{true};
        JigLink link(LinkEnv{&list, {}, &stop}, 16);
        ASSERT_EQ(link.open(0), FtStatus::Ok);
        link.send({'O'});
        EXPECT_EQ(link.takeClosingAnswer(50ms), answers);
        ASSERT_EQ(link.getStatus(), FtStatus::Ok);
        EXPECT_EQ(link.rxQueue, 0u);
    }
}

}  // namespace
}  // namespace zjig
