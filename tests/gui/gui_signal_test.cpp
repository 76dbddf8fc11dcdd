// The desktop program quits cleanly on SIGINT, SIGTERM and SIGHUP, as Exit
// would (without asking), instead of being killed by them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <fstream>

#include "cli/child_process.h"
#include "support/temp_dir.h"

namespace zjig {
namespace {

using namespace std::chrono_literals;

// True once the process has its own handler for `signo`.
bool catches(pid_t pid, int signo) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (signo - 1)) & 1;
    return false;
}

TEST(DesktopProgram, QuitsOnEveryStopSignal) {
    for (const int signo : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signo);
        test::TempDir dir;
        test::ChildProcess program(ZJIG_GUI_BINARY, {"--port", "sim"}, dir.path().string());
        ASSERT_TRUE(program.started());
        ASSERT_TRUE(test::waitUntil([&] { return catches(program.pid(), signo); }, 20s))
            << program.err();
        program.signal(signo);
        const auto status = program.waitForEnd(20s);
        ASSERT_TRUE(status) << "the program did not quit";
        ASSERT_TRUE(WIFEXITED(*status)) << "killed by signal " << WTERMSIG(*status);
        EXPECT_EQ(WEXITSTATUS(*status), 0) << program.err();
    }
}

}  // namespace
}  // namespace zjig
