// What the front ends need of every mode session, whatever its mode: the
// window's creation, whether an operation runs, waiting for it, stopping it,
// and how the last press ended. Each mode's session implements it; the mode
// registry makes the sessions.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "base/executor.h"
#include "base/ui_port.h"
#include "jiglink/connect_jig.h"
#include "jiglink/jig_link.h"

namespace zjig {

// What a session is made with.
struct ModeContext {
    LinkEnv env;
    UiPort* ui = nullptr;
    Executor* windowThread = nullptr;
    // Where the JIG firmware files and the default script are (ends with a separator).
    std::string firmwareDir;
    // Where files opened by their bare name lie (the motherboard databases):
    // empty for the current directory, else a folder ending with a separator.
    std::string dataDir;
};

class ModeSession {
  public:
    virtual ~ModeSession() = default;

    // The window has been created: fill its lists, set its colours.
    virtual void FormCreate() = 0;
    // True while an operation runs (the mode's tag is not "NONE").
    virtual bool busy() const = 0;
    // Waits up to `limit` for a running operation to end and joins its worker.
    virtual bool waitIdle(std::chrono::milliseconds limit) = 0;
    // Stops a running operation at its next wait (closing bytes sent, link
    // closed, file kept as a failed operation keeps it) and joins its worker.
    virtual void shutdown() = 0;
    // Asks a running operation to stop at its next wait, without waiting for
    // it: the window thread can then go on answering the operation's last
    // dialogs until its worker has ended.
    virtual void requestStop() = 0;
    // How the last press ended: true when the operation succeeded. Empty
    // until a press got past the busy check and ended.
    virtual std::optional<bool> lastOperationSucceeded() const = 0;
    // What the last press's ConnectJig found; empty when it ended before.
    virtual std::optional<ConnectResult> lastConnectResult() const = 0;
};

}  // namespace zjig
