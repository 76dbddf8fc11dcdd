#include "cli/cli.h"

#include <CLI/CLI.hpp>
#include <sstream>

#include "base/display_text.h"
#include "base/files.h"
#include "cli/runtime.h"
#include "frontend/stop_signals.h"

namespace zjig::cli {

namespace {
// Every wait of a press is bounded; this only guards against a fault.
constexpr std::chrono::minutes kOperationGuard{30};
// How often the wait for a worker looks at the stop flag.
constexpr std::chrono::milliseconds kInterruptPoll{100};
// A no-match or several-match list shows this many candidates at most.
constexpr size_t kMaxCandidatesShown = 20;
}  // namespace

std::atomic<bool>& interrupted() { return frontend::stopRequested(); }

ModeContext Runtime::modeContext() {
    ModeContext context;
    context.env = env;
    context.ui = port.get();
    context.windowThread = &loop;
    context.firmwareDir = frontend::firmwareFolder(options);
    return context;
}

bool runLoopUntil(Runtime& rt, const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        const auto now = std::chrono::steady_clock::now();
        if (done()) return true;
        if (now >= deadline) return false;
        const auto slice = std::min(deadline, now + std::chrono::milliseconds(100));
        rt.loop.runUntil(done, slice);
    }
}

int exitCodeFor(ConnectResult result) {
    return result == ConnectResult::Accepted ? kExitOk : kExitNoJig;
}

int pressOutcome(const ModeSession& session) {
    const auto connect = session.lastConnectResult();
    if (connect && *connect != ConnectResult::Accepted) return exitCodeFor(*connect);
    return session.lastOperationSucceeded() == true ? kExitOk : kExitFailed;
}

int runOperation(Runtime&, ModeSession& session, const std::function<void()>& press) {
    press();
    const auto deadline = std::chrono::steady_clock::now() + kOperationGuard;
    while (!session.waitIdle(kInterruptPoll)) {
        if (interrupted() || std::chrono::steady_clock::now() >= deadline) {
            session.shutdown();
            return kExitFailed;
        }
    }
    // A stop during the press itself ended it on its failure path.
    if (interrupted()) return kExitFailed;
    return pressOutcome(session);
}

int usageError(Runtime& rt, const std::string& text) {
    size_t from = 0;
    while (true) {
        const size_t end = text.find('\n', from);
        std::fprintf(rt.err, "error: %s\n",
                     displayText(std::string_view(text).substr(from, end - from)).c_str());
        if (end == std::string::npos) break;
        from = end + 1;
    }
    return kExitUsage;
}

int chooseOne(Runtime& rt, const std::string& option, const std::string& wanted,
              const std::vector<std::string>& items) {
    std::vector<size_t> matches;
    for (size_t i = 0; i < items.size(); ++i)
        if (!items[i].empty() && items[i].find(wanted) != std::string::npos) matches.push_back(i);
    if (matches.size() == 1) return static_cast<int>(matches.front());

    std::vector<size_t> shown = matches;
    if (matches.empty())
        for (size_t i = 0; i < items.size(); ++i)
            if (!items[i].empty()) shown.push_back(i);
    std::string text = option + " \"" + wanted + "\" matches " +
                       (matches.empty() ? "no record; the records are:"
                                        : std::to_string(matches.size()) + " records:");
    for (size_t k = 0; k < shown.size() && k < kMaxCandidatesShown; ++k)
        text += "\n  " + items[shown[k]];
    if (shown.size() > kMaxCandidatesShown)
        text += "\n  ... and " + std::to_string(shown.size() - kMaxCandidatesShown) + " more";
    usageError(rt, text);
    return -1;
}

int runCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    Runtime rt;
    rt.port = std::make_unique<CliPort>(out, err);
    rt.err = err;

    CLI::App app{"zjig: read and write embedded-controller flash through the Zentravox JIG",
                 "zjig"};
    app.set_help_all_flag("--help-all", "Show the help of every subcommand");
    app.require_subcommand(1);
    frontend::addCommonOptions(app, rt.options);
    addStartCommands(app, rt);
    addModeCommands(app, rt);

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {  // --help and its kin
            std::ostringstream o, e2;
            app.exit(e, o, e2);
            std::fputs(o.str().c_str(), out);
            std::fputs(e2.str().c_str(), err);
            return kExitOk;
        }
        return usageError(rt, std::string(e.what()) + " (see zjig --help)");
    }

    std::string error;
    if (!frontend::buildDeviceList(rt.options.ports, rt.devices, error))
        return usageError(rt, error);
    rt.env = frontend::makeLinkEnv(rt.options, rt.devices);
    if (!rt.action) return kExitUsage;
    const int code = rt.action();
    rt.port->finishProgress();
    // No JIG: every device that was missing or would not open tells why
    // (vendor library absent, node missing or held by another program).
    if (code == kExitNoJig)
        for (const auto& why : rt.devices.errors())
            std::fprintf(err, "error: %s\n", displayText(why).c_str());
    return code;
}

int runCli(int argc, char** argv) {
    guardStandardDescriptors();
    frontend::installStopSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    return runCli(args, stdout, stderr);
}

}  // namespace zjig::cli
