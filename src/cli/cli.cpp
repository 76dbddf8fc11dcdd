#include "cli/cli.h"

#include <csignal>
#include <CLI/CLI.hpp>
#include <sstream>

#include "cli/runtime.h"

namespace zjig::cli {

std::atomic<bool>& interrupted() {
    static std::atomic<bool> flag{false};
    return flag;
}

namespace {
extern "C" void onInterrupt(int) { interrupted().store(true); }
}  // namespace

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

int runCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    Runtime rt;
    rt.port = std::make_unique<CliPort>(out, err);
    rt.err = err;

    CLI::App app{"zjig: read and write embedded-controller flash through the Zentravox JIG"};
    app.set_help_all_flag("--help-all", "Show the help of every subcommand");
    app.require_subcommand(1);
    addCommonOptions(app, rt.options);
    addStartCommands(app, rt);
    // Mode subcommands register here.
    addEneCommands(app, rt);

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        std::ostringstream o, e2;
        const int code = app.exit(e, o, e2);
        std::fputs(o.str().c_str(), out);
        std::fputs(e2.str().c_str(), err);
        return code == 0 ? kExitOk : kExitUsage;
    }

    std::string error;
    if (!buildDeviceList(rt.options.ports, rt.devices, error)) {
        std::fprintf(err, "error: %s\n", error.c_str());
        return kExitUsage;
    }
    rt.env = makeLinkEnv(rt.options, rt.devices);
    if (!rt.action) return kExitUsage;
    const int code = rt.action();
    rt.port->finishProgress();
    // A port that offered no device tells why (vendor library absent, say).
    if (code == kExitNoJig && !rt.devices.lastError().empty())
        std::fprintf(err, "warning: %s\n", rt.devices.lastError().c_str());
    return code;
}

int runCli(int argc, char** argv) {
    std::signal(SIGINT, onInterrupt);
    std::vector<std::string> args(argv + 1, argv + argc);
    return runCli(args, stdout, stderr);
}

}  // namespace zjig::cli
