// What the firmware update thread works with: the shell hands over its open
// link, its window port, run log and timers when "Start" finds a JIG that
// needs another firmware. The update knows nothing else of the shell.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "base/loop_timer.h"
#include "base/run_log.h"
#include "base/ui_port.h"
#include "jiglink/jig_link.h"

namespace zjig {

struct UpdateHost {
    UiPort& ui;
    // The shell's link, open on the JIG its detection found (or on the last
    // silent device); the update closes it when it ends.
    JigLink& link;
    const RunLog& runLog;
    LinkEnv env;
    std::string firmwareDir;  // ends with a separator
    std::string identity;     // what the detection found
    std::string selected;     // the mode chosen in the main window
    LoopTimer& timerRun;      // opens the mode window
    LoopTimer& timer5Sec;     // the reset-button wait
    LoopTimer& timerMsg;      // the reset-button reminder
    std::atomic<bool>& resetWait;
    // Set by the update window's EXIT and by quitting: the update stops at its next wait.
    std::atomic<bool>& cancel;
    // Called when the update has ended without success.
    std::function<void()> onFailed;
};

// The update thread's whole run (second- and third-generation paths).
void RunUpdateThread(UpdateHost& host);

}  // namespace zjig
