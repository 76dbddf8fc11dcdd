// The desktop program's wiring: its windows, their controls and captions,
// and presses that reach the shell and the ENE session, on the simulated JIG.
#include "gui/gui_app.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QLabel>
#include <QRegularExpression>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/modes.h"
#include "base/names.h"
#include "frontend/options.h"
#include "gui/event_wait.h"
#include "gui/gui_app_fixture.h"
#include "gui/placeholder_window.h"
#include "kb901x_form/kb901x_controls.h"
#include "kb901x_form/kb901x_window.h"

namespace zjig::gui {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class GuiAppTest : public test::GuiAppFixture {
  protected:
    void writeDatabase(const std::string& content) {
        std::ofstream(dir / "MB connection ENE.txt", std::ios::binary) << content;
    }

    QWidget* window(const char* name) { return app->window(name); }
    Kb901xWindow& eneWindow() {
        return *static_cast<Kb901xWindow*>(app->window(names::kKb901xWindow));
    }
    ModeSession& eneSession() { return *app->session(names::kKb901xWindow); }
};

TEST_F(GuiAppTest, WindowsAreCreatedInStartUpOrderAllHiddenButTheMainWindow) {
    startApp({"jig3"});
    EXPECT_EQ(QCoreApplication::applicationName(), "Zentravox_JIG");
    const std::vector<std::pair<const char*, const char*>> expected = {
        {names::kMainWindow, "Zentravox_JIG  VER 4.A   24/03/2017   for PCB2 and PCB3"},
        {names::kEdidWindow, "EEPROM LCD read/write 09/01/2017"},
        {names::kKb901xWindow, "KB9010/9012/9016/9022  03/03/2017"},
        {names::kKeyboardWindow, "Keyboard_testing 02_03_2017"},
        {names::kTestingWindow, "Test vcom port and device"},
        {names::kMecWindow, "Read and Write MEC   19_03_17"},
        {names::kIteWindow, "ITE 14_03_2017"},
        {names::kNpceWindow, "NPCE288N/388N 02_02_2017"},
        {names::kUpdateWindow, "Update FW for PCB2 and PCB3"},
        {names::kNuvotonJtagWindow, "NUVOTON JTAG 11_03_2017"},
    };
    const auto windows = app->windows();
    ASSERT_EQ(windows.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].first);
        EXPECT_EQ(windows[i]->objectName(), expected[i].first);
        EXPECT_EQ(windows[i]->windowTitle(), QString::fromUtf8(expected[i].second));
        EXPECT_EQ(windows[i]->isVisible(), i == 0);
    }
}

