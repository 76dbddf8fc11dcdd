// The window thread: tasks from any thread run on the GUI thread in order;
// delayed tasks wait their delay; the shell's timers run on it.
#include "gui/qt_executor.h"

#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "base/loop_timer.h"
#include "gui/event_wait.h"
#include "qt_test_app.h"

namespace zjig::gui {
namespace {

using namespace std::chrono_literals;

TEST(QtExecutor, TasksFromWorkersRunOnTheGuiThreadInOrder) {
    QtExecutor executor;
    std::vector<int> ran;  // touched on the GUI thread only
    bool offThread = false;
    constexpr int kPerWorker = 200;
    auto work = [&](int base) {
        for (int i = 0; i < kPerWorker; ++i)
            executor.post([&, n = base + i] {
                if (QThread::currentThread() != qApp->thread()) offThread = true;
                ran.push_back(n);
            });
    };
    std::thread a(work, 0), b(work, 1000);
    a.join();
    b.join();
    ASSERT_TRUE(processEventsUntil([&] { return ran.size() == 2 * kPerWorker; }, 10s));
    EXPECT_FALSE(offThread);
    // Each worker's tasks keep their order; the two may interleave.
    std::vector<int> fromA, fromB;
    for (int n : ran) (n < 1000 ? fromA : fromB).push_back(n);
    for (int i = 0; i < kPerWorker; ++i) {
        EXPECT_EQ(fromA[i], i);
        EXPECT_EQ(fromB[i], 1000 + i);
    }
}

TEST(QtExecutor, ADelayedTaskWaitsItsDelayEvenWhenPostedFromAWorker) {
    QtExecutor executor;
    std::vector<std::string> order;
    std::chrono::steady_clock::time_point posted, ran;
    std::thread worker([&] {
        posted = std::chrono::steady_clock::now();
        executor.postDelayed(150ms, [&] {
            ran = std::chrono::steady_clock::now();
            order.push_back("delayed");
        });
        executor.post([&] { order.push_back("now"); });
    });
    worker.join();
    ASSERT_TRUE(processEventsUntil([&] { return order.size() == 2; }, 10s));
    EXPECT_EQ(order, (std::vector<std::string>{"now", "delayed"}));
    EXPECT_GE(ran - posted, 150ms);
}

TEST(QtExecutor, TasksStillPendingWhenItGoesAreDropped) {
    bool ran = false;
    {
        QtExecutor executor;
        executor.post([&] { ran = true; });
        executor.postDelayed(1ms, [&] { ran = true; });
    }
    // Give any stray event every chance to arrive.
    QtExecutor other;
    bool marker = false;
    other.postDelayed(20ms, [&] { marker = true; });
    ASSERT_TRUE(processEventsUntil([&] { return marker; }, 10s));
    EXPECT_FALSE(ran);
}

TEST(QtExecutor, ALoopTimerTicksOnTheGuiThreadUntilDisabled) {
    QtExecutor executor;
    int ticks = 0;
    bool offThread = false;
    LoopTimer timer(executor, 10ms, [&] {
        if (QThread::currentThread() != qApp->thread()) offThread = true;
        if (++ticks == 3) timer.setEnabled(false);
    });
    // Enabled from a worker, as the update thread enables Timer_RUN.
    std::thread worker([&] { timer.setEnabled(true); });
    worker.join();
    ASSERT_TRUE(processEventsUntil([&] { return ticks >= 3; }, 10s));
    EXPECT_FALSE(timer.enabled());
    // Once disabled it stays quiet: a later tick of another timer comes first.
    bool later = false;
    executor.postDelayed(60ms, [&] { later = true; });
    ASSERT_TRUE(processEventsUntil([&] { return later; }, 10s));
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(offThread);
}

// Run in a child process: ending the event loop is what the guard does.
TEST(GuardedApplicationDeathTest, AnExceptionEscapingAnEventIsShownAndEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setFatalErrorHandler(
                [](const QString& what) { std::fprintf(stderr, "shown: %s\n", qPrintable(what)); });
            QtExecutor executor;
            executor.post([] { throw std::runtime_error("Error open file!"); });
            // Should the guard not end the loop, the test fails instead of hanging.
            executor.postDelayed(20s, [] { QCoreApplication::exit(99); });
            // A loop that would never end by itself, as the program's own.
            const int status = QCoreApplication::exec();
            std::fflush(stderr);
            // Straight out: the test program's QApplication outlives this child's statics.
            std::_Exit(status);
        },
        ::testing::ExitedWithCode(1), "shown: Error open file!");
}

}  // namespace
}  // namespace zjig::gui
