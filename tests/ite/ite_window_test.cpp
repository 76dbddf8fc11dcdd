// The ITE window's wiring in the desktop program on the simulated JIG: its
// controls, captions and colours, both memos and their switch, and presses
// and choices that reach the session.
#include "ite/ite_window.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <filesystem>
#include <fstream>

#include "base/modes.h"
#include "gui/event_wait.h"
#include "gui/gui_app.h"
#include "gui/gui_app_fixture.h"
#include "ite/ite_controls.h"
#include "ite_test_support.h"
#include "support/temp_dir.h"

namespace zjig::gui {
namespace {

using namespace std::chrono_literals;
using ite::IteSignal;
namespace fs = std::filesystem;

class IteWindowTest : public test::GuiAppFixture {
  protected:
    void SetUp() override {
        GuiAppFixture::SetUp();
        std::ofstream(dir / "MB connection ITE.txt", std::ios::binary) << zjig::test::kIteDatabase;
    }
    void start(const std::string& options) { startApp({options}); }
    bool openIte() { return openMode(kModeIte); }
    IteWindow& window() { return *static_cast<IteWindow*>(app->window(names::kIteWindow)); }
    IteSession& session() { return static_cast<IteSession&>(*app->session(names::kIteWindow)); }
    bool memoHas(MemoBox* memo, const char* line) {
        return processEventsUntil([&] { return memo->lines().contains(QString::fromUtf8(line)); },
                                  20s);
    }
};

TEST_F(IteWindowTest, ControlsCaptionsAndColours) {
    start("jig3");
    IteWindow& w = window();
    EXPECT_EQ(w.windowTitle(), "ITE 14_03_2017");
    EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_EQ(w.motherboards()->objectName(), "ITE_ComboBox_MB_SWITCH");
    EXPECT_EQ(w.motherboards()->count(), 5);
    EXPECT_EQ(w.motherboards()->itemText(1), zjig::test::kZtiRecord);
    EXPECT_EQ(w.motherboards()->currentText(), "Please select MOTHERBOARD");
    EXPECT_TRUE(w.cableBox()->isChecked());
    EXPECT_FALSE(w.cableBox()->isEnabled());
    EXPECT_EQ(w.pinFrame()->title(), "Pin ITE mcu -> pin keyboard connector");
    EXPECT_EQ(w.label(IteSignal::STB)->text(), "STB# (58 KSI0) WR/RD 0/1");
    EXPECT_EQ(w.label(IteSignal::STB)->objectName(), "Label9");
    EXPECT_EQ(w.label(IteSignal::STB)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(w.label(IteSignal::PD3)->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_EQ(w.label(IteSignal::BUSY)->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QComboBox* busy = w.dropDown(IteSignal::BUSY);
    EXPECT_EQ(busy->objectName(), "ComboBox13");
    EXPECT_TRUE(busy->isEditable());
    EXPECT_EQ(busy->lineEdit()->maxLength(), 2);
    EXPECT_EQ(busy->count(), 33);
    EXPECT_EQ(busy->currentText(), "NC");
    EXPECT_EQ(w.applyButton()->text(), "APPLY");
    EXPECT_EQ(w.checkButton()->text(), "Check connection");
    EXPECT_EQ(w.exitButton()->objectName(), "ITE_EXIT_BitBtn");
    EXPECT_TRUE(w.languageBox()->isChecked());
    EXPECT_EQ(w.memoRu()->lines().size(), 17);
    EXPECT_EQ(w.memoEng()->lines().size(), 15);
    EXPECT_EQ(w.readGauge()->maximum(), 512);
    EXPECT_EQ(w.speedGauge()->maximum(), 256);
    EXPECT_EQ(w.speedGauge()->barColor(), QColor(255, 255, 0));
}

TEST_F(IteWindowTest, ChoicesAndPressesReachTheSession) {
    start("jig3");
    ASSERT_TRUE(openIte());
    IteWindow& w = window();
    EXPECT_TRUE(w.memoRu()->isVisible());
    EXPECT_FALSE(w.memoEng()->isVisible());

    emit w.motherboards()->activated(1);
    ASSERT_TRUE(processEventsUntil(
        [&] { return w.dropDown(IteSignal::INIT)->currentText() == "22"; }, 20s));
    EXPECT_TRUE(w.cableBox()->isEnabled());
    // The user types a contact: the session takes it as that drop-down's.
    emit w.dropDown(IteSignal::KSI5)->lineEdit()->textEdited("x");
    EXPECT_FALSE(session().selection()[static_cast<size_t>(IteSignal::KSI5)]);
    emit w.dropDown(IteSignal::KSI5)->lineEdit()->textEdited("25");
    EXPECT_EQ(session().selection()[static_cast<size_t>(IteSignal::KSI5)], 25);

    w.applyButton()->click();
    EXPECT_TRUE(memoHas(w.memoRu(), "Настройки все отправлены."));
    w.languageBox()->click();
    ASSERT_TRUE(processEventsUntil(
        [&] { return w.memoEng()->isVisible() && !w.memoRu()->isVisible(); }, 20s));
    EXPECT_TRUE(memoHas(w.memoEng(), "All settings sent."));

    answers.push_back((dir / "dump.bin").string());
    w.readButton()->click();
    EXPECT_TRUE(memoHas(w.memoEng(), "Reading complete. "));
    ASSERT_TRUE(
        processEventsUntil([&] { return !session().busy() && w.exitButton()->isEnabled(); }, 20s));
    EXPECT_EQ(w.readGauge()->value(), 512);
    EXPECT_EQ(fs::file_size(dir / "dump.bin"), zjig::test::kIteFlash);

    w.exitButton()->click();
    ASSERT_TRUE(
        processEventsUntil([&] { return !w.isVisible() && app->mainWindow().isVisible(); }, 20s));
    EXPECT_TRUE(w.memoRu()->lines().isEmpty());
    EXPECT_TRUE(w.memoEng()->lines().isEmpty());
}

TEST_F(IteWindowTest, ClosingDuringAReadStopsItOnlyWhenTheUserSaysSo) {
    start("jig3,speed=real,ite-silent-after-block=2");
    ASSERT_TRUE(openIte());
    IteWindow& w = window();
    emit w.motherboards()->activated(1);
    w.applyButton()->click();
    ASSERT_TRUE(memoHas(w.memoEng(), "All settings sent."));
    // An earlier dump the stopped read must leave alone.
    std::ofstream(dir / "dump.bin", std::ios::binary) << "earlier dump";
    answers.push_back((dir / "dump.bin").string());
    w.readButton()->click();
    ASSERT_TRUE(session().busy());
    w.exitButton()->click();  // disabled, and refused by the tag anyway
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(session().busy());
    // The stopped read ends by saying where its blocks are, a dialog its
    // worker waits on: the close answers it rather than wait for the worker.
    closeMidOperation(w, session());
    EXPECT_EQ(session().lastOperationSucceeded(), false);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("warning: The read failed; ", 0), 0u) << messages[0];
    EXPECT_EQ(zjig::test::readFile((dir / "dump.bin").string()), "earlier dump");
}

}  // namespace
}  // namespace zjig::gui
