// The keyboard matrix tester's window inside the desktop program: its
// controls and shapes, a scan driven through its buttons, and closing or
// quitting while a scan runs.
#include "keyboard/keyboard_window.h"

#include <gtest/gtest.h>

#include "base/modes.h"
#include "gui/event_wait.h"
#include "gui/gui_app.h"
#include "gui/gui_app_fixture.h"
#include "gui/widgets.h"
#include "jiglink/backends/backends.h"
#include "keyboard/keyboard_controls.h"
#include "sim/sim_jig.h"

namespace zjig::gui {
namespace {

using namespace std::chrono_literals;
using namespace keyboard;

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

class KeyboardWindowTest : public test::GuiAppFixture {
  protected:
    void startApp(const std::string& options) {
        std::string error;
        sim = std::shared_ptr<sim::SimDevice>(sim::SimDevice::create(options, error));
        ASSERT_TRUE(sim) << error;
        devices.addPort(makeSimPort(sim, options));
        GuiAppFixture::startApp({});
        ASSERT_TRUE(openMode(kModeKeyboard));
    }
    KeyboardWindow& window() {
        return *static_cast<KeyboardWindow*>(app->window(names::kKeyboardWindow));
    }
    ModeSession& session() { return *app->session(names::kKeyboardWindow); }
    QColor shapeColour(int key) { return window().matrix()->shape(key)->colour(); }

    std::shared_ptr<sim::SimDevice> sim;
};

TEST_F(KeyboardWindowTest, ControlsCaptionsAndShapes) {
    startApp("jig3");
    KeyboardWindow& w = window();
    EXPECT_EQ(w.windowTitle(), "Keyboard_testing 02_03_2017");
    EXPECT_EQ(w.startButton()->text(), "START SCAN");
    EXPECT_EQ(w.exitButton()->text(), "EXIT");
    EXPECT_EQ(w.clearButton()->text(), "Clear");
    EXPECT_EQ(w.buzzerBox()->text(), "Buzzer off");
    EXPECT_FALSE(w.buzzerBox()->isChecked());
    EXPECT_EQ(w.hideBox()->text(), "Hide current");
    EXPECT_FALSE(w.hideBox()->isEnabled());
    EXPECT_EQ(w.statusLabel()->text(), "Press start scan");
    EXPECT_EQ(background(w.statusLabel()), QColor(255, 0, 0));
    EXPECT_EQ(w.columnLabel()->text(), text(kColumnCaption));
    for (int row : kLabelledRows) {
        auto* label = w.findChild<QLabel*>(QStringLiteral("Label_row%1").arg(row));
        ASSERT_NE(label, nullptr) << row;
        EXPECT_EQ(label->text(), QString::number(row));
    }

    const auto shapes = w.matrix()->findChildren<KeyShape*>();
    EXPECT_EQ(shapes.size(), kPairCount);
    KeyShape* first = w.findChild<KeyShape*>(QStringLiteral("Shape2"));
    KeyShape* last = w.findChild<KeyShape*>(QStringLiteral("Shape992"));
    ASSERT_TRUE(first && last);
    EXPECT_EQ(w.matrix()->mapTo(&w, first->place().topLeft()), QPoint(20, 40));
    EXPECT_EQ(w.matrix()->mapTo(&w, last->place().topLeft()), QPoint(518, 520));
    EXPECT_EQ(first->colour(), QColor(0, 255, 255));
    // Drawn narrower than their pitch, neighbours do not overlap.
    EXPECT_FALSE(w.matrix()->shape(3)->place().intersects(w.matrix()->shape(4)->place()));
    EXPECT_EQ(w.matrix()->shape(33), nullptr);

    // The port reaches a shape by its name.
    app->port().setColor("Shape372", kYellow);
    app->port().flush();
    EXPECT_EQ(shapeColour(372), QColor(255, 255, 0));
    EXPECT_TRUE(app->port().unknownNames().empty());
}

TEST_F(KeyboardWindowTest, AScanThroughTheButtons) {
    startApp("jig3,kbd=3-7/_5/3-7");
    KeyboardWindow& w = window();
    w.startButton()->click();
    EXPECT_TRUE(session().busy());
    ASSERT_TRUE(processEventsUntil([&] { return w.startButton()->text() == "STOP"; }, 5s));
    EXPECT_FALSE(w.exitButton()->isEnabled());
    EXPECT_TRUE(w.hideBox()->isEnabled());
    EXPECT_EQ(w.statusLabel()->text(), "Ready to work");
    EXPECT_EQ(background(w.statusLabel()), QColor(0, 255, 0));
    ASSERT_TRUE(processEventsUntil([&] { return shapeColour(71) == QColor(255, 255, 0); }, 5s));
    w.hideBox()->click();
    sim->jig().queueKeyScan({{5, 6}, {5, 9}});
    ASSERT_TRUE(processEventsUntil([&] { return shapeColour(137) == QColor(0, 0, 0); }, 10s));
    EXPECT_EQ(shapeColour(134), QColor(0, 0, 0));
    // The count follows the answer's last shape.
    EXPECT_TRUE(
        processEventsUntil([&] { return w.pairsSeenLabel()->text() == "Pairs seen: 3"; }, 5s))
        << w.pairsSeenLabel()->text().toStdString();

    w.startButton()->click();  // STOP
    ASSERT_TRUE(processEventsUntil([&] { return !session().busy(); }, 5s));
    ASSERT_TRUE(processEventsUntil([&] { return w.exitButton()->isEnabled(); }, 5s));
    EXPECT_EQ(w.startButton()->text(), "START SCAN");
    EXPECT_FALSE(w.hideBox()->isChecked());
    EXPECT_FALSE(w.hideBox()->isEnabled());
    EXPECT_EQ(w.statusLabel()->text(), "Press start scan");
    EXPECT_EQ(session().lastOperationSucceeded(), std::optional<bool>(true));

    // Clear while idle waits for the next scan.
    w.clearButton()->click();
    processEventsUntil([] { return false; }, 50ms);
    EXPECT_EQ(shapeColour(71), QColor(255, 255, 0));
    EXPECT_TRUE(app->port().unknownNames().empty());
}

TEST_F(KeyboardWindowTest, ClosingTheWindowStopsTheScan) {
    startApp("jig2");
    KeyboardWindow& w = window();
    w.startButton()->click();
    ASSERT_TRUE(session().busy());
    w.close();
    EXPECT_FALSE(session().busy());
    ASSERT_TRUE(
        processEventsUntil([&] { return app->mainWindow().isVisible() && !w.isVisible(); }, 5s));
}

TEST_F(KeyboardWindowTest, QuittingStopsAndJoinsTheScan) {
    startApp("jig3");
    window().startButton()->click();
    ASSERT_TRUE(session().busy());
    app->quit();
    EXPECT_FALSE(session().busy());
    EXPECT_EQ(session().lastOperationSucceeded(), std::optional<bool>(true));
}

}  // namespace
}  // namespace zjig::gui
