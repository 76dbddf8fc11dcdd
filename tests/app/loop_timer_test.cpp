#include "base/loop_timer.h"

#include <gtest/gtest.h>

#include <thread>

#include "base/event_loop.h"
#include "base/run_log.h"
#include "support/temp_dir.h"

namespace zjig {
namespace {

using namespace std::chrono_literals;

auto in(std::chrono::milliseconds ms) { return std::chrono::steady_clock::now() + ms; }

TEST(LoopTimer, FiresOnTheLoopThreadUntilDisabled) {
    EventLoop loop;
    int fired = 0;
    std::thread::id where;
    LoopTimer timer(loop, 10ms, [&] {
        where = std::this_thread::get_id();
        ++fired;
    });
    timer.setEnabled(true);
    ASSERT_TRUE(loop.runUntil([&] { return fired == 3; }, in(5s)));
    EXPECT_EQ(where, std::this_thread::get_id());
    timer.setEnabled(false);
    loop.run(in(50ms));
    EXPECT_EQ(fired, 3);
}

TEST(LoopTimer, HandlerThatDisablesItsTimerFiresOnce) {
    EventLoop loop;
    int fired = 0;
    std::unique_ptr<LoopTimer> timer;
    timer = std::make_unique<LoopTimer>(loop, 5ms, [&] {
        timer->setEnabled(false);
        ++fired;
    });
    // Enabled from another thread, as the update thread does.
    std::thread([&] { timer->setEnabled(true); }).join();
    loop.run(in(100ms));
    EXPECT_EQ(fired, 1);
}

TEST(LoopTimer, DestroyedTimerLeavesAHarmlessTick) {
    EventLoop loop;
    int fired = 0;
    {
        LoopTimer timer(loop, 5ms, [&] { ++fired; });
        timer.setEnabled(true);
    }
    loop.run(in(50ms));
    EXPECT_EQ(fired, 0);
}

TEST(EventLoop, RunsTasksInOrderOfTheirDueTime) {
    EventLoop loop;
    std::string order;
    loop.postDelayed(20ms, [&] { order += "c"; });
    loop.post([&] { order += "a"; });
    loop.post([&] { order += "b"; });
    loop.runUntil([&] { return order.size() == 3; }, in(5s));
    EXPECT_EQ(order, "abc");
}

TEST(RunLog, AppendsCrLfLinesAndNeverTruncates) {
    test::TempDir dir;
    RunLog log(dir.file("Start_log.txt"));
    log.append({"one", "two"});
    RunLog(dir.file("Start_log.txt")).append("three");
    EXPECT_EQ(test::readFile(dir.file("Start_log.txt")), "one\r\ntwo\r\nthree\r\n");
    RunLog(dir.file("missing-dir/x.txt")).append("ignored");  // stops nothing
}

}  // namespace
}  // namespace zjig
