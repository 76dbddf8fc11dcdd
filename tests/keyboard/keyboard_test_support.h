// The window thread of the keyboard tests: an event loop on a thread of its
// own, on which the handlers run and the watchdog ticks, as in the program.
#pragma once

#include <future>
#include <thread>

#include "base/event_loop.h"

namespace zjig::test {

class WindowThread {
  public:
    WindowThread()
        : thread_([this] { loop.run(std::chrono::steady_clock::now() + std::chrono::hours(1)); }) {}
    ~WindowThread() {
        loop.quit();
        thread_.join();
    }
    // Runs `task` on the window thread and waits for it.
    template <typename Task>
    void call(Task task) {
        std::promise<void> done;
        loop.post([&] {
            task();
            done.set_value();
        });
        done.get_future().wait();
    }

    EventLoop loop;

  private:
    std::thread thread_;
};

}  // namespace zjig::test
