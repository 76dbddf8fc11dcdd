// The desktop program on simulated JIGs, as the window tests start it: a
// fresh folder for its files (run log, databases, dumps), the device list it
// uses, and its dialogs answered by the test. Message boxes are kept as
// "error: TEXT" or "warning: TEXT"; file dialogs are kept and answered from
// `answers` in order (cancelled once they run out).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/modes.h"
#include "gui/event_wait.h"
#include "gui/gui_app.h"
#include "gui/mode_window.h"
#include "gui/qt_test_app.h"
#include "gui/widgets.h"
#include "jiglink/backends/backends.h"
#include "session/mode_session.h"

namespace zjig::gui::test {

class GuiAppFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/zjig_gui_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        app.reset();
        std::filesystem::remove_all(dir);
    }

    // Starts the program on simulated JIGs (one `sim:` option text each),
    // after the ports a test has put in `devices` itself.
    void startApp(const std::vector<std::string>& simPorts,
                  std::optional<std::chrono::milliseconds> timeout = std::nullopt) {
        for (const auto& options : simPorts) {
            std::string error;
            auto port = makeSimPort(options, error);
            ASSERT_TRUE(port) << error;
            devices.addPort(std::move(port));
        }
        GuiConfig config;
        config.env.devices = &devices;
        config.env.userTimeout = timeout;
        config.firmwareDir = firmwareDir.empty() ? dir.string() + "/" : firmwareDir;
        config.runLogPath = (dir / "Start_log.txt").string();
        config.dataDir = dir.string() + "/";
        app = std::make_unique<GuiApp>(config);
        app->onQuit = [this] { ++quits; };
        app->port().setMessageBoxHandler([this](MessageKind kind, const std::string& t) {
            messages.push_back((kind == MessageKind::Error ? "error: " : "warning: ") + t);
        });
        app->port().setFileDialogHandler([this](const FileDialogSpec& spec) {
            dialogs.push_back(spec);
            std::optional<std::string> answer;
            if (!answers.empty()) {
                answer = answers.front();
                answers.pop_front();
            }
            return answer;
        });
        app->showMain();
    }

    bool waitFor(const std::function<bool()>& done,
                 std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        return processEventsUntil(done, limit);
    }

    // Selects a mode, presses "Start" and waits for its window.
    bool openMode(std::string_view mode) {
        app->mainWindow().selector()->setCurrentText(utf8(mode));
        app->mainWindow().startButton()->click();
        QWidget* w = app->window(modeWindow(mode));
        return waitFor([&] { return w->isVisible() && !app->mainWindow().isVisible(); });
    }

    // Closes a mode window from the window manager while its operation runs:
    // the user says no first (the window and the operation go on), then yes
    // (the operation is stopped and the window leaves for the main window).
    void closeMidOperation(ModeWindow& w, ModeSession& session) {
        int asked = 0;
        bool stop = false;
        const auto ask = std::move(w.confirmStop);
        w.confirmStop = [&] {
            ++asked;
            return stop;
        };
        w.close();
        EXPECT_EQ(asked, 1);
        EXPECT_TRUE(w.isVisible());
        EXPECT_TRUE(session.busy());

        stop = true;
        w.close();
        EXPECT_EQ(asked, 2);
        EXPECT_FALSE(session.busy());
        EXPECT_TRUE(waitFor([&] { return app->mainWindow().isVisible() && !w.isVisible(); }));
        w.confirmStop = ask;
    }

    std::filesystem::path dir;
    // Where the program finds the JIG firmware and the default script; empty: `dir`.
    std::string firmwareDir;
    DeviceList devices;  // outlives the program, as in main()
    std::unique_ptr<GuiApp> app;
    int quits = 0;
    std::vector<std::string> messages;
    std::vector<FileDialogSpec> dialogs;
    std::deque<std::optional<std::string>> answers;
};

}  // namespace zjig::gui::test