TEST_F(GuiAppTest, MainWindowHasTheModeListStartAndExit) {
    startApp({"jig3"});
    MainWindow& main = app->mainWindow();
    QComboBox* selector = main.selector();
    EXPECT_EQ(selector->objectName(), names::kMainSelector);
    // The version rests in the window's tooltip; the caption keeps its text.
    EXPECT_TRUE(main.toolTip().endsWith(QString::fromLatin1(frontend::programVersion())));
    ASSERT_EQ(selector->count(), static_cast<int>(kSelectorItems.size()));
    for (size_t i = 0; i < kSelectorItems.size(); ++i)
        EXPECT_EQ(selector->itemText(static_cast<int>(i)), text(kSelectorItems[i]));
    EXPECT_EQ(selector->currentIndex(), 0);
    EXPECT_EQ(background(selector), QColor(255, 255, 0));
    EXPECT_TRUE(selector->font().bold());
    EXPECT_GT(QFontInfo(selector->font()).pointSize(), QFontInfo(QApplication::font()).pointSize());

    EXPECT_EQ(main.startButton()->objectName(), names::kMainConnect);
    EXPECT_EQ(main.startButton()->text(), "Start");
    EXPECT_TRUE(main.startButton()->font().bold());
    EXPECT_EQ(main.startButton()->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
    EXPECT_EQ(main.exitButton()->text(), "Exit");

    // Fixed size, a caption but no caption buttons.
    EXPECT_EQ(main.minimumSize(), main.maximumSize());
    const Qt::WindowFlags flags = main.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
}

TEST_F(GuiAppTest, EveryModeOpensThroughStartAndReturnsWithExit) {
    startApp({"jig3"});
    for (size_t i = 1; i < kSelectorItems.size(); ++i) {
        const std::string_view mode = kSelectorItems[i];
        SCOPED_TRACE(std::string(mode));
        const char* name = modeWindow(mode);
        ASSERT_TRUE(openMode(mode));
        EXPECT_NE(readFile(dir / "Start_log.txt").find("User select -> " + std::string(mode)),
                  std::string::npos);

        auto* w = static_cast<FormWindow*>(window(name));
        const bool placeholder = !findMode(name)->built;
        QPushButton* exit = w->exitButton();
        ASSERT_NE(exit, nullptr);
        EXPECT_EQ(exit->text(), mode == kModeMec ? "STOP and EXIT" : "EXIT");
        if (placeholder) {
            EXPECT_EQ(exit->objectName(), findMode(name)->placeholderExit);
            auto* line = w->findChild<QLabel*>();
            ASSERT_NE(line, nullptr);
            EXPECT_EQ(line->text(), kNotAvailableText);
        }
        exit->click();
        ASSERT_TRUE(waitFor([&] { return app->mainWindow().isVisible() && !w->isVisible(); }));
    }
    EXPECT_TRUE(messages.empty());
    // Every control the shell and the ENE session spoke to exists.
    EXPECT_TRUE(app->port().unknownNames().empty());
}

TEST_F(GuiAppTest, ClosingAModeWindowIsItsExit) {
    startApp({"jig3"});
    for (std::string_view mode : {kModeEne, kModeMec}) {
        SCOPED_TRACE(std::string(mode));
        ASSERT_TRUE(openMode(mode));
        QWidget* w = window(modeWindow(mode));
        w->close();
        ASSERT_TRUE(waitFor([&] { return app->mainWindow().isVisible() && !w->isVisible(); }));
    }
}

TEST_F(GuiAppTest, StartWithThePromptSelectedDoesNothing) {
    startApp({"jig3"});
    app->mainWindow().startButton()->click();
    EXPECT_FALSE(fs::exists(dir / "Start_log.txt"));
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(app->mainWindow().isVisible());
}

TEST_F(GuiAppTest, StartWithoutAJigShowsTheErrorAndKeepsTheMainWindow) {
    startApp({});
    app->mainWindow().selector()->setCurrentText(text(kModeEdid));
    app->mainWindow().startButton()->click();
    EXPECT_EQ(messages, std::vector<std::string>{"error: JIG not connected to the USB port!"});
    EXPECT_TRUE(app->mainWindow().isVisible());
    EXPECT_NE(readFile(dir / "Start_log.txt").find("Error numDevs = 0"), std::string::npos);
}

TEST_F(GuiAppTest, UpdateWindowShowsAFailedUpdateAndItsExitHidesIt) {
    // A second-generation JIG with the common firmware; the MEC mode needs
    // another one, and its file is not in the (empty) firmware folder.
    startApp({"jig2"});
    UpdateWindow& update = app->updateWindow();
    EXPECT_TRUE(update.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(update.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(update.exitButton()->isEnabled());
    EXPECT_EQ(update.exitButton()->text(), "EXIT");
    EXPECT_EQ(update.gauge()->barColor(), QColor(0, 0, 255));
    EXPECT_TRUE(update.memo()->isReadOnly());

    app->mainWindow().selector()->setCurrentText(text(kModeMec));
    app->mainWindow().startButton()->click();
    ASSERT_TRUE(
        waitFor([&] { return update.exitButton()->isEnabled() && !app->shell().updateRunning(); }));
    EXPECT_TRUE(update.isVisible());
    EXPECT_TRUE(update.memo()->lines().contains("User select -> MEC jtag"));
    EXPECT_FALSE(window(names::kMecWindow)->isVisible());

    // While EXIT is enabled a close from the window manager is EXIT.
    update.close();
    ASSERT_TRUE(waitFor([&] { return !update.isVisible(); }));
    EXPECT_TRUE(update.memo()->lines().isEmpty());
    EXPECT_FALSE(update.exitButton()->isEnabled());
    EXPECT_TRUE(app->mainWindow().isVisible());
}

// Exit or a close of the main window while the JIG's firmware is being
// updated asks first: "no" lets the update go on, "yes" stops it and quits.
TEST_F(GuiAppTest, LeavingDuringAFirmwareUpdateAsksFirst) {
    fs::copy_file(fs::path(ZJIG_SOURCE_DIR) / "sim-firmware" / "JFW_JIG3.vss",
                  dir / "JFW_JIG3.vss");
    // The technician never presses the reset button: the update waits.
    startApp({"jig3-old,reset=never"});
    int asked = 0;
    bool answer = false;
    app->confirmStopUpdate = [&] {
        ++asked;
        return answer;
    };
    app->mainWindow().selector()->setCurrentText(text(kModeEne));
    app->mainWindow().startButton()->click();
    ASSERT_TRUE(waitFor([&] { return app->shell().updateRunning(); }));

    const std::vector<std::pair<const char*, std::function<void()>>> leaving = {
        {"Exit", [&] { app->mainWindow().exitButton()->click(); }},
        {"close", [&] { app->mainWindow().close(); }},
    };
    for (const auto& [how, leave] : leaving) {
        SCOPED_TRACE(how);
        const int before = asked;
        leave();
        EXPECT_EQ(asked, before + 1);
        EXPECT_EQ(quits, 0);
        EXPECT_TRUE(app->shell().updateRunning()) << "answered no: the update goes on";
    }
    answer = true;
    app->mainWindow().close();
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(app->shell().updateRunning()) << "answered yes: the update was stopped";
}

TEST_F(GuiAppTest, ConnectionTestWindowOpensFromTheMainWindowAndTests) {
    startApp({"jig3"});
    TestingWindow& testing = app->testingWindow();
    app->mainWindow().testConnectionButton()->click();
    ASSERT_TRUE(waitFor([&] { return testing.isVisible(); }));
    EXPECT_EQ(testing.testButton()->objectName(), "BitBtn1");
    EXPECT_EQ(testing.testButton()->text(), "Test connect");
    EXPECT_TRUE(testing.testButton()->font().bold());
    EXPECT_EQ(testing.testButton()->palette().color(QPalette::ButtonText), QColor(0, 0, 128));
    EXPECT_EQ(background(testing.memo()), QColor(192, 192, 192));
    EXPECT_TRUE(QFontInfo(testing.memo()->font()).fixedPitch());

    testing.testButton()->click();
    testing.testButton()->click();
    const QStringList lines = testing.memo()->lines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), "");
    // The identity ends with the JIG's line end, shown as blanks.
    EXPECT_EQ(lines.filter(QRegularExpression("^PROG version FW -> M328_EPM240_v16 *$")).size(), 2)
        << lines.join('\n').toStdString();
    EXPECT_TRUE(testing.testButton()->isEnabled());
}

TEST_F(GuiAppTest, EneWindowControlsWithoutADatabase) {
    startApp({"jig3"});
    Kb901xWindow& ene = eneWindow();
    EXPECT_EQ(ene.helpGroup()->title(), " Help for FFC cable connection  ");
    for (QWidget* inGroup : std::initializer_list<QWidget*>{
             ene.motherboards(), ene.cables(), ene.pin1Box(), ene.applyButton(), ene.resultLabel()})
        EXPECT_TRUE(ene.helpGroup()->isAncestorOf(inGroup)) << inGroup->objectName().toStdString();
    EXPECT_EQ(ene.motherboards()->placeholderText(), "Select MB");
    EXPECT_EQ(ene.motherboards()->maxVisibleItems(), 20);
    EXPECT_EQ(ene.cables()->placeholderText(), "Select FFC cable you used");
    QStringList cables;
    for (int i = 0; i < ene.cables()->count(); ++i) cables << ene.cables()->itemText(i);
    EXPECT_EQ(cables, (QStringList{"18 pin", "20 pin", "24 pin", "25 pin", "26 pin", "28 pin",
                                   "30 pin", "32 pin"}));
    EXPECT_EQ(ene.pin1Box()->text(), "Pin 1 connected  to pin 1 on the MB keyboard connector");
    EXPECT_TRUE(ene.pin1Box()->isChecked());
    EXPECT_EQ(ene.applyButton()->text(), "Apply settings if use FFC  (only for JIG 3)");
    EXPECT_TRUE(ene.applyButton()->isEnabled());
    EXPECT_EQ(ene.readButton()->text(), "KB90XX_READ");
    EXPECT_EQ(ene.writeButton()->text(), "KB90XX_WRITE");
    EXPECT_EQ(ene.exitButton()->text(), "EXIT");
    EXPECT_EQ(ene.gauge()->maximum(), 32768);
    EXPECT_TRUE(ene.memo()->isReadOnly());
    EXPECT_EQ(ene.memo()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    // No database: the session says so and the lists stay off, in button colour.
    EXPECT_EQ(ene.resultLabel()->text(), "Create base of connections KB90XX !");
    EXPECT_FALSE(ene.motherboards()->isEnabled());
    EXPECT_FALSE(ene.cables()->isEnabled());
    EXPECT_FALSE(ene.pin1Box()->isEnabled());
    EXPECT_EQ(background(ene.motherboards()), QColor(240, 240, 240));
}

TEST_F(GuiAppTest, EneListChoicesReachTheSession) {
    writeDatabase(
        "LA-1234P KSO3=12 KSI4=5 KSI5=6 KSI6=7 KSI7=8\n"
        "X KSO3=3 KSI4=10 KSI5=11 KSI6=12 KSI7=13\n");
    startApp({"jig3"});
    Kb901xWindow& ene = eneWindow();
    ASSERT_TRUE(ene.motherboards()->isEnabled());
    EXPECT_EQ(background(ene.motherboards()), QColor(255, 255, 0));
    EXPECT_EQ(background(ene.cables()), QColor(255, 255, 0));
    ASSERT_EQ(ene.motherboards()->count(), 2);
    EXPECT_EQ(ene.motherboards()->currentIndex(), -1);
    EXPECT_EQ(ene.resultLabel()->text(), "");

    // What a user's pick does: the list takes its choice, then the event fires.
    auto pick = [](QComboBox* list, int index) {
        list->setCurrentIndex(index);
        emit list->activated(index);
    };
    pick(ene.motherboards(), 0);
    EXPECT_EQ(background(ene.motherboards()), QColor(240, 240, 240));
    pick(ene.cables(), 0);  // 18 pin
    EXPECT_EQ(ene.resultLabel()->text(),
              "Please connect GND and:  A12 B5 C8 D7 E6 (only for JIG 2)");
    pick(ene.motherboards(), 1);
    ene.pin1Box()->click();  // mirrored cable
    EXPECT_FALSE(ene.pin1Box()->isChecked());
    EXPECT_EQ(ene.resultLabel()->text(),
              "Please connect GND and:  A16 B9 C6 D7 E8 (only for JIG 2)");
}

TEST_F(GuiAppTest, EneReadThroughTheWindow) {
    startApp({"jig3"});
    ASSERT_TRUE(openMode(kModeEne));
    Kb901xWindow& ene = eneWindow();
    // The shell's help lines for a third-generation JIG reached the ENE memo.
    EXPECT_TRUE(ene.memo()->lines().contains(
        "1 Connect the motherboard and the programmer via a flexible cable."));

    const fs::path image = dir / "flash.bin";
    answers.push_back(image.string());
    ene.readButton()->click();
    ASSERT_TRUE(waitFor([&] { return eneSession().lastOperationSucceeded().has_value(); }));
    ASSERT_TRUE(waitFor([&] { return !eneSession().busy() && ene.writeButton()->isEnabled(); }));
    EXPECT_EQ(eneSession().lastOperationSucceeded(), std::optional<bool>(true));
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].dialog, "SaveDialog_KB90");
    EXPECT_TRUE(dialogs[0].save);
    EXPECT_TRUE(dialogs[0].confirmOverwrite);
    EXPECT_EQ(fs::file_size(image), 131072u);
    ASSERT_TRUE(
        waitFor([&] { return ene.memo()->lines().contains("Reading completed successfully."); }));
    EXPECT_EQ(ene.gauge()->value(), ene.gauge()->maximum());
    EXPECT_TRUE(ene.exitButton()->isEnabled());
    EXPECT_TRUE(app->port().unknownNames().empty());
}

