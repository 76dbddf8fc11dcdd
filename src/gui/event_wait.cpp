#include "gui/event_wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "session/mode_session.h"

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

void stopOperation(ModeSession& session) {
    session.requestStop();
    // Every wait of an operation ends promptly on the stop; the limit only
    // guards against a fault.
    processEventsUntil([&] { return !session.busy(); }, std::chrono::seconds(60));
    session.shutdown();
}

}  // namespace zjig::gui
