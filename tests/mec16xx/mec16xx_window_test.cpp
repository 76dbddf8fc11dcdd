// The MEC16xx window's wiring in the desktop program: its controls and
// captions, presses and check boxes that reach the session, and a close in
// the middle of a read, on the simulated JIG.
#include "mec16xx/mec16xx_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <filesystem>
#include <fstream>

#include "base/modes.h"
#include "base/names.h"
#include "gui/event_wait.h"
#include "gui/gui_app.h"
#include "gui/gui_app_fixture.h"
#include "mec16xx/mec16xx_session.h"

namespace zjig::gui {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

class MecWindowTest : public test::GuiAppFixture {
  protected:
    // The program on one simulated JIG, with the MEC window open.
    void start(const std::string& options, std::optional<std::chrono::milliseconds> timeout = {}) {
        startApp({options}, timeout);
        ASSERT_TRUE(openMode(kModeMec));
    }
    Mec16Window& mec() { return *static_cast<Mec16Window*>(app->window(names::kMecWindow)); }
    Mec16Session& session() { return *static_cast<Mec16Session*>(app->session(names::kMecWindow)); }
};

TEST_F(MecWindowTest, ControlsCaptionsAndStandingNotes) {
    start("jig3");
    Mec16Window& w = mec();
    EXPECT_EQ(w.windowTitle(), "Read and Write MEC   19_03_17");
    EXPECT_EQ(w.size(), QSize(905, 590));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    const struct {
        QWidget* widget;
        const char* name;
        const char* caption;
    } controls[] = {
        {w.checkButton(), "BitBtn_MEC16", "Check connect to MEC"},
        {w.bootLockLabel(), "Label_BootLock_MEC", "If Green - no Boot_Lock"},
        {w.fwpLabel(), "Label_MEC16_FWP", "If Green - Erase/Write allowed"},
        {w.readInfoBox(), "CheckBox_MEC16_RD", "Also need read INFO"},
        {w.readButton(), "BitBtn_RD_MEC16", "Read FLASH MEC "},
        {w.eraseInfoBox(), "CheckBox_erase_mec16", "Also need erase INFO"},
        {w.eraseButton(), "BitBtn_MEC16_ERASE", "Erase FLASH MEC16"},
        {w.writeInfoBox(), "CheckBox_write_mec16", "Also need write INFO"},
        {w.writeButton(), "BitBtn_MEC16_WRITE", "Write FLASH MEC16"},
        {w.exitButton(), "EXIT_MEC16", "STOP and EXIT"},
        {w.helpButton(), "BitBtn_MEC16_HELP", "HELP"},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.widget->objectName(), c.name);
        const QString shown = qobject_cast<QAbstractButton*>(c.widget)
                                  ? qobject_cast<QAbstractButton*>(c.widget)->text()
                                  : qobject_cast<QLabel*>(c.widget)->text();
        EXPECT_EQ(shown, text(c.caption));
    }
    for (QCheckBox* box : {w.readInfoBox(), w.eraseInfoBox(), w.writeInfoBox()})
        EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(w.writeInfoBox()->isEnabled());
    EXPECT_EQ(w.bootLockShape()->objectName(), "Shape_BootLock_MEC");
    EXPECT_EQ(w.fwpShape()->objectName(), "Shape_FWP_MEC16");
    EXPECT_EQ(w.bootLockShape()->fill(), QColor(0, 0, 0));
    EXPECT_EQ(w.fwpShape()->fill(), QColor(0, 0, 0));
    EXPECT_EQ(w.memo()->objectName(), "Memo_MEC16");
    EXPECT_TRUE(w.memo()->isReadOnly());
    const QStringList notes = w.memo()->lines();
    ASSERT_EQ(notes.size(), 11);
    EXPECT_EQ(notes[0], text("Не готова запись INFO блока "));
    EXPECT_EQ(notes[4], "");
    EXPECT_EQ(notes[10], text("запись на тройку доделать!"));
    EXPECT_EQ(w.gauge()->objectName(), "CGauge_MEC16");
    EXPECT_EQ(w.gauge()->maximum(), 768);
}

TEST_F(MecWindowTest, PressesAndCheckBoxesReachTheSession) {
    start("jig3,mec-boot-lock");
    Mec16Window& w = mec();
    w.checkButton()->click();
    ASSERT_TRUE(waitFor([&] { return w.bootLockShape()->fill() == QColor(255, 0, 0); }));
    EXPECT_EQ(w.fwpShape()->fill(), QColor(0, 255, 0));
    EXPECT_TRUE(w.memo()->lines().contains("ID from MEC -> 5A16 C307h"));

    w.helpButton()->click();
    ASSERT_TRUE(waitFor([&] { return w.memo()->lines().contains("6-GND"); }));

    // "Also need read INFO" makes the read a main+INFO one.
    w.readInfoBox()->click();
    const fs::path dump = dir / "dump.bin";
    answers.push_back(dump.string());
    w.readButton()->click();
    ASSERT_TRUE(waitFor([&] { return session().lastOperationSucceeded().has_value(); }));
    EXPECT_EQ(session().lastOperationSucceeded(), std::optional<bool>(true));
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].dialog, "SaveDialog_MEC16");
    EXPECT_EQ(dialogs[0].title, "Укажите имя файла для сохранения.");
    EXPECT_EQ(dialogs[0].filter, "BIN файл MEC16 (*.bin)|*.bin");
    EXPECT_TRUE(dialogs[0].confirmOverwrite);
    EXPECT_EQ(fs::file_size(dump), 198656u);
    ASSERT_TRUE(waitFor([&] { return w.gauge()->value() == 192; }));
    EXPECT_EQ(w.gauge()->barColor(), QColor(0, 255, 0));
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(app->port().unknownNames().empty());

    w.exitButton()->click();
    ASSERT_TRUE(waitFor([&] { return app->mainWindow().isVisible() && !w.isVisible(); }));
}

TEST_F(MecWindowTest, ClosingInTheMiddleOfAReadAsksThenStopsIt) {
    // The JIG falls silent after block 3; the user's time-out is far away.
    start("jig3,mec-stall-block=3", 10min);
    Mec16Window& w = mec();
    // The file exists: the stopped read leaves it and says where its blocks are.
    const fs::path dump = dir / "dump.bin";
    std::ofstream(dump) << "an earlier dump";
    answers.push_back(dump.string());
    w.readButton()->click();
    ASSERT_TRUE(waitFor([&] { return w.gauge()->value() == 3; }));

    closeMidOperation(w, session());
    EXPECT_EQ(session().lastOperationSucceeded(), std::optional<bool>(false));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("warning: ", 0), 0u);
    EXPECT_EQ(fs::file_size(dump.string() + ".part"), 3072u);
}

}  // namespace
}  // namespace zjig::gui
