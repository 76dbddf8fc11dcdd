#include "frontend/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace zjig::frontend {

namespace {
// Plain atomics with constant initialisation: safe to touch from a handler.
std::atomic<bool> stopFlag{false};
std::atomic<int> lastSignal{0};
int wakeWrite = -1;

extern "C" void onStopSignal(int signo) {
    if (signo == SIGINT && stopFlag.load()) {
        // The second Ctrl-C: the user does not want to wait for the closing bytes.
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
        return;
    }
    lastSignal.store(signo);
    stopFlag.store(true);
    if (wakeWrite >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeWrite, &byte, 1);
    }
}
}  // namespace

std::atomic<bool>& stopRequested() { return stopFlag; }

int stopSignal() { return lastSignal.load(); }

void installStopSignals(int* wakeFd) {
    if (wakeFd) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            wakeWrite = fds[1];
            *wakeFd = fds[0];
        } else {
            *wakeFd = -1;
        }
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls restart: every wait of the program looks at
    // the flag on its own within a short slice.
    action.sa_flags = SA_RESTART;
    for (const int signo : {SIGINT, SIGTERM, SIGHUP}) sigaction(signo, &action, nullptr);
}

}  // namespace zjig::frontend
