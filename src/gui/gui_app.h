// The desktop program put together: the window thread, the window port, the
// windows in their start-up order, the shell and the mode sessions (from the
// mode registry), and the wiring of the windows' events to their handlers.
#pragma once

#include <QApplication>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/shell.h"
#include "base/modes.h"
#include "base/run_log.h"
#include "gui/form_window.h"
#include "gui/main_window.h"
#include "gui/qt_executor.h"
#include "gui/qt_port.h"
#include "gui/testing_window.h"
#include "gui/update_window.h"
#include "jiglink/connection_test.h"
#include "session/mode_session.h"

namespace zjig::gui {

inline constexpr const char* kApplicationTitle = "Zentravox_JIG";

struct GuiConfig {
    LinkEnv env;
    std::string firmwareDir;  // ends with a separator
    std::string runLogPath = kRunLogName;
    // Where the motherboard databases are: empty for the current directory.
    std::string dataDir;
};

class GuiApp {
  public:
    // Creates every window (hidden) on the GUI thread; a QApplication must exist.
    explicit GuiApp(GuiConfig config);
    ~GuiApp();
    GuiApp(const GuiApp&) = delete;
    GuiApp& operator=(const GuiApp&) = delete;

    // Shows the main window, centred.
    void showMain();
    // Ends the program's work: stops the sessions' workers and the update
    // thread and joins them. Safe to call more than once.
    void shutdown();
    // "Exit": shutdown, then onQuit (default: leave the event loop).
    void quit();
    std::function<void()> onQuit;
    // Asked before Exit (or a close of the main window) ends a running JIG
    // firmware update; true ends it. Default: a Yes/No question.
    std::function<bool()> confirmStopUpdate;

    QtPort& port() { return port_; }
    QtExecutor& executor() { return executor_; }
    Shell& shell() { return *shell_; }
    MainWindow& mainWindow() { return *main_; }
    UpdateWindow& updateWindow() { return *update_; }
    TestingWindow& testingWindow() { return *testing_; }
    // Every window by layout name, in creation order.
    QWidget* window(const std::string& name) const;
    std::vector<QWidget*> windows() const;
    // The session of a built mode by its window's layout name, else nullptr.
    ModeSession* session(const std::string& window) const;

    // Saves pictures of the windows as PNG files in `dir`: the main window at
    // start, the connection test window after one test, the ENE and update
    // windows after "Start" with the ENE mode selected, every mode window at
    // rest, and the scenes each mode window adds. Returns false with a reason.
    bool saveScreenshots(const QString& dir, QString& error);

  private:
    struct Mode {
        const ModeInfo* info;
        std::unique_ptr<ModeSession> session;  // null for a placeholder
        FormWindow* window;
    };
    void startClicked();
    void exitClicked();
    void testConnectClicked();
    void addWindow(std::unique_ptr<FormWindow> window);
    void addMode(const ModeInfo& info);

    GuiConfig config_;
    QtExecutor executor_;
    QtPort port_;
    std::vector<std::unique_ptr<QWidget>> windows_;
    MainWindow* main_ = nullptr;
    UpdateWindow* update_ = nullptr;
    TestingWindow* testing_ = nullptr;
    std::unique_ptr<Shell> shell_;
    std::unique_ptr<ConnectionTest> connectionTest_;
    std::vector<Mode> modes_;
    bool shutDown_ = false;
};

// A QApplication that shows an exception escaping an event handler in an
// error box and then ends the program, instead of letting it tear through Qt.
class GuardedApplication : public QApplication {
  public:
    GuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Application-wide settings of the program: its title, the widget style
// whose colours the windows rely on, and that only Exit ends the program.
void setUpApplication();

// The error box for an exception that ended the program.
void showFatalError(const QString& what);
// Replaces that box (tests); an empty handler brings the box back.
void setFatalErrorHandler(std::function<void(const QString&)> handler);

}  // namespace zjig::gui
