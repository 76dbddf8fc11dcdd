#include "gui/mode_window.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProgressBar>
#include <chrono>
#include <optional>
#include <string>

#include "gui/event_wait.h"
#include "gui/qt_port.h"
#include "gui/widgets.h"
#include "session/mode_session.h"

namespace zjig::gui {

ModeWindow::ModeWindow(const char* layoutName, const QString& caption, ModeSession& session,
                       Qt::WindowFlags flags)
    : FormWindow(layoutName, caption, flags), modeSession_(session) {}

void ModeWindow::closeAsExit(std::function<void()> exit, const char* question) {
    confirmStop = [this, question] {
        return QMessageBox::question(this, windowTitle(), latin(question),
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
    onCloseRequest = [this, exit = std::move(exit)] { closeRequested(exit); };
}

void ModeWindow::closeRequested(const std::function<void()>& exit) {
    if (modeSession_.busy()) {
        if (!confirmStop || !confirmStop()) return;
        stopOperation(modeSession_);
    }
    exit();
}

bool ModeWindow::saveReadScene(SceneContext& scenes, const std::function<void()>& read,
                               const QProgressBar& gauge, const char* file) {
    const std::string dump = QDir(scenes.dir).filePath(QStringLiteral("reading.bin")).toStdString();
    scenes.port.setFileDialogHandler([dump](const FileDialogSpec&) { return std::optional(dump); });
    read();
    processEventsUntil([&] { return !modeSession_.busy() || gauge.value() > gauge.maximum() / 3; },
                       std::chrono::seconds(60));
    const bool saved = !modeSession_.busy() || scenes.save(this, file);
    processEventsUntil([&] { return !modeSession_.busy(); }, std::chrono::seconds(60));
    scenes.port.setFileDialogHandler(nullptr);
    QFile::remove(QString::fromStdString(dump));
    return saved;
}

}  // namespace zjig::gui
