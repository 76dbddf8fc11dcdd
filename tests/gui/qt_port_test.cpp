// The window port: calls from any thread reach the widgets on the GUI thread
// in the order they were made; dialogs block their caller until answered.
#include "gui/qt_port.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <future>
#include <thread>

#include "base/names.h"
#include "gui/event_wait.h"
#include "gui/form_window.h"
#include "gui/widgets.h"
#include "qt_test_app.h"

namespace zjig::gui {
namespace {

using namespace std::chrono_literals;

TEST(QtNameFilters, ConvertsPairsOfDescriptionAndPattern) {
    struct Case {
        const char* filter;
        QStringList expected;
    };
    const Case cases[] = {
        {"BIN file KB90XX (*.bin)|*.bin", {"BIN file KB90XX (*.bin)"}},
        {"BIN file KB90XX (*.bin)|*.bin|other|*.*", {"BIN file KB90XX (*.bin)", "other (*)"}},
        {"Images|*.bin;*.rom", {"Images (*.bin *.rom)"}},
        {"Binary (*.bin)|*.bin;*.rom", {"Binary (*.bin) (*.bin *.rom)"}},
        {"|*.hex", {"(*.hex)"}},
        {"", {}},
        {"description without pattern", {}},
        {"empty pattern||hex|*.hex", {"hex (*.hex)"}},
    };
    for (const auto& c : cases) EXPECT_EQ(qtNameFilters(c.filter), c.expected) << c.filter;
}

// One window with one control of each kind the port drives.
class QtPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<FormWindow>("TTestForm", QStringLiteral("Test form"));
        memo = new MemoBox(QStringLiteral("Memo1"), window.get());
        gauge = new ColorGauge(QStringLiteral("Gauge1"), window.get());
        list = new QComboBox(window.get());
        list->setObjectName(QStringLiteral("List1"));
        list->addItems({"18 pin", "20 pin"});
        button = new QPushButton(QStringLiteral("Go"), window.get());
        button->setObjectName(QStringLiteral("Button1"));
        label = new QLabel(window.get());
        label->setObjectName(QStringLiteral("Label1"));
        box = new QCheckBox(QStringLiteral("Hide current"), window.get());
        box->setObjectName(QStringLiteral("Box1"));
        auto* layout = new QVBoxLayout(window.get());
        for (QWidget* w : std::initializer_list<QWidget*>{memo, gauge, list, button, label, box})
            layout->addWidget(w);
        port.addWindow(window.get());
    }

    bool waitFor(const std::function<bool()>& done) { return processEventsUntil(done, 10s); }

    std::unique_ptr<FormWindow> window;
    QtPort port;
    MemoBox* memo = nullptr;
    ColorGauge* gauge = nullptr;
    QComboBox* list = nullptr;
    QPushButton* button = nullptr;
    QLabel* label = nullptr;
    QCheckBox* box = nullptr;
};

TEST_F(QtPortTest, CallsFromAWorkerArriveInOrderOnTheGuiThread) {
    // Every change is logged as it happens on the widgets, whatever its kind.
    std::vector<std::string> seen;
    QObject::connect(gauge, &QProgressBar::valueChanged, [&](int v) {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        seen.push_back("gauge " + std::to_string(v));
    });
    QObject::connect(memo, &QPlainTextEdit::textChanged, [&] {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        if (!memo->lines().isEmpty()) seen.push_back("memo " + memo->lines().last().toStdString());
    });
    constexpr int kSteps = 300;
    std::thread worker([&] {
        for (int i = 1; i <= kSteps; ++i) {
            port.setGaugeProgress("Gauge1", i % 100);
            port.appendLine("Memo1", "line " + std::to_string(i));
        }
    });
    ASSERT_TRUE(waitFor([&] { return memo->lines().size() == kSteps; }));
    worker.join();

    std::vector<std::string> expected;
    for (int i = 1; i <= kSteps; ++i) {
        expected.push_back("gauge " + std::to_string(i % 100));
        expected.push_back("memo line " + std::to_string(i));
    }
    EXPECT_EQ(seen, expected);
}

