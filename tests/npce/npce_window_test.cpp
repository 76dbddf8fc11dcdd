// The Nuvoton SPI window's wiring: its frame, controls and captions, presses
// that reach the session, the dialogs it asks, and a close during a read.
#include "npce/npce_window.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/modes.h"
#include "gui/event_wait.h"
#include "gui/gui_app.h"
#include "gui/gui_app_fixture.h"
#include "support/temp_dir.h"

namespace zjig::gui {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class NpceWindowTest : public test::GuiAppFixture {
  protected:
    void startApp(const std::string& simOptions,
                  std::optional<std::chrono::milliseconds> timeout = std::nullopt) {
        GuiAppFixture::startApp({simOptions}, timeout);
        ASSERT_TRUE(openMode(kModeNpce));
    }

    NpceWindow& npce() { return *static_cast<NpceWindow*>(app->window(names::kNpceWindow)); }
    ModeSession& session() { return *app->session(names::kNpceWindow); }
};

TEST_F(NpceWindowTest, FrameControlsAndCaptions) {
    startApp("jig3");
    NpceWindow& w = npce();
    EXPECT_EQ(w.windowTitle(), "NPCE288N/388N 02_02_2017");
    const Qt::WindowFlags flags = w.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());

    struct Button {
        QPushButton* button;
        const char* name;
        const char* caption;
    } buttons[] = {{w.readButton(), "NPCE_READ", "Nuvoton_READ"},
                   {w.writeButton(), "NPCE_WRITE", "Nuvoton_WRITE"},
                   {w.exitButton(), "EXIT_NPCE", "EXIT"}};
    for (const auto& b : buttons) {
        EXPECT_EQ(b.button->objectName(), b.name);
        EXPECT_EQ(b.button->text(), b.caption);
        EXPECT_TRUE(b.button->isEnabled()) << b.name;
    }
    const QColor readText = w.readButton()->palette().color(QPalette::ButtonText);
    EXPECT_GT(readText.green(), 100);
    EXPECT_EQ(readText.red(), 0);
    EXPECT_EQ(w.writeButton()->palette().color(QPalette::ButtonText), QColor(Qt::red));
    EXPECT_EQ(w.memo()->objectName(), "NPCE_Memo");
    EXPECT_TRUE(w.memo()->isReadOnly());
    EXPECT_EQ(w.gauge()->objectName(), "CGauge_NPCE");
    EXPECT_EQ(w.gauge()->maximum(), 512);
    EXPECT_TRUE(w.gauge()->font().bold());
    EXPECT_GT(w.gauge()->font().pointSizeF(), w.memo()->font().pointSizeF());

    w.exitButton()->click();
    EXPECT_TRUE(waitFor([&] { return app->mainWindow().isVisible() && !w.isVisible(); }));
}

TEST_F(NpceWindowTest, ReadAndWriteThroughTheWindow) {
    startApp("jig3");
    NpceWindow& w = npce();
    const fs::path dump = dir / "flash.bin";
    answers.push_back(dump.string());
    w.readButton()->click();
    ASSERT_TRUE(waitFor([&] { return session().lastOperationSucceeded().has_value(); }));
    ASSERT_TRUE(
        waitFor([&] { return w.exitButton()->isEnabled() && w.writeButton()->isEnabled(); }));
    EXPECT_EQ(session().lastOperationSucceeded(), std::optional<bool>(true));
    EXPECT_EQ(fs::file_size(dump), 131072u);
    EXPECT_EQ(w.gauge()->value(), 512);
    EXPECT_EQ(w.gauge()->barColor(), QColor(0, 255, 0));

    answers.push_back(dump.string());
    w.writeButton()->click();
    ASSERT_TRUE(waitFor([&] { return session().lastOperationSucceeded().has_value(); }));
    ASSERT_TRUE(
        waitFor([&] { return w.exitButton()->isEnabled() && w.readButton()->isEnabled(); }));
    EXPECT_EQ(session().lastOperationSucceeded(), std::optional<bool>(true));
    ASSERT_TRUE(waitFor(
        [&] { return w.memo()->lines().contains("Nuvoton chip is programmed succesfully!"); }));
    EXPECT_EQ(w.gauge()->barColor(), QColor(255, 255, 0));

    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].dialog, "SaveDialog_NPCE");
    EXPECT_TRUE(dialogs[0].save);
    EXPECT_EQ(dialogs[0].title, "Save file");
    EXPECT_EQ(dialogs[0].filter, "BIN file NPCE (*.bin)|*.bin");
    EXPECT_EQ(dialogs[0].defaultExt, ".bin");
    EXPECT_EQ(dialogs[0].initialName, "NPCE_");
    EXPECT_TRUE(dialogs[0].confirmOverwrite);
    EXPECT_EQ(dialogs[1].dialog, "OpenDialog_NPCE");
    EXPECT_FALSE(dialogs[1].save);
    EXPECT_EQ(dialogs[1].title, "Read file");
    EXPECT_EQ(dialogs[1].filter, "BIN file NPCE (*.bin)|*.bin|other|*.*");
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(app->port().unknownNames().empty());
}

TEST_F(NpceWindowTest, CloseDuringAReadAsksBeforeStoppingIt) {
    // The JIG stops sending after a few blocks; the user's time-out is far away.
    startApp("jig3,npce-stall-block=3", std::chrono::minutes(10));
    NpceWindow& w = npce();
    // An earlier dump the stopped read must leave alone.
    zjig::test::writeFile((dir / "flash.bin").string(), "earlier dump");
    answers.push_back((dir / "flash.bin").string());
    w.readButton()->click();
    ASSERT_TRUE(waitFor([&] { return session().busy() && !w.exitButton()->isEnabled(); }));
    EXPECT_FALSE(w.writeButton()->isEnabled());
    EXPECT_TRUE(w.readButton()->isEnabled());  // a second press is ignored

    // The stopped read ends by saying where its blocks are, a dialog its
    // worker waits on: the close answers it rather than wait for the worker.
    closeMidOperation(w, session());
    EXPECT_EQ(session().lastOperationSucceeded(), std::optional<bool>(false));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("warning: The read failed; ", 0), 0u) << messages[0];
    EXPECT_EQ(zjig::test::readFile((dir / "flash.bin").string()), "earlier dump");
    EXPECT_EQ(fs::file_size(dir / "flash.bin.part") % 512, 0u);
}

}  // namespace
}  // namespace zjig::gui
