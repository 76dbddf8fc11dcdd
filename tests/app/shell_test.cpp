#include "app/shell.h"

#include <gtest/gtest.h>

#include <cctype>

#include "base/event_loop.h"
#include "base/modes.h"
#include "support/fake_port.h"
#include "support/recorder_port.h"
#include "support/temp_dir.h"

namespace zjig {
namespace {

using namespace std::chrono_literals;
using test::answering;
using test::FakeDeviceScript;

class ShellTest : public ::testing::Test {
  protected:
    void attach(std::vector<FakeDeviceScript> devices) {
        devices_ = test::fakeDeviceList(std::move(devices), log_);
        ShellConfig config;
        config.env.devices = &devices_;
        config.runLogPath = dir_.file("Start_log.txt");
        shell_ = std::make_unique<Shell>(config, ui_, loop_);
    }
    std::vector<std::string> logLines() {
        return test::crlfLines(test::readFile(dir_.file("Start_log.txt")));
    }
    // Runs the window thread until the shell has shown a mode window (or 5 s passed).
    bool runUntilModeWindow() {
        std::string shown;
        shell_->onModeWindowShown = [&](const std::string& w) { shown = w; };
        return loop_.runUntil([&] { return !shown.empty(); },
                              std::chrono::steady_clock::now() + 5s);
    }

    test::TempDir dir_;
    std::shared_ptr<test::FakeLog> log_ = std::make_shared<test::FakeLog>();
    DeviceList devices_;
    test::RecorderPort ui_;
    EventLoop loop_;
    std::unique_ptr<Shell> shell_;
};

const std::string kStars(38, '*');

// True when `text` has a digit wherever `pattern` has 'd' and the same
// character elsewhere.
bool matchesDigits(const std::string& text, const std::string& pattern) {
    if (text.size() != pattern.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool ok = pattern[i] == 'd' ? std::isdigit(static_cast<unsigned char>(text[i])) != 0
                                          : text[i] == pattern[i];
        if (!ok) return false;
    }
    return true;
}

TEST_F(ShellTest, DetectJigLogsEverySilentDeviceAndNotAnswer) {
    attach({FakeDeviceScript{}, FakeDeviceScript{}});
    shell_->DetectJig(kKeepHandle);
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 3u + 2 * 8 + 1);
    EXPECT_EQ(lines[0], kStars);
    EXPECT_TRUE(matchesDigits(lines[1], "dd.dd.dddd dd:dd:dd")) << lines[1];
    EXPECT_EQ(lines[2], kStars);
    const std::vector<std::string> perDevice = {"FT_Open OK",
                                                "FT_GetDriverVersion OK    (135720)",
                                                "FT_ResetDevice OK",
                                                "FT_SetBaudRate OK",
                                                "FT_SetDataCharacteristics OK",
                                                "FT_SetTimeouts OK",
                                                "Read answer version bytes -> 0"};
    EXPECT_EQ(lines[3], "Open  numDevs -> 2");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.begin() + 11), perDevice);
    EXPECT_EQ(lines[11], "Open  numDevs -> 1");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 12, lines.begin() + 19), perDevice);
    EXPECT_EQ(lines[19], "NOT ANSWER ");
    EXPECT_EQ(shell_->identity(), "FTDI found, ERROR answer");
    // Keep-open: the earlier silent device is closed, the last one stays open.
    const auto calls = log_->snapshot();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "close 1"), calls.end());
    EXPECT_EQ(std::find(calls.begin(), calls.end(), "close 0"), calls.end());
    EXPECT_TRUE(shell_->link().isOpen());
}

TEST_F(ShellTest, DetectJigLogsFailuresAndTheIdentity) {
    FakeDeviceScript failing = answering("PCB2_V41\r\n");
    failing.configStatus = FtStatus::IoError;
    FakeDeviceScript unopenable;
    unopenable.opens = false;
    attach({failing, unopenable});
    shell_->DetectJig(kCloseHandle);
    const auto lines = logLines();
    const std::vector<std::string> expected = {"Open  numDevs -> 2",
                                               "ERROR FT_Open",
                                               "Open  numDevs -> 1",
                                               "FT_Open OK",
                                               "FT_GetDriverVersion OK    (135720)",
                                               "Error FT_ResetDevice",
                                               "Error FT_SetBaudRate",
                                               "Error FT_SetDataCharacteristics",
                                               "Error FT_SetTimeouts",
                                               "Read answer version bytes -> 10",
                                               "PCB2_V41  ",
                                               "FT_SetLatencyTimer OK"};
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()), expected);
    EXPECT_EQ(shell_->identity(), "PCB2_V41  ");
    EXPECT_FALSE(shell_->link().isOpen()) << "CLOSE FTDI Handle closes the device";
}

