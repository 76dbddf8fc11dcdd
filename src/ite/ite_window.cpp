#include "ite/ite_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "gui/event_wait.h"
#include "gui/qt_port.h"
#include "ite/ite_commands.h"
#include "ite/ite_controls.h"

namespace zjig::gui {

using namespace ite;

namespace {

QPushButton* button(const char* name, std::string_view caption, QWidget* parent) {
    auto* b = new QPushButton(latin(caption), parent);
    b->setObjectName(latin(name));
    b->setMinimumSize(170, 38);
    setBold(b, 1);
    return b;
}

}  // namespace

// Minimise is the only caption button: the window is left with EXIT.
IteWindow::IteWindow(IteSession& session)
    : ModeWindow(kWindow, latin(kWindowCaption), session,
                 captionOnlyFlags() | Qt::WindowMinimizeButtonHint),
      session_(session) {
    motherboards_ = new QComboBox(this);
    motherboards_->setObjectName(latin(kMbList));
    motherboards_->setMaxVisibleItems(30);
    motherboards_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    motherboards_->setMinimumContentsLength(50);

    cable_ = new QCheckBox(latin(kCableCaption), this);
    cable_->setObjectName(latin(kCableBox));
    cable_->setChecked(true);
    cable_->setEnabled(false);

    frame_ = new QGroupBox(latin(kPinFrameCaption), this);
    frame_->setObjectName(latin(names::controlLeaf(kPinFrame)));
    auto* pins = new QGridLayout(frame_);
    pins->setContentsMargins(12, 16, 12, 12);
    pins->setHorizontalSpacing(10);
    pins->setVerticalSpacing(6);
    // Two columns in the labels' numbering: the data lines on the left, the
    // strobes, BUSY and the two scan inputs on the right.
    for (const SignalInfo& s : signalTable()) {
        const int number = QString::fromLatin1(s.label).mid(5).toInt();  // "Label<n>"
        const int column = number <= 8 ? 0 : 2;
        const int row = number <= 8 ? number - 1 : number - 9;
        auto* label = new QLabel(latin(s.caption), frame_);
        label->setObjectName(latin(s.label));
        setForeground(label, toQColor(s.colour));
        setBold(label);
        auto* drop = new QComboBox(frame_);
        drop->setObjectName(latin(s.dropDown));
        drop->setEditable(true);
        drop->setInsertPolicy(QComboBox::NoInsert);
        drop->lineEdit()->setMaxLength(kContactTextMax);
        drop->setMaxVisibleItems(kContactItems);
        drop->setMinimumWidth(64);
        for (int i = 0; i < kContactItems; ++i)
            drop->addItem(QString::fromStdString(contactText(i)));
        labels_[static_cast<size_t>(s.signal)] = label;
        dropDowns_[static_cast<size_t>(s.signal)] = drop;
        pins->addWidget(label, row, column);
        pins->addWidget(drop, row, column + 1);

        const IteSignal signal = s.signal;
        // Only the user's choices and typing are events; the session setting
        // a drop-down is not.
        connect(drop, &QComboBox::textActivated, this, [this, signal](const QString& text) {
            session_.ComboBoxChange(signal, text.toStdString());
        });
        connect(drop->lineEdit(), &QLineEdit::textEdited, this,
                [this, signal](const QString& text) {
                    session_.ComboBoxChange(signal, text.toStdString());
                });
    }
    pins->setColumnMinimumWidth(2, 200);
    apply_ = button(kApplyButton, kApplyCaption, frame_);
    pins->addWidget(apply_, 7, 2, 2, 2);

    check_ = button(kCheckButton, kCheckCaption, this);
    read_ = button(kReadButton, kReadCaption, this);
    write_ = button(kWriteButton, kWriteCaption, this);
    exit_ = button(kExitButton, kExitCaption, this);
    language_ = new QCheckBox(latin(kLanguageCaption), this);
    language_->setObjectName(latin(kLanguageBox));
    language_->setChecked(true);

    memoRu_ = new MemoBox(latin(kMemoRu), this);
    memoEng_ = new MemoBox(latin(kMemoEng), this);
    memoEng_->setVisible(false);
    memoRu_->setMinimumHeight(260);
    memoEng_->setMinimumHeight(260);

    readGauge_ = new ColorGauge(latin(kReadGauge), this);
    readGauge_->setGaugeMax(kReadGaugeMax);
    readGauge_->setMinimumHeight(22);
    speedGauge_ = new ColorGauge(latin(kSpeedGauge), this);
    speedGauge_->setGaugeMax(kSpeedGaugeMax);
    speedGauge_->setBarColor(toQColor(kYellow));
    speedGauge_->setMinimumHeight(22);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(10);
    buttons->addWidget(check_);
    buttons->addWidget(read_);
    buttons->addWidget(write_);
    buttons->addStretch(1);
    buttons->addWidget(language_);
    buttons->addWidget(exit_);

    auto* upper = new QHBoxLayout;
    upper->setSpacing(12);
    upper->addWidget(frame_, 1);
    upper->addLayout(buttons);

    // The two memos share one place; the language box shows one of them.
    auto* memos = new QGridLayout;
    memos->addWidget(memoRu_, 0, 0);
    memos->addWidget(memoEng_, 0, 0);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(10);
    layout->addWidget(motherboards_);
    layout->addWidget(cable_);
    layout->addLayout(upper);
    layout->addLayout(memos, 1);
    layout->addWidget(readGauge_);
    layout->addWidget(speedGauge_);
    resize(900, 780);

    connect(motherboards_, &QComboBox::activated, this,
            [this](int index) { session_.ITE_ComboBox_MB_SWITCHSelect(index); });
    connect(cable_, &QCheckBox::clicked, this,
            [this](bool checked) { session_.ITE_CheckBoxClick(checked); });
    connect(language_, &QCheckBox::clicked, this,
            [this](bool checked) { session_.CheckBox_RUS_ENGClick(checked); });
    connect(apply_, &QPushButton::clicked, this, [this] { session_.ITE_SETUP_BitBtnClick(); });
    connect(check_, &QPushButton::clicked, this, [this] { session_.ITE_CHECK_CON_BitBtnClick(); });
    connect(read_, &QPushButton::clicked, this, [this] { session_.ITE_READ_BitBtnClick(); });
    connect(write_, &QPushButton::clicked, this, [this] { session_.ITE_WRITE_BitBtnClick(); });
    connect(exit_, &QPushButton::clicked, this, [this] { session_.ITE_EXIT_BitBtnClick(); });
    // Idle, a close is EXIT. During an operation EXIT refuses; closing the
    // window stops the operation only when the user says so.
    closeAsExit([this] { session_.ITE_EXIT_BitBtnClick(); });
}

bool IteWindow::saveScenes(SceneContext& scenes) {
    // As a technician does it: the first motherboard of the list, APPLY, READ.
    if (motherboards_->count() > 1) {
        motherboards_->setCurrentIndex(1);
        session_.ITE_ComboBox_MB_SWITCHSelect(1);
    }
    session_.ITE_SETUP_BitBtnClick();
    const std::string dump = QDir(scenes.dir).filePath(QStringLiteral("reading.bin")).toStdString();
    scenes.port.setFileDialogHandler([dump](const FileDialogSpec&) { return std::optional(dump); });

    // The pictures are taken the moment the gauge passes a third, however
    // fast the JIG is, once with each memo in view. They are grabbed right
    // here: letting events run first would let the read run to its end.
    bool pictured = false;
    bool saved = true;
    auto picture = [&](const char* file) {
        const QString path = QDir(scenes.dir).filePath(QString::fromLatin1(file));
        return grab().save(path, "PNG");
    };
    auto onProgress = [&](int value) {
        if (pictured || value <= readGauge_->maximum() / 3) return;
        pictured = true;
        saved = picture("ite_window_reading_ru.png");
        language_->setChecked(false);
        memoRu_->hide();
        memoEng_->show();
        saved = picture("ite_window_reading_eng.png") && saved;
        language_->setChecked(true);
        memoEng_->hide();
        memoRu_->show();
    };
    const auto watch = connect(readGauge_, &QProgressBar::valueChanged, this, onProgress);
    session_.ITE_READ_BitBtnClick();
    processEventsUntil([&] { return !session_.busy(); }, std::chrono::seconds(60));
    QCoreApplication::processEvents();  // the window updates the read left queued
    disconnect(watch);
    scenes.port.setFileDialogHandler(nullptr);
    QFile::remove(QString::fromStdString(dump));
    return saved;
}

}  // namespace zjig::gui

namespace zjig::ite {
std::unique_ptr<gui::FormWindow> makeWindow(ModeSession& session) {
    return std::make_unique<gui::IteWindow>(static_cast<IteSession&>(session));
}
}  // namespace zjig::ite
