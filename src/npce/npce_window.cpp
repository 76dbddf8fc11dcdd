#include "npce/npce_window.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "npce/npce_commands.h"
#include "npce/npce_controls.h"

namespace zjig::gui {

using namespace npce;

namespace {

QPushButton* operationButton(const char* name, std::string_view caption, QWidget* parent) {
    auto* b = new QPushButton(latin(caption), parent);
    b->setObjectName(latin(name));
    b->setMinimumSize(170, 44);
    setBold(b, 2);
    return b;
}

// A fixed dialog frame whose only caption button is minimise.
Qt::WindowFlags dialogFrameFlags() {
    return captionOnlyFlags() | Qt::WindowMinimizeButtonHint | Qt::MSWindowsFixedSizeDialogHint;
}

}  // namespace

NpceWindow::NpceWindow(NpceSession& session)
    : ModeWindow(kWindow, latin(kWindowCaption), session, dialogFrameFlags()), session_(session) {
    read_ = operationButton(kReadButton, kReadCaption, this);
    setForeground(read_, QColor(0, 128, 0));
    write_ = operationButton(kWriteButton, kWriteCaption, this);
    setForeground(write_, toQColor(kRed));
    exit_ = operationButton(kExitButton, kExitCaption, this);

    memo_ = new MemoBox(latin(kMemo), this);
    gauge_ = new ColorGauge(latin(kGauge), this);
    gauge_->setGaugeMax(kGaugeMax);
    gauge_->setMinimumHeight(34);
    setBold(gauge_, 6);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(12);
    buttons->addWidget(read_);
    buttons->addWidget(write_);
    buttons->addStretch(1);
    buttons->addWidget(exit_);

    auto* middle = new QHBoxLayout;
    middle->setSpacing(12);
    middle->addLayout(buttons);
    middle->addWidget(memo_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    layout->addLayout(middle, 1);
    layout->addWidget(gauge_);
    setFixedSize(640, 460);

    connect(read_, &QPushButton::clicked, this,
            [this] { pressWithWaitCursor(&NpceSession::NPCE_READClick); });
    connect(write_, &QPushButton::clicked, this,
            [this] { pressWithWaitCursor(&NpceSession::NPCE_WRITEClick); });
    connect(exit_, &QPushButton::clicked, this, [this] { session_.EXIT_NPCEClick(); });
    // Idle, a close is EXIT. During an operation EXIT is disabled; closing
    // the window stops the operation only when the user says so.
    closeAsExit([this] { session_.EXIT_NPCEClick(); });
}

void NpceWindow::pressWithWaitCursor(void (NpceSession::*handler)()) {
    // On this window only: the file dialog and message boxes the press shows
    // are windows of their own and keep the usual cursor.
    setCursor(Qt::WaitCursor);
    (session_.*handler)();
    unsetCursor();
}

bool NpceWindow::saveScenes(SceneContext& scenes) {
    return saveReadScene(
        scenes, [this] { session_.NPCE_READClick(); }, *gauge_, "npce_window_reading.png");
}

}  // namespace zjig::gui

namespace zjig::npce {
std::unique_ptr<gui::FormWindow> makeWindow(ModeSession& session) {
    return std::make_unique<gui::NpceWindow>(static_cast<NpceSession&>(session));
}
}  // namespace zjig::npce
