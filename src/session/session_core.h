// The parts every mode session is built from: the mode's own link with its
// stop flag, the outcome of the last press, the worker thread the session
// owns and joins, and the few steps each press shares (connect, send the
// result byte, let the link go, describe a wait that failed, end a read's
// file).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "base/ui_port.h"
#include "jiglink/connect_jig.h"
#include "jiglink/jig_link.h"
#include "session/mode_session.h"

namespace zjig {

class DumpFile;

class SessionCore {
  public:
    SessionCore(const ModeContext& context, size_t bufferSize);
    ~SessionCore();  // stops and joins a running worker
    SessionCore(const SessionCore&) = delete;
    SessionCore& operator=(const SessionCore&) = delete;

    UiPort& ui;
    JigLink link;
    // The link's own cancel flag: set to end a running operation at its next wait.
    std::atomic<bool> stop{false};

    // --- a press ---
    // A press starts only on an idle mode (`busy` false). A worker that has
    // just ended is joined first so that its last window updates come before
    // the press's own; the last outcome is forgotten.
    bool idleForPress(bool busy);
    // ConnectJig on the mode's link; keeps its result. True when accepted.
    bool connect(const ConnectVariant& variant, std::string& identity,
                 bool showVersionLines = true);
    // The success or failure byte that ends a press. With `takeAnswer` the
    // JIG's one-byte answer is read (one read, bounded by the link's read
    // time-out) so that it cannot spill into the next connection's identity;
    // after a stop it is awaited only briefly.
    void sendResult(uint8_t result, bool takeAnswer);
    // The last bytes leave the bridge (with their own short bound, also after
    // a stop), then the link is closed.
    void closeLink();
    void setOutcome(bool succeeded);
    // Ends a press that started no worker: link closed, outcome kept.
    void endPress(bool succeeded);

    // A wait that did not end with its bytes, as one memo line.
    std::string waitFailureLine(const std::string& where, WaitResult r,
                                std::chrono::milliseconds limit = kAnswerWait) const;

    // --- a read's file ---
    // A read that failed: its dump is abandoned (an earlier FILE stays as it
    // was), and where that leaves the blocks read is shown in a warning dialog.
    void abandonDump(DumpFile& dump);
    // The end of a read's dump. A read that succeeded replaces FILE; when
    // the disk refuses, an error dialog shows `createError` above the
    // problem. A read that failed is abandoned as above. True when FILE
    // holds the whole read.
    bool finishDump(DumpFile& dump, bool ok, const std::string& createError);

    // --- the worker ---
    // Runs `body` on the mode's worker thread. Call when idle.
    void startWorker(std::function<void()> body);
    bool workerRunning() const;
    bool waitIdle(std::chrono::milliseconds limit);
    // Sets the stop flag, joins the worker, lets the link go, clears the flag.
    void shutdown();

    std::optional<bool> lastOperationSucceeded() const;
    std::optional<ConnectResult> lastConnectResult() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable workerEnded_;
    bool workerRunning_ = false;
    std::optional<bool> succeeded_;
    std::optional<ConnectResult> connectResult_;
    std::thread worker_;
};

// A session whose outcome, waits and stop are those of its SessionCore.
class CoreModeSession : public ModeSession {
  public:
    bool waitIdle(std::chrono::milliseconds limit) override { return core().waitIdle(limit); }
    void shutdown() override { core().shutdown(); }
    void requestStop() override { core().stop = true; }
    std::optional<bool> lastOperationSucceeded() const override {
        return core().lastOperationSucceeded();
    }
    std::optional<ConnectResult> lastConnectResult() const override {
        return core().lastConnectResult();
    }

  protected:
    virtual SessionCore& core() const = 0;
};

}  // namespace zjig
