// A window timer: once enabled it fires its handler on the window thread
// every interval until disabled. Enabling and disabling are safe from any
// thread; a handler that disables its timer is not fired again.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

#include "base/executor.h"

namespace zjig {

class LoopTimer {
  public:
    LoopTimer(Executor& executor, std::chrono::milliseconds interval,
              std::function<void()> onTimer);
    ~LoopTimer();
    LoopTimer(const LoopTimer&) = delete;
    LoopTimer& operator=(const LoopTimer&) = delete;

    void setEnabled(bool enabled);
    bool enabled() const;

  private:
    // Shared with the tasks already posted, so a timer destroyed before its
    // tick leaves a tick that does nothing.
    struct State {
        std::mutex mutex;
        bool enabled = false;
        bool alive = true;
        unsigned long generation = 0;
        std::function<void()> onTimer;
    };
    static void schedule(Executor& executor, std::chrono::milliseconds interval,
                         std::shared_ptr<State> state, unsigned long generation);

    Executor& executor_;
    std::chrono::milliseconds interval_;
    std::shared_ptr<State> state_;
};

}  // namespace zjig
