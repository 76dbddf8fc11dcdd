// Runs the GUI thread's events until a condition holds or a time limit
// passes. Sleeps between events (a short timer wakes it to look again), so
// waiting costs no CPU.
#pragma once

#include <chrono>
#include <functional>

namespace zjig::gui {

// Returns whether `done` held before `limit` ran out. GUI thread only.
bool processEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

}  // namespace zjig::gui

namespace zjig {
class ModeSession;
}

namespace zjig::gui {

// Stops a mode's running operation from the window thread: asks it to stop,
// answers the dialogs its end may still show (where a partial dump is) until
// its worker has ended, then joins it. Joining at once could wait for ever
// on a worker that waits for this thread to show its dialog.
void stopOperation(ModeSession& session);

}  // namespace zjig::gui
