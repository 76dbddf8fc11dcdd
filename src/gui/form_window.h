// A top-level window of the program: named by its layout name, captioned,
// centred on the screen the first time it is shown, and created hidden.
// A close from the window manager is turned into the window's own exit.
#pragma once

#include <QWidget>
#include <functional>

namespace zjig::gui {

class FormWindow : public QWidget {
    Q_OBJECT
  public:
    FormWindow(const char* layoutName, const QString& caption, Qt::WindowFlags flags = Qt::Window);

    // What a close from the window manager does; without one the window hides.
    std::function<void()> onCloseRequest;

    // Centres the window on its screen's work area.
    void centre();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    bool centred_ = false;
};

// Flags of a window that shows a caption but no caption buttons.
Qt::WindowFlags captionOnlyFlags();

}  // namespace zjig::gui
