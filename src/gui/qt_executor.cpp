#include "gui/qt_executor.h"

#include <QMetaObject>
#include <QThread>
#include <QTimer>

namespace zjig::gui {

QtExecutor::QtExecutor() : context_(std::make_unique<QObject>()) {}

QtExecutor::~QtExecutor() = default;

bool QtExecutor::onGuiThread() const { return QThread::currentThread() == context_->thread(); }

void QtExecutor::post(std::function<void()> task) {
    QMetaObject::invokeMethod(context_.get(), std::move(task), Qt::QueuedConnection);
}

void QtExecutor::postDelayed(std::chrono::milliseconds delay, std::function<void()> task) {
    // Timers belong to the GUI thread: the delay is counted from now and the
    // timer is started there, for whatever is left of it.
    const auto due = std::chrono::steady_clock::now() + delay;
    QObject* context = context_.get();
    QMetaObject::invokeMethod(
        context,
        [context, due, task = std::move(task)]() mutable {
            // Rounded up: a timer's task never runs before its time.
            auto left = std::chrono::ceil<std::chrono::milliseconds>(
                due - std::chrono::steady_clock::now());
            if (left.count() < 0) left = std::chrono::milliseconds(0);
            QTimer::singleShot(left, Qt::PreciseTimer, context, std::move(task));
        },
        Qt::QueuedConnection);
}

}  // namespace zjig::gui
