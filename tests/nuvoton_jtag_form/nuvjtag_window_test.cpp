// The Nuvoton JTAG window's wiring in the desktop program: its controls,
// captions and first state, and presses that reach the session through the
// steps of the memo, on the simulated JIG.
#include "nuvoton_jtag_form/nuvjtag_window.h"

#include <gtest/gtest.h>

#include <QFile>
#include <filesystem>

#include "base/modes.h"
#include "gui/event_wait.h"
#include "gui/gui_app_fixture.h"
#include "support/temp_dir.h"

namespace zjig::gui {
namespace {

using namespace std::chrono_literals;

class NuvWindowTest : public test::GuiAppFixture {
  protected:
    void SetUp() override {
        GuiAppFixture::SetUp();
        firmwareDir = ZJIG_SIM_FIRMWARE_DIR;
        startApp({"jig3"});
    }

    NuvotonJtagWindow& window() {
        return *static_cast<NuvotonJtagWindow*>(app->window(names::kNuvotonJtagWindow));
    }
    bool waitFor(const std::function<bool()>& done) { return processEventsUntil(done, 30s); }
};

TEST_F(NuvWindowTest, ControlsCaptionsAndFirstState) {
    NuvotonJtagWindow& w = window();
    EXPECT_EQ(w.windowTitle(), "NUVOTON JTAG 11_03_2017");
    EXPECT_EQ(w.size(), QSize(723, 737));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    const Qt::WindowFlags flags = w.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));

    struct Control {
        QWidget* widget;
        const char* name;
        QString caption;
        bool enabled;
    } controls[] = {
        {w.cableBox(), "CheckBox1",
         "Pin 1 connected  to pin 1 on the MB keyboard connector (30 pin FFC)", true},
        {w.settingsButton(), "BitBtn_SETTINGS", "Send settings", true},
        {w.connectButton(), "BitBtn_CONNECT", "Check connect to Nuvoton", false},
        {w.readButton(), "BitBtn_NUV_JTAG_RD", "READ", false},
        {w.writeButton(), "BitBtn_NUV_JTAG_WR", "WRITE", false},
        {w.exitButton(), "BitBtn_EXIT_NUV", "EXIT", true},
        {w.scriptButton(), "BitBtnFILE_OPEN", "###", true},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.widget->objectName(), c.name);
        if (auto* b = qobject_cast<QAbstractButton*>(c.widget)) {
            EXPECT_EQ(b->text(), c.caption);
        }
        EXPECT_EQ(c.widget->isEnabled(), c.enabled);
    }
    EXPECT_TRUE(w.cableBox()->isChecked());
    EXPECT_TRUE(w.settingsButton()->isDefault());
    EXPECT_EQ(w.lineCounter()->objectName(), "StaticText_in_counter");
    EXPECT_TRUE(w.lineCounter()->isHidden());
    EXPECT_EQ(w.gauge()->objectName(), "CGauge_progrss");
    EXPECT_EQ(w.gauge()->maximum(), 512);
    app->port().flush();
    const QStringList lines = w.memo()->lines();
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines[0], " Your steps:");
    EXPECT_EQ(lines[4], QString::fromUtf8("4\u00A0Click \"Send settings\"."));
}

TEST_F(NuvWindowTest, TheStepsOfTheMemoThroughTheWindow) {
    app->mainWindow().selector()->setCurrentText(QString::fromLatin1("NUVOTON jtag"));
    app->mainWindow().startButton()->click();
    NuvotonJtagWindow& w = window();
    ASSERT_TRUE(waitFor([&] { return w.isVisible(); }));
    ModeSession& session = *app->session(names::kNuvotonJtagWindow);

    w.scriptButton()->click();  // cancelled: the default script stays
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].dialog, "OpenDialogTXT");
    ASSERT_TRUE(waitFor([&] { return w.lineCounter()->isVisible(); }));

    w.settingsButton()->click();
    ASSERT_TRUE(waitFor([&] { return w.connectButton()->isEnabled(); }));
    EXPECT_FALSE(w.settingsButton()->isEnabled());
    w.connectButton()->click();
    ASSERT_TRUE(waitFor([&] { return w.readButton()->isEnabled() && !session.busy(); }));
    EXPECT_TRUE(w.memo()->lines().contains("I`m ready to READ or WRITE."));

    const std::string dump = (dir / "dump.bin").string();
    answers.push_back(dump);
    w.readButton()->click();
    ASSERT_TRUE(waitFor([&] { return !session.busy(); }));
    EXPECT_EQ(std::filesystem::file_size(dump), 131072u);
    EXPECT_EQ(w.gauge()->value(), 512);
    EXPECT_EQ(messages.back(), "warning: Please disconnect the power supply from the motherboard!");
    ASSERT_TRUE(waitFor([&] { return w.settingsButton()->isEnabled(); }));
    EXPECT_FALSE(w.readButton()->isEnabled());

    w.exitButton()->click();
    ASSERT_TRUE(waitFor([&] { return app->mainWindow().isVisible() && !w.isVisible(); }));
    EXPECT_TRUE(w.memo()->lines().isEmpty());
    EXPECT_TRUE(app->port().unknownNames().empty());
}

// The JIG falls silent after page 3 of a read; the user's time-out is far away.
class NuvStalledReadTest : public NuvWindowTest {
  protected:
    void SetUp() override {
        GuiAppFixture::SetUp();
        firmwareDir = ZJIG_SIM_FIRMWARE_DIR;
        startApp({"jig3,nuv-silent-page=3"}, 10min);
    }
};

TEST_F(NuvStalledReadTest, ClosingDuringAReadAsksThenStopsItAndAnswersItsDialogs) {
    ASSERT_TRUE(openMode(kModeNuvotonJtag));
    NuvotonJtagWindow& w = window();
    ModeSession& session = *app->session(names::kNuvotonJtagWindow);
    w.settingsButton()->click();
    ASSERT_TRUE(waitFor([&] { return w.connectButton()->isEnabled(); }));
    w.connectButton()->click();
    ASSERT_TRUE(waitFor([&] { return w.readButton()->isEnabled() && !session.busy(); }));
    // An earlier dump the stopped read must leave alone.
    const std::filesystem::path dump = dir / "dump.bin";
    zjig::test::writeFile(dump.string(), "earlier dump");
    answers.push_back(dump.string());
    messages.clear();
    w.readButton()->click();
    ASSERT_TRUE(waitFor([&] { return w.gauge()->value() == 3; }));

    // The stopped read ends by saying where its pages are, a dialog its
    // worker waits on: the close answers it rather than wait for the worker.
    closeMidOperation(w, session);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0].rfind("warning: The read failed; ", 0), 0u) << messages[0];
    EXPECT_EQ(zjig::test::readFile(dump.string()), "earlier dump");
    EXPECT_EQ(std::filesystem::file_size(dump.string() + ".part"), 3u * 256);
}

}  // namespace
}  // namespace zjig::gui
