// The window of a mode whose reads and writes run on a worker. A close from
// the window manager is the mode's EXIT; while an operation runs EXIT
// refuses, so the close first stops the operation when the user agrees,
// answering the operation's last dialogs meanwhile. For the screenshots,
// the picture of a read caught a third of the way.
#pragma once

#include <QString>
#include <functional>

#include "gui/form_window.h"

class QProgressBar;

namespace zjig {
class ModeSession;
}  // namespace zjig

namespace zjig::gui {

// What closing a mode window mid-operation asks, unless the mode asks otherwise.
inline constexpr const char* kStopReadOrWriteQuestion =
    "A read or write is running. Stop it and leave the window?\n"
    "The controller's flash may be left incomplete.";

class ModeWindow : public FormWindow {
    Q_OBJECT
  public:
    ModeWindow(const char* layoutName, const QString& caption, ModeSession& session,
               Qt::WindowFlags flags = Qt::Window);

    // Asked when the window is closed from the window manager while an
    // operation runs; true stops the operation. Default: a Yes/No question.
    std::function<bool()> confirmStop;

  protected:
    // A close from the window manager ends as `exit`, the mode's EXIT
    // handler. During an operation the user is asked `question` first (No
    // the default); on Yes the operation is stopped, else the window stays.
    void closeAsExit(std::function<void()> exit, const char* question = kStopReadOrWriteQuestion);

    // A read caught a third of the way: `read` starts it, its save dialog
    // answered with a file in the pictures' folder (removed afterwards);
    // the picture `file` is taken once `gauge` has passed a third, then the
    // read runs to its end. A read over before then leaves no picture.
    bool saveReadScene(SceneContext& scenes, const std::function<void()>& read,
                       const QProgressBar& gauge, const char* file);

  private:
    void closeRequested(const std::function<void()>& exit);

    ModeSession& modeSession_;
};

}  // namespace zjig::gui
