// The application shell: detection with run log, the "Start" decision, the
// switch from the main window to the mode window, and the update thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/executor.h"
#include "base/loop_timer.h"
#include "base/run_log.h"
#include "base/ui_port.h"
#include "jiglink/jig_link.h"
#include "update/update_host.h"

namespace zjig {

inline constexpr const char* kCloseHandle = "CLOSE FTDI Handle";
inline constexpr const char* kKeepHandle = "NOT CLOSE FTDI Handle";
inline constexpr size_t kShellBufferSize = 1000;

struct ShellConfig {
    LinkEnv env;
    // Where the JIG firmware files are looked for (ends with a separator).
    std::string firmwareDir;
    std::string runLogPath = kRunLogName;
};

class Shell {
  public:
    Shell(ShellConfig config, UiPort& ui, Executor& windowThread);
    ~Shell();  // stops and joins the update thread

    // --- handlers, on the window thread ---
    // "Start" with the main window's selected text. Returns false when the
    // press was refused because an update is still running.
    bool MAIN_CONNECTClick(const std::string& selectedText);
    void DetectJig(const std::string& closeMode);
    void Timer_RUNTimer();
    void Timer_5SECTimer();
    // The update window's timer: the reset-button warning.
    void TimerMSGTimer();
    // The update window's EXIT: while an update runs it asks the update to
    // stop; otherwise it clears the memo, disables itself and hides the window.
    void SpeedButton_UPD_EXITClick();

    // --- shell state, shared with the update thread ---
    JigLink& link() { return link_; }
    UiPort& ui() { return ui_; }
    Executor& windowThread() { return windowThread_; }
    const RunLog& runLog() const { return runLog_; }
    const ShellConfig& config() const { return config_; }
    std::string identity() const;
    void setIdentity(std::string id);
    std::string selectedText() const;
    LoopTimer& timerRun() { return timerRun_; }
    LoopTimer& timer5Sec() { return timer5Sec_; }
    LoopTimer& timerMsg() { return timerMsg_; }
    std::atomic<bool>& resetWaitFlag() { return resetWait_; }
    // Set by the update window's EXIT and by quitting: the update stops at its next wait.
    std::atomic<bool>& updateCancel() { return updateCancel_; }

    bool updateRunning() const { return updateRunning_.load(); }
    // What the update thread is handed: the shell's link, port, log and timers.
    UpdateHost updateHost();
    // Joins an update thread that has ended (or waits for a running one).
    void joinUpdate();

    // Called on the window thread when Timer_RUN has shown a mode window.
    std::function<void(const std::string& window)> onModeWindowShown;
    // Called (from the update thread) when an update has ended without success.
    std::function<void()> onUpdateFailed;

  private:
    void startUpdateThread();

    ShellConfig config_;
    UiPort& ui_;
    Executor& windowThread_;
    RunLog runLog_;
    JigLink link_;
    mutable std::mutex stateMutex_;
    std::string identity_;
    std::string selected_;
    std::atomic<bool> resetWait_{false};
    std::atomic<bool> updateCancel_{false};
    std::atomic<bool> updateRunning_{false};
    std::thread updateThread_;
    LoopTimer timerRun_;
    LoopTimer timer5Sec_;
    LoopTimer timerMsg_;
};

}  // namespace zjig
