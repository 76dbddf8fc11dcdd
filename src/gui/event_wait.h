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
