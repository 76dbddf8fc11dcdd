#include "gui/event_wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace zjig::gui {

bool processEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    QTimer wake;
    wake.setInterval(10);
    wake.start();
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

}  // namespace zjig::gui