TEST_F(QtPortTest, ACallOnTheGuiThreadRunsAfterWhatIsStillQueued) {
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) port.appendLine("Memo1", "worker " + std::to_string(i));
    });
    worker.join();
    // Nothing has been processed yet: the worker's lines wait in the queue.
    EXPECT_TRUE(memo->lines().isEmpty());
    port.appendLine("Memo1", "from the window thread");
    // Run at once, and after the worker's lines.
    const QStringList lines = memo->lines();
    ASSERT_EQ(lines.size(), 51);
    EXPECT_EQ(lines.first(), "worker 0");
    EXPECT_EQ(lines[49], "worker 49");
    EXPECT_EQ(lines.last(), "from the window thread");
}

TEST_F(QtPortTest, AFileDialogAskedByAWorkerBlocksItUntilAnswered) {
    std::atomic<bool> returned{false};
    std::vector<FileDialogSpec> asked;
    QStringList memoWhenAsked;
    port.setFileDialogHandler([&](const FileDialogSpec& spec) -> std::optional<std::string> {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        EXPECT_FALSE(returned.load()) << "the worker went on before the answer";
        asked.push_back(spec);
        memoWhenAsked = memo->lines();
        if (spec.dialog == "OpenDialog_X") return std::nullopt;  // cancelled
        return std::string("/tmp/chosen.bin");
    });

    FileDialogSpec save{"SaveDialog_X", true,     "Save file", "BIN (*.bin)|*.bin",
                        ".bin",         "Noname", true};
    FileDialogSpec open{"OpenDialog_X", false, "Read file", "BIN (*.bin)|*.bin", "", "", false};
    std::optional<std::string> saveAnswer{"unset"}, openAnswer{"unset"};
    std::thread worker([&] {
        port.appendLine("Memo1", "before the dialog");
        saveAnswer = port.fileDialog(save);
        openAnswer = port.fileDialog(open);
        returned = true;
    });
    ASSERT_TRUE(waitFor([&] { return returned.load(); }));
    worker.join();

    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].dialog, "SaveDialog_X");
    EXPECT_TRUE(asked[0].save);
    EXPECT_EQ(asked[0].initialName, "Noname");
    EXPECT_EQ(asked[1].dialog, "OpenDialog_X");
    EXPECT_EQ(saveAnswer, std::optional<std::string>("/tmp/chosen.bin"));
    EXPECT_EQ(openAnswer, std::nullopt);
    // What the worker showed before asking was on screen when the dialog came.
    EXPECT_EQ(memoWhenAsked, QStringList{"before the dialog"});
}

TEST_F(QtPortTest, AMessageBoxAskedByAWorkerBlocksItUntilDismissed) {
    std::atomic<bool> returned{false};
    std::vector<std::pair<MessageKind, std::string>> shown;
    port.setMessageBoxHandler([&](MessageKind kind, const std::string& text) {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        EXPECT_FALSE(returned.load());
        shown.emplace_back(kind, text);
    });
    std::thread worker([&] {
        port.messageBox(MessageKind::Error, "Ошибка создания файла.");
        port.messageBox(MessageKind::Warning, " Please press the reset button on the JIG!");
        returned = true;
    });
    ASSERT_TRUE(waitFor([&] { return returned.load(); }));
    worker.join();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].first, MessageKind::Error);
    EXPECT_EQ(shown[0].second, "Ошибка создания файла.");
    EXPECT_EQ(shown[1].first, MessageKind::Warning);
}

