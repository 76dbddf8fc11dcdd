// The window thread as the core sees it: a place to post work to, now or
// after a delay. Handlers and timers run there; workers post to it.
#pragma once

#include <chrono>
#include <functional>

namespace zjig {

class Executor {
  public:
    virtual ~Executor() = default;
    virtual void post(std::function<void()> task) = 0;
    virtual void postDelayed(std::chrono::milliseconds delay, std::function<void()> task) = 0;
};

}  // namespace zjig
