// A top-level window of the program: named by its layout name, captioned,
// centred on the screen the first time it is shown, and created hidden.
// A close from the window manager is turned into the window's own exit.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace zjig::gui {

class QtPort;
}  // namespace zjig::gui

class QPushButton;

namespace zjig::gui {

// What a window may use to take pictures of itself at work (the program's
// `--screenshot` run): the port, to answer its dialogs, and the saver.
struct SceneContext {
    QtPort& port;
    QString dir;  // where pictures go
    // Saves a picture of `window` as `file` in `dir`; false when it could not.
    std::function<bool(QWidget* window, const char* file)> save;
};

class FormWindow : public QWidget {
    Q_OBJECT
  public:
    FormWindow(const char* layoutName, const QString& caption, Qt::WindowFlags flags = Qt::Window);

    // What a close from the window manager does; without one the window hides.
    std::function<void()> onCloseRequest;

    // Centres the window on its screen's work area.
    void centre();

    // Pictures of the window in the middle of its work, beyond the picture
    // of it at rest that every window gets. Called with the window shown
    // and its mode ready to run on the JIG given; false when a picture could
    // not be saved.
    virtual bool saveScenes(SceneContext&) { return true; }

    // The window's EXIT (every mode window has one), for the wiring tests.
    virtual QPushButton* exitButton() const { return nullptr; }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    bool centred_ = false;
};

// Flags of a window that shows a caption but no caption buttons.
Qt::WindowFlags captionOnlyFlags();

}  // namespace zjig::gui
