#include "base/loop_timer.h"

namespace zjig {

LoopTimer::LoopTimer(Executor& executor, std::chrono::milliseconds interval,
                     std::function<void()> onTimer)
    : executor_(executor), interval_(interval), state_(std::make_shared<State>()) {
    state_->onTimer = std::move(onTimer);
}

LoopTimer::~LoopTimer() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->alive = false;
    state_->enabled = false;
}

void LoopTimer::setEnabled(bool enabled) {
    unsigned long generation = 0;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->enabled == enabled) return;
        state_->enabled = enabled;
        generation = ++state_->generation;
    }
    if (enabled) schedule(executor_, interval_, state_, generation);
}

bool LoopTimer::enabled() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->enabled;
}

void LoopTimer::schedule(Executor& executor, std::chrono::milliseconds interval,
                         std::shared_ptr<State> state, unsigned long generation) {
    executor.postDelayed(interval, [&executor, interval, state, generation] {
        std::function<void()> handler;
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            if (!state->alive || !state->enabled || state->generation != generation) return;
            handler = state->onTimer;
        }
        handler();
        bool again = false;
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            again = state->alive && state->enabled && state->generation == generation;
        }
        if (again) schedule(executor, interval, state, generation);
    });
}

}  // namespace zjig
