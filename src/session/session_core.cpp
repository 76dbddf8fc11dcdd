#include "session/session_core.h"

#include "base/display_text.h"
#include "base/files.h"

namespace zjig {

SessionCore::SessionCore(const ModeContext& context, size_t bufferSize)
    : ui(*context.ui), link(context.env, bufferSize) {
    link.setCancelFlag(&stop);
}

SessionCore::~SessionCore() { shutdown(); }

bool SessionCore::idleForPress(bool busy) {
    if (busy) return false;
    if (worker_.joinable()) worker_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    succeeded_.reset();
    connectResult_.reset();
    return true;
}

bool SessionCore::connect(const ConnectVariant& variant, std::string& identity,
                          bool showVersionLines) {
    identity.clear();
    const ConnectResult r = ConnectJig(link, ui, variant, identity, showVersionLines);
    std::lock_guard<std::mutex> lock(mutex_);
    connectResult_ = r;
    return r == ConnectResult::Accepted;
}

void SessionCore::sendResult(uint8_t result, bool takeAnswer) {
    link.send({result});
    if (!takeAnswer) return;
    // After a stop a stalled JIG must not hold the program up for a whole
    // read time-out; a working one still answers at once.
    if (link.cancelled())
        link.takeClosingAnswer(kClosingAnswerAfterStop);
    else
        link.read(1);
}

void SessionCore::closeLink() { link.drainAndClose(); }

void SessionCore::setOutcome(bool succeeded) {
    std::lock_guard<std::mutex> lock(mutex_);
    succeeded_ = succeeded;
}

void SessionCore::endPress(bool succeeded) {
    closeLink();
    setOutcome(succeeded);
}

void SessionCore::abandonDump(DumpFile& dump) {
    if (const std::string warning = dump.abandon(); !warning.empty())
        ui.messageBox(MessageKind::Warning, displayText(warning));
}

bool SessionCore::finishDump(DumpFile& dump, bool ok, const std::string& createError) {
    if (!ok) {
        abandonDump(dump);
        return false;
    }
    const std::string problem = dump.commit();
    if (problem.empty()) return true;
    ui.messageBox(MessageKind::Error, createError + "\n" + displayText(problem));
    return false;
}

std::string SessionCore::waitFailureLine(const std::string& where, WaitResult r,
                                         std::chrono::milliseconds limit) const {
    switch (r) {
        case WaitResult::TimedOut:
            return where + ": no answer from the programmer within " +
                   std::to_string(link.effectiveLimit(limit).count()) + " ms";
        case WaitResult::Overflow:
            return where + ": the programmer sent more bytes than expected";
        case WaitResult::Cancelled:
            return where + ": stopped, the program is closing";
        case WaitResult::LinkError:
            return where + ": the connection to the programmer failed";
        case WaitResult::Ok:
            break;
    }
    return where;
}

void SessionCore::startWorker(std::function<void()> body) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        workerRunning_ = true;
    }
    worker_ = std::thread([this, body = std::move(body)] {
        body();
        std::lock_guard<std::mutex> lock(mutex_);
        workerRunning_ = false;
        workerEnded_.notify_all();
    });
}

bool SessionCore::workerRunning() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return workerRunning_;
}

bool SessionCore::waitIdle(std::chrono::milliseconds limit) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!workerEnded_.wait_for(lock, limit, [&] { return !workerRunning_; })) return false;
    }
    if (worker_.joinable()) worker_.join();
    return true;
}

void SessionCore::shutdown() {
    stop = true;
    if (worker_.joinable()) worker_.join();
    closeLink();
    stop = false;
}

std::optional<bool> SessionCore::lastOperationSucceeded() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return succeeded_;
}

std::optional<ConnectResult> SessionCore::lastConnectResult() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connectResult_;
}

}  // namespace zjig
