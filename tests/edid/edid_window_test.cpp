// The EDID window's wiring in the desktop program on the simulated JIG: its
// controls and captions, the dialogs it opens, and presses that reach the
// session and show the hex view.
#include "edid/edid_window.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <filesystem>

#include "base/modes.h"
#include "base/names.h"
#include "gui/event_wait.h"
#include "gui/gui_app.h"
#include "gui/gui_app_fixture.h"

namespace zjig::gui {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class EdidWindowTest : public test::GuiAppFixture {
  protected:
    void SetUp() override {
        GuiAppFixture::SetUp();
        startApp({"jig3"});
    }

    EdidWindow& window() { return *static_cast<EdidWindow*>(app->window(names::kEdidWindow)); }
    bool openEdid() { return openMode(kModeEdid); }
    void settle() {
        processEventsUntil([] { return false; }, 50ms);
    }
};

TEST_F(EdidWindowTest, ControlsAndCaptions) {
    EdidWindow& w = window();
    EXPECT_EQ(w.windowTitle(), "EEPROM LCD read/write 09/01/2017");
    EXPECT_EQ(w.readButton()->objectName(), "EDID_READ");
    EXPECT_EQ(w.readButton()->text(), "EDID_READ");
    EXPECT_EQ(w.writeButton()->objectName(), "EDID_WRITE");
    EXPECT_EQ(w.writeButton()->text(), "EDID_WRITE");
    EXPECT_EQ(w.exitButton()->objectName(), "EXIT_EDID");
    EXPECT_EQ(w.exitButton()->text(), "EXIT");
    EXPECT_EQ(w.memo()->objectName(), "EDID_Memo");
    EXPECT_TRUE(w.memo()->isReadOnly());
    EXPECT_EQ(w.memo()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_TRUE(QFontInfo(w.memo()->font()).fixedPitch()) << "the hex view's columns line up";
    EXPECT_EQ(w.summaryLabel()->text(), "");
}

TEST_F(EdidWindowTest, ReadShowsTheHexViewAndTheSummaryAndSavesTheFile) {
    ASSERT_TRUE(openEdid());
    EdidWindow& w = window();
    const fs::path file = dir / "panel.bin";
    answers.push_back(file.string());
    w.readButton()->click();
    settle();

    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].dialog, "SaveDialog1");
    EXPECT_TRUE(dialogs[0].save);
    EXPECT_EQ(dialogs[0].title, "Укажите имя файла для сохранения.");
    EXPECT_EQ(dialogs[0].filter, "BIN файлы EEPROM (*.bin)|*.bin");
    EXPECT_EQ(dialogs[0].defaultExt, ".bin");
    EXPECT_EQ(dialogs[0].initialName, "Noname");
    EXPECT_TRUE(dialogs[0].confirmOverwrite);
    EXPECT_EQ(fs::file_size(file), 256u);

    const QStringList lines = w.memo()->lines();
    EXPECT_TRUE(
        lines.contains(": 00 FF FF FF FF FF FF 00 6A D8 6F 15 01 00 00 00 ........j.o....."))
        << lines.join('\n').toStdString();
    EXPECT_EQ(lines.last(), QString::fromStdString(file.string()));
    EXPECT_TRUE(w.summaryLabel()->text().startsWith("EDID header: present\n"));
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(app->port().unknownNames().empty());
}

TEST_F(EdidWindowTest, WriteOpensItsDialogAndExitClearsAndLeaves) {
    ASSERT_TRUE(openEdid());
    EdidWindow& w = window();
    w.writeButton()->click();  // the dialog is cancelled
    settle();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_FALSE(dialogs[0].save);
    EXPECT_EQ(dialogs[0].dialog, "OpenDialog1");
    EXPECT_EQ(dialogs[0].title, "Укажите файл за заливки.");
    EXPECT_EQ(dialogs[0].filter, "BIN файлы EEPROM (*.bin)|*.bin|Другие|*.*");
    EXPECT_EQ(w.memo()->lines().last(), "Write operation is interrupted.");

    w.exitButton()->click();
    settle();
    EXPECT_TRUE(w.memo()->lines().isEmpty());
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(app->mainWindow().isVisible());

    // A close from the window manager is EXIT.
    ASSERT_TRUE(openEdid());
    w.close();
    settle();
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(app->mainWindow().isVisible());
}

}  // namespace
}  // namespace zjig::gui