// Keep-open: a device that fails to open after a silent one leaves the
// silent one open, for the update to work on.
TEST_F(ShellTest, DetectJigKeepsTheLastDeviceOpenedWhenTheNextFailsToOpen) {
    FakeDeviceScript unopenable;
    unopenable.opens = false;
    attach({unopenable, FakeDeviceScript{}});
    shell_->DetectJig(kKeepHandle);
    EXPECT_EQ(shell_->identity(), "FTDI found, ERROR answer");
    EXPECT_TRUE(shell_->link().isOpen());
    const auto calls = log_->snapshot();
    EXPECT_EQ(std::find(calls.begin(), calls.end(), "close 1"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "open-failed 0"), calls.end());
    shell_->DetectJig(kCloseHandle);
    EXPECT_FALSE(shell_->link().isOpen()) << "CLOSE FTDI Handle closes the device";
}

TEST_F(ShellTest, StartWithThePromptSelectedDoesNothing) {
    attach({answering("M328_EPM240_v16\r\n")});
    shell_->MAIN_CONNECTClick(std::string(kPleaseSelect));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("Start_log.txt")));
    EXPECT_TRUE(log_->snapshot().empty());
    EXPECT_TRUE(ui_.calls().empty());
}

TEST_F(ShellTest, NoDeviceShowsTheErrorDialogAndEveryPressAddsARecord) {
    attach({});
    shell_->MAIN_CONNECTClick("EDID lcd");
    shell_->MAIN_CONNECTClick("EDID lcd");
    EXPECT_EQ(ui_.messages(),
              (std::vector<std::string>{"error: JIG not connected to the USB port!",
                                        "error: JIG not connected to the USB port!"}));
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[3], "Error numDevs = 0");
    EXPECT_EQ(lines[4], kStars);
    EXPECT_EQ(lines[7], "Error numDevs = 0");
    EXPECT_FALSE(shell_->timerRun().enabled());
}

TEST_F(ShellTest, CurrentJig3OpensTheModeWindowAfterTimerRun) {
    attach({answering("M328_EPM240_v16\r\n")});
    shell_->MAIN_CONNECTClick("ENE KB90XX");
    EXPECT_FALSE(shell_->link().isOpen()) << "the shell hands the JIG on closed";
    EXPECT_TRUE(shell_->timerRun().enabled());
    EXPECT_EQ(ui_.memo("KB901X_Memo").size(), 6u);
    EXPECT_EQ(ui_.memo("KB901X_Memo")[0],
              "  The sequence of the connection while working on a flexible cable.");
    EXPECT_EQ(ui_.memo("KB901X_Memo")[5], "");
    EXPECT_EQ(ui_.enabled("SpeedButton1"), true);
    EXPECT_FALSE(ui_.visible("TKB901X_forms"));

    ASSERT_TRUE(runUntilModeWindow());
    EXPECT_TRUE(ui_.visible("TKB901X_forms"));
    const auto calls = ui_.calls();
    EXPECT_EQ(calls[calls.size() - 2], "show TKB901X_forms");
    EXPECT_EQ(calls.back(), "hide TForm1");
    EXPECT_FALSE(shell_->timerRun().enabled());
    const auto lines = logLines();
    EXPECT_EQ(lines[lines.size() - 2], "User select -> ENE KB90XX");
    EXPECT_EQ(lines.back(), "Go to application. End.");
}

TEST_F(ShellTest, EveryModeOpensItsOwnWindow) {
    attach({answering("M328_EPM240_v16\r\n")});
    for (size_t i = 1; i < kSelectorItems.size(); ++i) {
        const std::string mode(kSelectorItems[i]);
        shell_->MAIN_CONNECTClick(mode);
        ASSERT_TRUE(runUntilModeWindow()) << mode;
        EXPECT_TRUE(ui_.visible(modeWindow(mode))) << mode;
        ui_.hideWindow(modeWindow(mode));
    }
    // The help lines come with every Start, whichever mode was chosen.
    EXPECT_EQ(ui_.memoHistory("KB901X_Memo").size(), 6u * (kSelectorItems.size() - 1));
}

}  // namespace
}  // namespace zjig
