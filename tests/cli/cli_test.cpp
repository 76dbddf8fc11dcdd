// zjig end to end, in process: the command line, the devices it opens, what
// it prints and the run log it leaves in the current directory.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "cli/cli_harness.h"

namespace zjig {
namespace {

using namespace std::chrono_literals;

// Runs zjig in a temporary current directory.
class CliTest : public test::CliFixture {
protected:
    std::vector<std::string> runLog() { return test::crlfLines(test::readFile("Start_log.txt")); }
};

std::vector<std::string> after(const std::vector<std::string>& lines, size_t from) {
    return std::vector<std::string>(lines.begin() + static_cast<long>(from), lines.end());
}

TEST_F(CliTest, StartOnACurrentJig3LogsTheWholeRecordAndAppends) {
    auto r = zjig({"--port", "sim:jig3", "start", "ENE KB90XX"});
    ASSERT_EQ(r.code, 0) << r.err;
    auto lines = runLog();
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[0], std::string(38, '*'));
    EXPECT_EQ(lines[3], "Open  numDevs -> 1");
    EXPECT_EQ(after(lines, 10),
              (std::vector<std::string>{"Read answer version bytes -> 17", "M328_EPM240_v16  ",
                                        "FT_SetLatencyTimer OK", "User select -> ENE KB90XX",
                                        "Go to application. End."}))
        << test::readFile("Start_log.txt");
    ASSERT_EQ(zjig({"--port", "sim:jig3", "start", "ENE KB90XX"}).code, 0);
    EXPECT_EQ(runLog().size(), 30u) << "a second run appends its own record";
}

TEST_F(CliTest, TwoSilentJigsAreLoggedFromTheHighestIndexAndNeverHang) {
    const auto start = std::chrono::steady_clock::now();
    auto r = zjig({"--port", "sim:silent", "--port", "sim:silent", "start", "EDID lcd"});
    EXPECT_EQ(r.code, 1) << "the update cannot reach a bootloader";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
    auto lines = runLog();
    auto at = [&](const std::string& text) {
        return std::find(lines.begin(), lines.end(), text) - lines.begin();
    };
    EXPECT_LT(at("Open  numDevs -> 2"), at("Open  numDevs -> 1"));
    EXPECT_LT(at("Open  numDevs -> 1"), at("NOT ANSWER "));
    EXPECT_LT(at("NOT ANSWER "), static_cast<long>(lines.size()));
    EXPECT_NE(r.out.find("You did not press the reset button or error response BOOT_loader"),
              std::string::npos)
        << r.out;
}

TEST_F(CliTest, NoJigAtAllIsExitThree) {
    auto r = zjig({"--port", "sim:noopen", "start", "ENE KB90XX"});
    EXPECT_EQ(r.code, 1) << "a device that cannot be opened is still a device: the update runs";
    // With no device at all the error dialog ends the press.
    auto none = zjig({"--port", "d2xx:7", "start", "ENE KB90XX"});
    EXPECT_EQ(none.code, 3) << none.err;
    EXPECT_NE(none.err.find("error: JIG not connected to the USB port!"), std::string::npos);
}

TEST_F(CliTest, UsageErrors) {
    EXPECT_EQ(zjig({"--port", "sim", "start", "ENE"}).code, 2);
    EXPECT_EQ(zjig({"--port", "bogus", "test-connect"}).code, 2);
    EXPECT_EQ(zjig({"--port", "sim:nonsense-option", "test-connect"}).code, 2);
    EXPECT_EQ(zjig({}).code, 2);
}

TEST_F(CliTest, TestConnectPrintsEveryDevice) {
    auto r = zjig({"--port", "sim:silent", "--port", "sim:jig3", "test-connect"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto lines = test::outputLines(r.out);
    ASSERT_EQ(lines.size(), 10u) << r.out;
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "Number of VCOM ports found on the machine: 2");
    EXPECT_EQ(lines[3], "Open VCOM1");
    EXPECT_TRUE(lines[4].rfind("FTDI DRIVER version -> ", 0) == 0);
    EXPECT_EQ(lines[5], "PROG version FW -> M328_EPM240_v16  ");
    EXPECT_EQ(lines[7], "Open VCOM0");
    EXPECT_EQ(lines[9], "No answer");
    const std::string version = lines[4].substr(std::string("FTDI DRIVER version -> ").size());
    EXPECT_GE(version.size(), 2u);
    EXPECT_EQ(version.find_first_not_of("0123456789ABCDEF"), std::string::npos) << version;
}

// Two pseudo-terminals stand for two bridges; only the one at index 1
// answers. The search must ask it first and never touch index 0.
class PtyJig {
public:
    explicit PtyJig(std::string answer) : answer_(std::move(answer)) {
        char name[256];
        EXPECT_EQ(openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        path_ = name;
        termios t{};
        tcgetattr(master_, &t);
        cfmakeraw(&t);
        tcsetattr(master_, TCSANOW, &t);
        thread_ = std::thread([this] { serve(); });
    }
    ~PtyJig() {
        stop_ = true;
        thread_.join();
        close(master_);
        close(slave_);
    }
    const std::string& path() const { return path_; }
    std::string received() {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }

private:
    void serve() {
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) continue;
            char buf[256];
            ssize_t n = read(master_, buf, sizeof buf);
            if (n <= 0) continue;
            std::lock_guard<std::mutex> lock(mutex_);
            received_.append(buf, static_cast<size_t>(n));
            for (ssize_t i = 0; i < n; ++i) {
                if (buf[i] == 'B' && !answer_.empty()) {
                    EXPECT_EQ(write(master_, answer_.data(), answer_.size()),
                              static_cast<ssize_t>(answer_.size()));
                }
            }
        }
    }
    std::string answer_, path_, received_;
    int master_ = -1, slave_ = -1;
    std::mutex mutex_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST_F(CliTest, SearchOrderAndIdentityBytesOverSerialNodes) {
    PtyJig first("");                          // index 0: never asked
    PtyJig second("PCB2_V41\xC0\r\n");         // index 1: answers
    auto r = zjig({"--port", "serial:" + first.path(), "--port", "serial:" + second.path(),
                   "start", "EDID lcd"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(second.received(), "B") << "only the identity query goes to a JIG on the right family";
    EXPECT_EQ(first.received(), "");
    const auto lines = runLog();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "PCB2_V41   "), lines.end())
        << "0xC0 and CR LF each become a space";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Open  numDevs -> 1"), 0);
}

}  // namespace
}  // namespace zjig
