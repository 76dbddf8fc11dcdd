#include "gui/form_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

namespace zjig::gui {

Qt::WindowFlags captionOnlyFlags() {
    return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
}

FormWindow::FormWindow(const char* layoutName, const QString& caption, Qt::WindowFlags flags)
    : QWidget(nullptr, flags) {
    setObjectName(QString::fromLatin1(layoutName));
    setWindowTitle(caption);
}

void FormWindow::centre() {
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void FormWindow::showEvent(QShowEvent* event) {
    if (!centred_) {
        centred_ = true;
        centre();
    }
    QWidget::showEvent(event);
}

void FormWindow::closeEvent(QCloseEvent* event) {
    if (onCloseRequest) {
        // The window's own exit decides whether and how it goes away.
        event->ignore();
        onCloseRequest();
        return;
    }
    QWidget::closeEvent(event);
}

}  // namespace zjig::gui
