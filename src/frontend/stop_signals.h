// SIGINT, SIGTERM and SIGHUP stop the running operation the way the window's
// own stop would: the flag below is the links' abort flag, so every wait of
// every link ends at once as cancelled, the JIG still gets its closing bytes
// and the link is closed. A second SIGINT ends the process at once.
#pragma once

#include <atomic>

namespace zjig::frontend {

// Set by the first stop signal.
std::atomic<bool>& stopRequested();
// The signal that set it (0 before any).
int stopSignal();
// Installs the handlers. When `wakeFd` is not null it receives the read end
// of a pipe that gets one byte per stop signal (for an event loop to watch).
void installStopSignals(int* wakeFd = nullptr);

}  // namespace zjig::frontend
