#include "kb901x_form/kb901x_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace zjig::gui {

using namespace kb90;

namespace {

QPushButton* operationButton(const char* name, std::string_view caption, QWidget* parent) {
    auto* b = new QPushButton(latin(caption), parent);
    b->setObjectName(latin(name));
    b->setMinimumSize(160, 40);
    setBold(b, 1);
    return b;
}

QComboBox* yellowList(const char* name, std::string_view prompt, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setObjectName(latin(name));
    list->setPlaceholderText(latin(prompt));
    list->setCurrentIndex(-1);
    list->setEnabled(false);
    setBackground(list, toQColor(kYellow));
    return list;
}

}  // namespace

Kb901xWindow::Kb901xWindow(Kb901xSession& session)
    : ModeWindow(kWindow, latin(kWindowCaption), session), session_(session) {
    group_ = new QGroupBox(latin(kHelpFrameCaption), this);
    group_->setObjectName(latin(kHelpFrame));

    motherboards_ = yellowList(kMbList, kMbListPrompt, group_);
    motherboards_->setMaxVisibleItems(20);
    motherboards_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    motherboards_->setMinimumContentsLength(40);

    cables_ = yellowList(kFfcList, kFfcListPrompt, group_);
    for (auto item : kFfcItems) cables_->addItem(latin(item));
    cables_->setCurrentIndex(-1);

    pin1_ = new QCheckBox(latin(kOrientationCaption), group_);
    pin1_->setObjectName(latin(kOrientationBox));
    pin1_->setChecked(true);
    pin1_->setEnabled(false);

    apply_ = new QPushButton(latin(kApplyCaption), group_);
    apply_->setObjectName(latin(kApplyButton));
    apply_->setMinimumHeight(34);
    setBold(apply_);

    result_ = new QLabel(latin(kResultLabelInitial), group_);
    result_->setObjectName(latin(kResultLabel));
    result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    setBold(result_);

    auto* help = new QGridLayout(group_);
    help->setContentsMargins(12, 14, 12, 12);
    help->setHorizontalSpacing(12);
    help->setVerticalSpacing(10);
    help->addWidget(motherboards_, 0, 0, 1, 2);
    help->addWidget(cables_, 1, 0);
    help->addWidget(pin1_, 1, 1);
    help->addWidget(apply_, 2, 0);
    help->addWidget(result_, 2, 1);
    help->setColumnStretch(0, 2);
    help->setColumnStretch(1, 3);

    read_ = operationButton(kReadButton, kReadCaption, this);
    write_ = operationButton(kWriteButton, kWriteCaption, this);
    exit_ = operationButton(kExitButton, kExitCaption, this);

    memo_ = new MemoBox(latin(kMemo), this);
    gauge_ = new ColorGauge(latin(kGauge), this);
    gauge_->setGaugeMax(kGaugeMax);
    gauge_->setMinimumHeight(24);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(10);
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
    layout->addWidget(group_);
    layout->addLayout(middle, 1);
    layout->addWidget(gauge_);
    resize(820, 600);

    // Events, as the session names them. Only a user's choice in a list is
    // an event; the session filling or resetting a list is not.
    connect(motherboards_, &QComboBox::activated, this, [this](int index) {
        session_.ComboBox_KB901XSelect(motherboards_->itemText(index).toStdString());
    });
    connect(cables_, &QComboBox::activated, this, [this](int index) {
        session_.ComboBox_KB901X_FFCSelect(cables_->itemText(index).toStdString());
    });
    connect(pin1_, &QCheckBox::clicked, this,
            [this](bool ticked) { session_.CheckBox_KB901XClick(ticked); });
    connect(apply_, &QPushButton::clicked, this, [this] { session_.SpeedButton1Click(); });
    connect(read_, &QPushButton::clicked, this, [this] { session_.KB901X_READClick(); });
    connect(write_, &QPushButton::clicked, this, [this] { session_.KB901X_WRITEClick(); });
    connect(exit_, &QPushButton::clicked, this, [this] { session_.EXIT_KB901XClick(); });
    // Idle, a close is EXIT. During an operation EXIT refuses; closing the
    // window stops the operation only when the user says so.
    closeAsExit([this] { session_.EXIT_KB901XClick(); });
}

bool Kb901xWindow::saveScenes(SceneContext& scenes) {
    return saveReadScene(
        scenes, [this] { session_.KB901X_READClick(); }, *gauge_, "ene_window_reading.png");
}

}  // namespace zjig::gui

namespace zjig::kb90 {
std::unique_ptr<gui::FormWindow> makeWindow(ModeSession& session) {
    return std::make_unique<gui::Kb901xWindow>(static_cast<Kb901xSession&>(session));
}
}  // namespace zjig::kb90
