#include "mec16xx/mec16xx_window.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

#include "mec16xx/mec16xx_commands.h"
#include "mec16xx/mec16xx_controls.h"

namespace zjig::gui {

using namespace mec16;

namespace {

QPushButton* button(const char* name, std::string_view caption, QWidget* parent) {
    auto* b = new QPushButton(utf8(caption), parent);
    b->setObjectName(latin(name));
    b->setMinimumSize(230, 36);
    setBold(b);
    return b;
}

QCheckBox* checkBox(const char* name, std::string_view caption, QWidget* parent) {
    auto* box = new QCheckBox(utf8(caption), parent);
    box->setObjectName(latin(name));
    return box;
}

QLabel* label(const char* name, std::string_view caption, QWidget* parent) {
    auto* l = new QLabel(utf8(caption), parent);
    l->setObjectName(latin(name));
    return l;
}

constexpr int kShapeSide = 22;

}  // namespace

ShapeBox::ShapeBox(const char* name, QWidget* parent) : QWidget(parent) {
    setObjectName(latin(name));
    setFixedSize(kShapeSide, kShapeSide);
    setBackground(this, toQColor(kBlack));
}

QColor ShapeBox::fill() const { return background(this); }

void ShapeBox::paintEvent(QPaintEvent*) {
    // The port colours the whole widget; only a rounded square of it shows,
    // the corners take the window's own colour.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor around =
        parentWidget() ? parentWidget()->palette().color(QPalette::Window) : QColor(Qt::white);
    p.fillRect(rect(), around);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(fill());
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
}

Mec16Window::Mec16Window(Mec16Session& session)
    : ModeWindow(kWindow, utf8(kWindowCaption), session,
                 Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                     Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      session_(session) {
    check_ = button(kCheckButton, kCheckCaption, this);
    bootLock_ = new ShapeBox(kBootLockShape, this);
    bootLockLabel_ = label(kBootLockLabel, kBootLockCaption, this);
    fwp_ = new ShapeBox(kFwpShape, this);
    fwpLabel_ = label(kFwpLabel, kFwpCaption, this);
    readInfo_ = checkBox(kReadInfoBox, kReadInfoCaption, this);
    read_ = button(kReadButton, kReadCaption, this);
    eraseInfo_ = checkBox(kEraseInfoBox, kEraseInfoCaption, this);
    erase_ = button(kEraseButton, kEraseCaption, this);
    writeInfo_ = checkBox(kWriteInfoBox, kWriteInfoCaption, this);
    writeInfo_->setEnabled(false);
    write_ = button(kWriteButton, kWriteCaption, this);
    help_ = button(kHelpButton, kHelpCaption, this);
    exit_ = button(kExitButton, kExitCaption, this);

    memo_ = new MemoBox(latin(kMemo), this);
    for (auto line : kInitialMemo) memo_->appendLine(utf8(line));
    memo_->verticalScrollBar()->setValue(0);
    gauge_ = new ColorGauge(latin(kGauge), this);
    gauge_->setGaugeMax(kLayoutGaugeMax);
    gauge_->setMinimumHeight(24);

    auto shapeRow = [this](ShapeBox* shape, QLabel* text) {
        auto* row = new QHBoxLayout;
        row->setSpacing(10);
        row->addWidget(shape);
        row->addWidget(text, 1);
        return row;
    };

    auto* left = new QVBoxLayout;
    left->setSpacing(8);
    left->addWidget(check_);
    left->addLayout(shapeRow(bootLock_, bootLockLabel_));
    left->addLayout(shapeRow(fwp_, fwpLabel_));
    left->addSpacing(14);
    left->addWidget(readInfo_);
    left->addWidget(read_);
    left->addSpacing(10);
    left->addWidget(eraseInfo_);
    left->addWidget(erase_);
    left->addSpacing(10);
    left->addWidget(writeInfo_);
    left->addWidget(write_);
    left->addStretch(1);
    left->addWidget(help_);
    left->addWidget(exit_);

    auto* middle = new QHBoxLayout;
    middle->setSpacing(12);
    middle->addLayout(left);
    middle->addWidget(memo_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    layout->addLayout(middle, 1);
    layout->addWidget(gauge_);
    setFixedSize(kClientWidth, kClientHeight);

    // Events, as the session names them. Only a user's click on a check box
    // is an event; the session ticking one is not.
    connect(check_, &QPushButton::clicked, this, [this] { session_.BitBtn_MEC16Click(); });
    connect(read_, &QPushButton::clicked, this, [this] { session_.BitBtn_RD_MEC16Click(); });
    connect(erase_, &QPushButton::clicked, this, [this] { session_.BitBtn_MEC16_ERASEClick(); });
    connect(write_, &QPushButton::clicked, this, [this] { session_.BitBtn_MEC16_WRITEClick(); });
    connect(help_, &QPushButton::clicked, this, [this] { session_.BitBtn_MEC16_HELPClick(); });
    connect(exit_, &QPushButton::clicked, this, [this] { session_.EXIT_MEC16Click(); });
    connect(readInfo_, &QCheckBox::clicked, this,
            [this](bool ticked) { session_.CheckBox_MEC16_RDClick(ticked); });
    connect(eraseInfo_, &QCheckBox::clicked, this,
            [this](bool ticked) { session_.CheckBox_erase_mec16Click(ticked); });
    // Idle, a close is EXIT. During a read or write EXIT only asks the read
    // to stop; closing the window stops the operation when the user says so.
    closeAsExit([this] { session_.EXIT_MEC16Click(); });
}

bool Mec16Window::saveScenes(SceneContext& scenes) {
    // The protection indicators as a check leaves them, then a read on its way.
    session_.BitBtn_MEC16Click();
    return saveReadScene(
        scenes, [this] { session_.BitBtn_RD_MEC16Click(); }, *gauge_, "mec_window_reading.png");
}

}  // namespace zjig::gui

namespace zjig::mec16 {
std::unique_ptr<gui::FormWindow> makeWindow(ModeSession& session) {
    return std::make_unique<gui::Mec16Window>(static_cast<Mec16Session&>(session));
}
}  // namespace zjig::mec16
