#include "base/event_loop.h"

namespace zjig {

void EventLoop::post(std::function<void()> task) {
    postDelayed(std::chrono::milliseconds(0), std::move(task));
}

void EventLoop::postDelayed(std::chrono::milliseconds delay, std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push(Timed{std::chrono::steady_clock::now() + delay, seq_++, std::move(task)});
    }
    cv_.notify_all();
}

void EventLoop::quit() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    cv_.notify_all();
}

bool EventLoop::run(std::chrono::steady_clock::time_point until) {
    return runUntil([] { return false; }, until);
}

bool EventLoop::runUntil(const std::function<bool()>& done,
                         std::chrono::steady_clock::time_point until) {
    while (true) {
        if (done()) return true;
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            while (true) {
                if (quit_) {
                    quit_ = false;
                    return true;
                }
                const auto now = std::chrono::steady_clock::now();
                if (!tasks_.empty() && tasks_.top().due <= now) break;
                if (now >= until) return false;
                auto wake = until;
                if (!tasks_.empty() && tasks_.top().due < wake) wake = tasks_.top().due;
                cv_.wait_until(lock, wake);
            }
            task = std::move(const_cast<Timed&>(tasks_.top()).task);
            tasks_.pop();
        }
        task();
    }
}

}  // namespace zjig