// A JIG that stops sending after a few blocks keeps a read running until the
// operation is stopped (the user's time-out is far away).
class EneStalledReadTest : public GuiAppTest {
  protected:
    void SetUp() override {
        GuiAppTest::SetUp();
        startApp({"jig3,ene-stall=3"}, std::chrono::minutes(10));
        ASSERT_TRUE(openMode(kModeEne));
        // An earlier dump the stopped read must leave alone.
        std::ofstream(dir / "flash.bin", std::ios::binary) << "earlier dump";
        answers.push_back((dir / "flash.bin").string());
        eneWindow().readButton()->click();
        ASSERT_TRUE(waitFor([&] { return eneSession().busy(); }));
    }
};

TEST_F(EneStalledReadTest, ClosingTheWindowAsksBeforeStoppingTheRead) {
    Kb901xWindow& ene = eneWindow();
    // EXIT refuses while the read runs.
    EXPECT_FALSE(ene.exitButton()->isEnabled());
    // The stopped read ends by saying where its blocks are, a dialog the
    // worker waits on: the close must answer it rather than wait for the
    // worker it waits for.
    closeMidOperation(ene, eneSession());
    EXPECT_EQ(eneSession().lastOperationSucceeded(), std::optional<bool>(false));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("warning: The read failed; "), std::string::npos) << messages[0];
    EXPECT_EQ(readFile(dir / "flash.bin"), "earlier dump");
    EXPECT_EQ(fs::file_size(dir / "flash.bin.part") % 256, 0u);
}

TEST_F(EneStalledReadTest, QuittingStopsAndJoinsTheRead) {
    app->quit();
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(eneSession().busy());
    for (QWidget* w : app->windows()) EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
}

TEST_F(GuiAppTest, ClosingTheMainWindowIsExit) {
    startApp({"jig3"});
    app->mainWindow().close();
    EXPECT_EQ(quits, 1);
    app->mainWindow().exitButton()->click();
    EXPECT_EQ(quits, 2);
}

}  // namespace
}  // namespace zjig::gui
