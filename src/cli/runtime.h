// What every zjig subcommand runs with: the options, the device list, the
// port to the terminal and the window thread, plus the exit codes.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

#include "app/event_loop.h"
#include "cli/cli_port.h"
#include "cli/setup.h"
#include "jiglink/connect_jig.h"

namespace CLI {
class App;
}

namespace zjig::cli {

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
};

// Set by Ctrl-C; long operations stop through their window's own stop path.
std::atomic<bool>& interrupted();

// Runs the window thread until `done` holds, looking at `done` at least every
// 100 ms even when no task arrives. Returns false when `limit` passes first.
bool runLoopUntil(Runtime& rt, const std::function<bool()>& done, std::chrono::milliseconds limit);

// Exit status of a mode command from its ConnectJig result when that failed.
int exitCodeFor(ConnectResult result);

// Subcommands.
void addStartCommands(CLI::App& app, Runtime& rt);  // start, test-connect
void addEneCommands(CLI::App& app, Runtime& rt);    // ene apply|read|write

// Entry used by main() and by the tests (out/err instead of the terminal).
int runCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace zjig::cli
