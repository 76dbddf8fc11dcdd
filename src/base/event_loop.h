// A plain window thread for the command line and the tests: whoever calls
// run() becomes the thread on which posted tasks and timers run.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <queue>
#include <vector>

#include "base/executor.h"

namespace zjig {

class EventLoop : public Executor {
  public:
    void post(std::function<void()> task) override;
    void postDelayed(std::chrono::milliseconds delay, std::function<void()> task) override;

    // Runs tasks until quit() or until `until` has passed. Returns false on the time limit.
    bool run(std::chrono::steady_clock::time_point until);
    // Runs tasks until `done` holds (checked after every task) or the limit passes.
    bool runUntil(const std::function<bool()>& done, std::chrono::steady_clock::time_point until);
    void quit();

  private:
    struct Timed {
        std::chrono::steady_clock::time_point due;
        unsigned long seq;
        std::function<void()> task;
        bool operator>(const Timed& o) const { return due != o.due ? due > o.due : seq > o.seq; }
    };
    std::mutex mutex_;
    std::condition_variable cv_;
    std::priority_queue<Timed, std::vector<Timed>, std::greater<Timed>> tasks_;
    unsigned long seq_ = 0;
    bool quit_ = false;
};

}  // namespace zjig