TEST_F(QtPortTest, ClosingThePortReleasesAWorkerWaitingForADialog) {
    bool handlerRan = false;
    port.setFileDialogHandler([&](const FileDialogSpec&) -> std::optional<std::string> {
        handlerRan = true;
        return std::string("never");
    });
    auto answer = std::async(std::launch::async, [&] {
        FileDialogSpec spec;
        spec.dialog = "SaveDialog_X";
        spec.save = true;
        return port.fileDialog(spec);
    });
    // The GUI thread does not serve the dialog (it processes no events);
    // once the call waits in the queue, the program closes instead.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (port.queuedCalls() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    ASSERT_EQ(port.queuedCalls(), 1u);
    EXPECT_EQ(answer.wait_for(0ms), std::future_status::timeout);
    port.close();
    ASSERT_EQ(answer.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(answer.get(), std::nullopt);
    // Calls after closing do nothing (on this thread they would run at once).
    port.appendLine("Memo1", "after close");
    EXPECT_TRUE(memo->lines().isEmpty());
    EXPECT_FALSE(handlerRan);
}

// The real dialogs, answered by a timer once they are up.
TEST_F(QtPortTest, FileDialogsTakeTheirTitleFilterSuffixAndInitialName) {
    const std::string chosen = (QDir::tempPath() + "/zjig_port_dialog.bin").toStdString();
    struct Seen {
        QString title, suffix;
        QStringList filters;
        QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
        bool confirmsOverwrite = false;
        QString initialFile;
    };
    std::vector<Seen> seen;
    auto answerNextDialog = [&](bool accept) {
        QTimer::singleShot(0, [&, accept] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            const QStringList files = dialog->selectedFiles();
            seen.push_back({dialog->windowTitle(), dialog->defaultSuffix(), dialog->nameFilters(),
                            dialog->acceptMode(),
                            !dialog->testOption(QFileDialog::DontConfirmOverwrite),
                            files.isEmpty() ? QString() : QFileInfo(files.first()).fileName()});
            if (!accept) return dialog->reject();
            dialog->selectFile(QString::fromStdString(chosen));
            static_cast<QDialog*>(dialog)->accept();
        });
    };
    // Whatever happens, no dialog stays up for ever.
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    guard.start(10000);

    FileDialogSpec save;
    save.dialog = "SaveDialog_KB90";
    save.save = true;
    save.title = "Save file";
    save.filter = "BIN file KB90XX (*.bin)|*.bin";
    save.defaultExt = ".bin";
    save.initialName = "Noname";
    save.confirmOverwrite = true;
    answerNextDialog(true);
    EXPECT_EQ(port.fileDialog(save), std::optional<std::string>(chosen));

    FileDialogSpec open;
    open.dialog = "OpenDialog_KB90";
    open.title = "Read file";
    open.filter = "BIN file KB90XX (*.bin)|*.bin|other|*.*";
    answerNextDialog(false);
    EXPECT_EQ(port.fileDialog(open), std::nullopt);

    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].title, "Save file");
    EXPECT_EQ(seen[0].mode, QFileDialog::AcceptSave);
    EXPECT_EQ(seen[0].suffix, "bin");
    EXPECT_EQ(seen[0].filters, QStringList{"BIN file KB90XX (*.bin)"});
    EXPECT_TRUE(seen[0].confirmsOverwrite);
    // The initial name, with the default extension it would be saved with.
    EXPECT_EQ(seen[0].initialFile, "Noname.bin");
    EXPECT_EQ(seen[1].title, "Read file");
    EXPECT_EQ(seen[1].mode, QFileDialog::AcceptOpen);
    EXPECT_EQ(seen[1].filters, (QStringList{"BIN file KB90XX (*.bin)", "other (*)"}));
}

TEST_F(QtPortTest, ListsShowAChoiceOrTheirPrompt) {
    port.setText("List1", "Select FFC cable you used");
    EXPECT_EQ(list->currentIndex(), -1);
    EXPECT_EQ(list->placeholderText(), "Select FFC cable you used");
    port.setText("List1", "20 pin");
    EXPECT_EQ(list->currentText(), "20 pin");
    // New items leave the list without a choice, so the prompt shows again.
    port.setItems("List1", {"A KSO3=1", "B KSO3=2", "C KSO3=3"});
    EXPECT_EQ(list->count(), 3);
    EXPECT_EQ(list->currentIndex(), -1);
    EXPECT_EQ(list->placeholderText(), "Select FFC cable you used");
}

