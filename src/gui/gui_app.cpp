#include "gui/gui_app.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPixmap>

#include "app/modes.h"
#include "app/names.h"
#include "gui/event_wait.h"

namespace zjig::gui {

template <typename W, typename... Args>
W* GuiApp::addWindow(Args&&... args) {
    auto window = std::make_unique<W>(std::forward<Args>(args)...);
    W* raw = window.get();
    port_.addWindow(raw);
    windows_.push_back(std::move(window));
    return raw;
}

GuiApp::GuiApp(GuiConfig config) : config_(std::move(config)) {
    onQuit = [] { QCoreApplication::quit(); };
    shell_ = std::make_unique<Shell>(
        ShellConfig{config_.env, config_.firmwareDir, config_.runLogPath}, port_, executor_);
    connectionTest_ = std::make_unique<ConnectionTest>(config_.env, port_);
    ene_ = std::make_unique<Kb901xSession>(config_.env, port_, config_.eneDatabasePath);

    // The windows in the order the program has always created them.
    main_ = addWindow<MainWindow>();
    addWindow<PlaceholderWindow>(*placeholderMode(names::kEdidWindow));
    eneWindow_ = addWindow<Kb901xWindow>(*ene_);
    ene_->FormCreate();
    addWindow<PlaceholderWindow>(*placeholderMode(names::kKeyboardWindow));
    testing_ = addWindow<TestingWindow>();
    addWindow<PlaceholderWindow>(*placeholderMode(names::kMecWindow));
    addWindow<PlaceholderWindow>(*placeholderMode(names::kIteWindow));
    addWindow<PlaceholderWindow>(*placeholderMode(names::kNpceWindow));
    update_ = addWindow<UpdateWindow>();
    addWindow<PlaceholderWindow>(*placeholderMode(names::kNuvotonJtagWindow));

    // Main window.
    QObject::connect(main_->startButton(), &QPushButton::clicked, main_,
                     [this] { startClicked(); });
    QObject::connect(main_->exitButton(), &QPushButton::clicked, main_, [this] { quit(); });
    QObject::connect(main_->testConnectionButton(), &QPushButton::clicked, main_,
                     [this] { port_.showWindow(names::kTestingWindow); });
    // The main window has no caption buttons; a close from elsewhere is Exit.
    main_->onCloseRequest = [this] { quit(); };

    // Update window: EXIT, and a close only when EXIT could be pressed.
    QObject::connect(update_->exitButton(), &QPushButton::clicked, update_,
                     [this] { shell_->SpeedButton_UPD_EXITClick(); });
    update_->onCloseRequest = [this] {
        if (update_->exitButton()->isEnabled()) shell_->SpeedButton_UPD_EXITClick();
    };

    // Connection test window.
    QObject::connect(testing_->testButton(), &QPushButton::clicked, testing_,
                     [this] { testConnectClicked(); });

    // The modes without their controls yet: EXIT goes back to the main window.
    for (const auto& mode : kPlaceholderModes) {
        auto* w = static_cast<PlaceholderWindow*>(window(mode.window));
        const std::string name = mode.window;
        auto leave = [this, name] {
            port_.showWindow(names::kMainWindow);
            port_.hideWindow(name);
        };
        QObject::connect(w->exitButton(), &QPushButton::clicked, w, leave);
        w->onCloseRequest = leave;
    }
}

GuiApp::~GuiApp() { shutdown(); }

void GuiApp::showMain() { port_.showWindow(names::kMainWindow); }

void GuiApp::shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    // Closing the port first releases any worker waiting for a dialog, so
    // the joins below cannot wait for a window thread that waits for them.
    port_.close();
    ene_->shutdown();
    shell_->updateCancel() = true;
    shell_->joinUpdate();
    for (auto& w : windows_) w->hide();
}

void GuiApp::quit() {
    shutdown();
    if (onQuit) onQuit();
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
            if (eneWindow_->isVisible()) return true;
            // Otherwise wait for the start to have ended: no update running,
            // no mode window about to open, and its outcome on screen.
            const bool ended = !shell_->updateRunning() && !shell_->timerRun().enabled();
            return ended && (dialogShown || update_->exitButton()->isEnabled());
        },
        std::chrono::seconds(60));
    if (!error.isEmpty()) return false;
    if (!save(eneWindow_, "ene_window.png") || !save(update_, "update_window.png")) return false;

    // A read in the ENE window, caught half-way, into a file removed afterwards.
    if (eneWindow_->isVisible()) {
        const std::string dump = QDir(dir).filePath(QStringLiteral("reading.bin")).toStdString();
        port_.setFileDialogHandler([dump](const FileDialogSpec&) { return std::optional(dump); });
        ene_->KB901X_READClick();
        const ColorGauge* g = eneWindow_->gauge();
        processEventsUntil([&] { return !ene_->busy() || g->value() > g->maximum() / 3; },
                           std::chrono::seconds(60));
        const bool saved = !ene_->busy() || save(eneWindow_, "ene_window_reading.png");
        processEventsUntil([&] { return !ene_->busy(); }, std::chrono::seconds(60));
        port_.setFileDialogHandler(nullptr);
        QFile::remove(QString::fromStdString(dump));
        if (!saved) return false;
    }
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
