// What every zjig subcommand runs with: the options, the device list, the
// port to the terminal and the window thread, plus the exit codes and the
// runner every mode's operations share.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "base/event_loop.h"
#include "cli/cli_port.h"
#include "frontend/options.h"
#include "jiglink/connect_jig.h"
#include "session/mode_session.h"

namespace CLI {
class App;
}

namespace zjig::cli {

using frontend::CommonOptions;

enum ExitCode : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitNoJig = 3 };

struct Runtime {
    CommonOptions options;
    DeviceList devices;
    LinkEnv env;
    std::unique_ptr<CliPort> port;
    std::FILE* err = stderr;  // usage errors of the subcommands
    EventLoop loop;
    // The subcommand chosen on the command line; runs after the devices are set up.
    std::function<int()> action;

    // What a mode session of this run is made with.
    ModeContext modeContext();
};

// Set by SIGINT, SIGTERM or SIGHUP; long operations stop through their
// window's own stop path.
std::atomic<bool>& interrupted();

// Runs the window thread until `done` holds, looking at `done` at least every
// 100 ms even when no task arrives. Returns false when `limit` passes first.
bool runLoopUntil(Runtime& rt, const std::function<bool()>& done, std::chrono::milliseconds limit);

// Exit status of a mode command from its ConnectJig result when that failed.
int exitCodeFor(ConnectResult result);

// Exit status of a session's last press: no JIG or a firmware to update, else
// how the window ended it.
int pressOutcome(const ModeSession& session);

// Presses a handler (`press`) and waits until the operation it may have
// started has ended; a stop signal stops it through the session's own stop.
int runOperation(Runtime& rt, ModeSession& session, const std::function<void()>& press);

// "error: TEXT" on standard error; returns the usage exit code.
int usageError(Runtime& rt, const std::string& text);

// Picks the one item of `items` that contains `wanted` (case-sensitive). No
// match or several is a usage error naming `option` and listing the
// candidates (at most 20, then how many more); returns the index or -1.
int chooseOne(Runtime& rt, const std::string& option, const std::string& wanted,
              const std::vector<std::string>& items);

// Subcommands that are not modes.
void addStartCommands(CLI::App& app, Runtime& rt);  // start, test-connect
// Every built mode's subcommands, from the mode registry.
void addModeCommands(CLI::App& app, Runtime& rt);

// Entry used by main() and by the tests (out/err instead of the terminal).
int runCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace zjig::cli