TEST_F(QtPortTest, CaptionsStatesColoursAndWindows) {
    port.setText("Label1", "Please connect GND and:  A12 B5 C8 D7 E6 (only for JIG 2)");
    EXPECT_EQ(label->text(), "Please connect GND and:  A12 B5 C8 D7 E6 (only for JIG 2)");
    port.setText("Button1", "STOP");
    EXPECT_EQ(button->text(), "STOP");
    port.setText("TTestForm", "New caption");
    EXPECT_EQ(window->windowTitle(), "New caption");

    port.setEnabled("Button1", false);
    EXPECT_FALSE(button->isEnabled());

    port.setColor("Gauge1", kRed);
    EXPECT_EQ(gauge->barColor(), QColor(255, 0, 0));
    port.setColor("List1", kYellow);
    EXPECT_EQ(background(list), QColor(255, 255, 0));
    // A disabled list keeps its colour.
    list->setEnabled(false);
    EXPECT_EQ(list->palette().color(QPalette::Disabled, QPalette::Button), QColor(255, 255, 0));

    // A box ticked and cleared by the port sends no click of its own.
    int clicks = 0;
    QObject::connect(box, &QCheckBox::clicked, [&] { ++clicks; });
    port.setChecked("Box1", true);
    EXPECT_TRUE(box->isChecked());
    port.setChecked("Box1", false);
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(clicks, 0);

    port.showWindow("TTestForm");
    EXPECT_TRUE(window->isVisible());
    port.setVisible("Label1", false);
    EXPECT_FALSE(label->isVisible());
    port.setVisible("Label1", true);
    EXPECT_TRUE(label->isVisible());
    port.hideWindow("TTestForm");
    EXPECT_FALSE(window->isVisible());
}

TEST_F(QtPortTest, GaugeProgressStaysWithinItsMaximum) {
    port.setGaugeMax("Gauge1", 32768);
    port.setGaugeProgress("Gauge1", 64);
    EXPECT_EQ(gauge->maximum(), 32768);
    EXPECT_EQ(gauge->value(), 64);
    port.setGaugeProgress("Gauge1", 40000);
    EXPECT_EQ(gauge->value(), 32768);
    port.setGaugeProgress("Gauge1", -5);
    EXPECT_EQ(gauge->value(), 0);
    port.setGaugeProgress("Gauge1", 500);
    port.setGaugeMax("Gauge1", 100);
    EXPECT_EQ(gauge->value(), 100);
}

TEST_F(QtPortTest, MemoKeepsBlankLinesAndScrollsToTheEnd) {
    window->resize(300, 200);
    window->show();
    port.appendLine("Memo1", "");
    port.appendLine("Memo1", "Number of VCOM ports found on the machine: 1");
    for (int i = 0; i < 200; ++i) port.appendLine("Memo1", "line " + std::to_string(i));
    port.appendLine("Memo1", "");
    const QStringList lines = memo->lines();
    ASSERT_EQ(lines.size(), 203);
    EXPECT_EQ(lines.first(), "");
    EXPECT_EQ(lines[1], "Number of VCOM ports found on the machine: 1");
    EXPECT_EQ(lines.last(), "");
    EXPECT_GT(memo->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(memo->verticalScrollBar()->value(), memo->verticalScrollBar()->maximum());
    EXPECT_TRUE(memo->isReadOnly());

    port.clearMemo("Memo1");
    EXPECT_TRUE(memo->lines().isEmpty());
    port.appendLine("Memo1", "");
    EXPECT_EQ(memo->lines(), QStringList{""});
}

TEST_F(QtPortTest, AWindowQualifiedNameReachesOnlyThatWindowsControl) {
    // Two windows whose layouts both name a control "Label1".
    FormWindow second("TSecondForm", QStringLiteral("Second"));
    auto* twin = new QLabel(&second);
    twin->setObjectName(QStringLiteral("Label1"));
    port.addWindow(&second);
    port.setText("TSecondForm/Label1", "second");
    EXPECT_EQ(twin->text(), "second");
    EXPECT_EQ(label->text(), "");
    port.setText("Label1", "first");
    EXPECT_EQ(label->text(), "first");
    EXPECT_EQ(twin->text(), "second");
    EXPECT_EQ(names::controlLeaf("TSecondForm/Label1"), "Label1");
}

TEST_F(QtPortTest, NamesNoWindowHoldsAreRecorded) {
    port.appendLine("Memo1", "known");
    EXPECT_TRUE(port.unknownNames().empty());
    port.appendLine("NoSuchMemo", "x");
    port.setEnabled("NoSuchButton", true);
    port.showWindow("TNoSuchForm");
    port.setGaugeProgress("Memo1", 3);  // a memo is no gauge
    EXPECT_EQ(port.unknownNames(),
              (std::set<std::string>{"NoSuchMemo", "NoSuchButton", "TNoSuchForm", "Memo1"}));
}

}  // namespace
}  // namespace zjig::gui
