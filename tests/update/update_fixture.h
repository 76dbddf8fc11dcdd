// A shell with a recorder for its windows, an event loop as its window thread
// and a temporary folder for the firmware files and the run log. A test adds
// its JIGs as ports, presses "Start" and runs the window thread until the
// mode window opens or the update has ended.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/shell.h"
#include "base/event_loop.h"
#include "base/names.h"
#include "support/recorder_port.h"

namespace zjig::test {

class UpdateFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("zjig_update_" + std::string(info->test_suite_name()) + "_" + info->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        shell_.reset();
        std::filesystem::remove_all(dir_);
    }

    void addPort(std::unique_ptr<Port> port) { devices_.addPort(std::move(port)); }

    // The shell, made on first use; `timeout` plays the user's `--timeout`.
    Shell& shell(std::optional<std::chrono::milliseconds> timeout = std::nullopt) {
        if (!shell_) {
            ShellConfig config;
            config.env.devices = &devices_;
            config.env.userTimeout = timeout;
            config.firmwareDir = dir_.string() + "/";
            config.runLogPath = (dir_ / "Start_log.txt").string();
            shell_ = std::make_unique<Shell>(config, ui_, loop_);
            shell_->onModeWindowShown = [this](const std::string& window) {
                shownWindow_ = window;
            };
        }
        return *shell_;
    }

    void writeFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream out(dir_ / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    // The sample firmware files made for the simulated JIG.
    void copySampleFirmware() {
        const auto samples =
            std::filesystem::path(ZJIG_SOURCE_DIR) / "sim-firmware";
        for (const auto& entry : std::filesystem::directory_iterator(samples))
            std::filesystem::copy_file(entry.path(), dir_ / entry.path().filename());
    }

    // "Start" with `mode` selected, then the window thread runs until the mode
    // window has opened or the update has ended. False when `limit` passed first.
    bool pressStart(const std::string& mode,
                    std::chrono::seconds limit = std::chrono::seconds(30)) {
        shownWindow_.clear();
        ui_.clear();
        Shell& s = shell();
        s.MAIN_CONNECTClick(mode);
        return runWindowThread(
            [&] {
                return !shownWindow_.empty() || (!s.updateRunning() && !s.timerRun().enabled());
            },
            limit);
    }

    // Runs the window thread until `done`, looking at it at least every 20 ms
    // (the update thread ends without posting anything).
    bool runWindowThread(const std::function<bool()>& done, std::chrono::seconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            const auto slice = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
            if (loop_.runUntil(done, std::min(slice, deadline))) return true;
        }
        return done();
    }

    std::vector<std::string> memo() const { return ui_.memo(names::kMemoUpdate); }
    std::vector<std::string> runLog() const {
        std::ifstream in(dir_ / "Start_log.txt", std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }
    bool exitEnabled() const { return ui_.enabled(names::kUpdateExit).value_or(false); }
    // How often `line` occurs in `lines`.
    static int count(const std::vector<std::string>& lines, const std::string& line) {
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }

    std::filesystem::path dir_;
    DeviceList devices_;
    EventLoop loop_;
    RecorderPort ui_;
    std::unique_ptr<Shell> shell_;
    std::string shownWindow_;
};

}  // namespace zjig::test
