#include "gui/gui_app.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPixmap>

#include "app/mode_registry.h"
#include "base/modes.h"
#include "base/names.h"
#include "frontend/options.h"
#include "gui/event_wait.h"
#include "gui/mode_windows.h"
#include "gui/placeholder_window.h"

namespace zjig::gui {

namespace {
// The two windows that are not modes come at fixed places among them: the
// connection test window after this mode's window, the update window after that one's.
constexpr const char* kTestingAfter = names::kKeyboardWindow;
constexpr const char* kUpdateAfter = names::kNpceWindow;
}  // namespace

void GuiApp::addWindow(std::unique_ptr<FormWindow> window) {
    port_.addWindow(window.get());
    windows_.push_back(std::move(window));
}

void GuiApp::addMode(const ModeInfo& info) {
    ModeContext context;
    context.env = config_.env;
    context.ui = &port_;
    context.windowThread = &executor_;
    context.firmwareDir = config_.firmwareDir;
    context.dataDir = config_.dataDir;
    Mode mode{&info, makeModeSession(info, context), nullptr};
    auto window = makeModeWindow(info, mode.session.get());
    mode.window = window.get();
    addWindow(std::move(window));
    if (mode.session) {
        mode.session->FormCreate();
    } else if (auto* placeholder = dynamic_cast<PlaceholderWindow*>(mode.window)) {
        // A mode without its controls yet: EXIT goes back to the main window.
        const std::string name = info.window;
        auto leave = [this, name] {
            port_.showWindow(names::kMainWindow);
            port_.hideWindow(name);
        };
        QObject::connect(placeholder->exitButton(), &QPushButton::clicked, placeholder, leave);
        placeholder->onCloseRequest = leave;
    }
    modes_.push_back(std::move(mode));
}

GuiApp::GuiApp(GuiConfig config) : config_(std::move(config)) {
    onQuit = [] { QCoreApplication::quit(); };
    confirmStopUpdate = [this] {
        return QMessageBox::question(
                   main_, main_->windowTitle(),
                   QStringLiteral("The JIG firmware update is running. Stop it and leave?\n"
                                  "The JIG may be left without a working firmware."),
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    };
    shell_ = std::make_unique<Shell>(
        ShellConfig{config_.env, config_.firmwareDir, config_.runLogPath}, port_, executor_);
    connectionTest_ = std::make_unique<ConnectionTest>(config_.env, port_);

    // The windows in the order the program has always created them.
    auto mainWindow = std::make_unique<MainWindow>();
    main_ = mainWindow.get();
    // The caption keeps its text; the version shows when the pointer rests on the window.
    main_->setToolTip(QStringLiteral("Zentravox JIG ") +
                      QString::fromLatin1(frontend::programVersion()));
    addWindow(std::move(mainWindow));
    for (const ModeInfo& info : kModes) {
        addMode(info);
        if (std::string_view(info.window) == kTestingAfter) {
            auto testing = std::make_unique<TestingWindow>();
            testing_ = testing.get();
            addWindow(std::move(testing));
        }
        if (std::string_view(info.window) == kUpdateAfter) {
            auto update = std::make_unique<UpdateWindow>();
            update_ = update.get();
            addWindow(std::move(update));
        }
    }

    // Main window.
    QObject::connect(main_->startButton(), &QPushButton::clicked, main_,
                     [this] { startClicked(); });
    QObject::connect(main_->exitButton(), &QPushButton::clicked, main_, [this] { exitClicked(); });
    QObject::connect(main_->testConnectionButton(), &QPushButton::clicked, main_,
                     [this] { port_.showWindow(names::kTestingWindow); });
    // The main window has no caption buttons; a close from elsewhere is Exit.
    main_->onCloseRequest = [this] { exitClicked(); };

    // Update window: EXIT, and a close only when EXIT could be pressed.
    QObject::connect(update_->exitButton(), &QPushButton::clicked, update_,
                     [this] { shell_->SpeedButton_UPD_EXITClick(); });
    update_->onCloseRequest = [this] {
        if (update_->exitButton()->isEnabled()) shell_->SpeedButton_UPD_EXITClick();
    };

    // Connection test window.
    QObject::connect(testing_->testButton(), &QPushButton::clicked, testing_,
                     [this] { testConnectClicked(); });
}

GuiApp::~GuiApp() { shutdown(); }

void GuiApp::showMain() { port_.showWindow(names::kMainWindow); }

void GuiApp::shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    // Closing the port first releases any worker waiting for a dialog, so
    // the joins below cannot wait for a window thread that waits for them.
    port_.close();
    for (auto& mode : modes_)
        if (mode.session) mode.session->shutdown();
    shell_->updateCancel() = true;
    shell_->joinUpdate();
    for (auto& w : windows_) w->hide();
}

void GuiApp::quit() {
    shutdown();
    if (onQuit) onQuit();
}

void GuiApp::exitClicked() {
    // An update cut short can leave the JIG without a firmware: ask first.
    if (shell_->updateRunning() && (!confirmStopUpdate || !confirmStopUpdate())) return;
    quit();
}

QWidget* GuiApp::window(const std::string& name) const {
    const QString wanted = QString::fromStdString(name);
    for (const auto& w : windows_)
        if (w->objectName() == wanted) return w.get();
    return nullptr;
}

std::vector<QWidget*> GuiApp::windows() const {
    std::vector<QWidget*> out;
    for (const auto& w : windows_) out.push_back(w.get());
    return out;
}

ModeSession* GuiApp::session(const std::string& window) const {
    for (const auto& mode : modes_)
        if (window == mode.info->window) return mode.session.get();
    return nullptr;
}

void GuiApp::startClicked() {
    shell_->MAIN_CONNECTClick(main_->selector()->currentText().toStdString());
}

void GuiApp::testConnectClicked() {
    // The test visits each device in turn, a second or so each; the window
    // stays as it is meanwhile, as it did on the fixture's own PC.
    testing_->testButton()->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    connectionTest_->BitBtn1Click();
    QApplication::restoreOverrideCursor();
    testing_->testButton()->setEnabled(true);
}

bool GuiApp::saveScreenshots(const QString& dir, QString& error) {
    if (!QDir().mkpath(dir)) {
        error = QStringLiteral("cannot create the folder ") + dir;
        return false;
    }
    auto save = [&](QWidget* w, const char* file) {
        const bool wasVisible = w->isVisible();
        w->show();
        QCoreApplication::processEvents();
        const QPixmap picture = w->grab();
        if (!wasVisible) w->hide();
        const QString path = QDir(dir).filePath(QString::fromLatin1(file));
        if (picture.isNull() || !picture.save(path, "PNG")) {
            error = QStringLiteral("cannot save ") + path;
            return false;
        }
        return true;
    };

    showMain();
    if (!save(main_, "main_window.png")) return false;

    // The test window after one "Test connect" on the devices given.
    testing_->show();
    testConnectClicked();
    if (!save(testing_, "testing_window.png")) return false;
    testing_->hide();

    // "Start" for the ENE mode, as a technician would press it; dialogs are
    // printed instead of waiting for someone to close them.
    bool dialogShown = false;
    port_.setMessageBoxHandler([&dialogShown](MessageKind, const std::string& text) {
        dialogShown = true;
        qWarning("%s", text.c_str());
    });
    QWidget* eneWindow = window(names::kKb901xWindow);
    main_->selector()->setCurrentText(
        QString::fromUtf8(kModeEne.data(), static_cast<qsizetype>(kModeEne.size())));
    startClicked();
    // An update that runs long enough (a second-generation upload over a
    // real-speed link) is caught half-way, memo and gauge on the move.
    bool uploadShot = false;
    processEventsUntil(
        [&] {
            const ColorGauge* g = update_->gauge();
            if (!uploadShot && update_->isVisible() && g->maximum() > 0 &&
                g->value() > g->maximum() / 3 && g->value() < g->maximum()) {
                uploadShot = true;
                if (!save(update_, "update_window_uploading.png")) return true;
            }
            if (eneWindow->isVisible()) return true;
            // Otherwise wait for the start to have ended: no update running,
            // no mode window about to open, and its outcome on screen.
            const bool ended = !shell_->updateRunning() && !shell_->timerRun().enabled();
            return ended && (dialogShown || update_->exitButton()->isEnabled());
        },
        std::chrono::seconds(60));
    if (!error.isEmpty()) return false;
    if (!save(eneWindow, "ene_window.png") || !save(update_, "update_window.png")) return false;

    // Every mode window at rest, then at work as it shows itself.
    const bool jigReady = eneWindow->isVisible();
    eneWindow->hide();
    SceneContext scenes{port_, dir, save};
    for (const Mode& mode : modes_) {
        const std::string file = std::string(mode.info->window) + ".png";
        if (mode.window != eneWindow && !save(mode.window, file.c_str())) return false;
        if (!jigReady || !mode.session) continue;
        mode.window->show();
        const bool saved = mode.window->saveScenes(scenes);
        mode.window->hide();
        if (!saved) return false;
    }
    port_.setFileDialogHandler(nullptr);
    port_.setMessageBoxHandler(nullptr);
    return true;
}

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showFatalError(QString::fromUtf8(e.what()));
    } catch (...) {
        showFatalError(QStringLiteral("Unknown error."));
    }
    QCoreApplication::exit(1);
    return false;
}

void setUpApplication() {
    QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    QApplication::setStyle(QStringLiteral("Fusion"));
    // Hiding the main window for a mode window must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
}

namespace {
std::function<void(const QString&)>& fatalErrorHandler() {
    static std::function<void(const QString&)> handler;
    return handler;
}
}  // namespace

void setFatalErrorHandler(std::function<void(const QString&)> handler) {
    fatalErrorHandler() = std::move(handler);
}

void showFatalError(const QString& what) {
    if (fatalErrorHandler()) return fatalErrorHandler()(what);
    static bool showing = false;
    if (showing) return;
    showing = true;
    QMessageBox::critical(nullptr, QString::fromLatin1(kApplicationTitle), what);
    showing = false;
}

}  // namespace zjig::gui
