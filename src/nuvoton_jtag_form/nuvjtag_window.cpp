#include "nuvoton_jtag_form/nuvjtag_window.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "gui/event_wait.h"
#include "gui/qt_port.h"
#include "nuvoton_jtag_form/nuvjtag_commands.h"
#include "nuvoton_jtag_form/nuvjtag_controls.h"

namespace zjig::gui {

using namespace nuvjtag;

namespace {

QPushButton* stepButton(const char* name, std::string_view caption, QWidget* parent) {
    auto* b = new QPushButton(latin(caption), parent);
    b->setObjectName(latin(name));
    b->setMinimumSize(230, 40);
    setBold(b, 1);
    return b;
}

}  // namespace

// Minimise is the only caption button: the window is left with EXIT.
NuvotonJtagWindow::NuvotonJtagWindow(NuvotonJtagSession& session)
    : ModeWindow(kWindow, latin(kWindowCaption), session,
                 captionOnlyFlags() | Qt::WindowMinimizeButtonHint),
      session_(session) {
    cable_ = new QCheckBox(latin(kCableCaption), this);
    cable_->setObjectName(latin(kCableBox));
    cable_->setChecked(true);
    setBold(cable_);

    settings_ = stepButton(kSettingsButton, kSettingsCaption, this);
    settings_->setDefault(true);
    connect_ = stepButton(kConnectButton, kConnectCaption, this);
    read_ = stepButton(kReadButton, kReadCaption, this);
    write_ = stepButton(kWriteButton, kWriteCaption, this);
    exit_ = stepButton(kExitButton, kExitCaption, this);
    for (QPushButton* b : {connect_, read_, write_}) b->setEnabled(false);

    script_ = new QPushButton(latin(kScriptCaption), this);
    script_->setObjectName(latin(kScriptButton));
    script_->setFixedSize(40, 24);
    script_->setToolTip(QStringLiteral("Choose the JTAG script (.vss)"));

    counter_ = new QLabel(this);
    counter_->setObjectName(latin(kLineCounter));
    counter_->setMinimumWidth(80);
    counter_->setVisible(false);

    memo_ = new MemoBox(latin(kMemo), this);
    gauge_ = new ColorGauge(latin(kGauge), this);
    gauge_->setGaugeMax(kGaugeLayoutMax);
    gauge_->setMinimumHeight(24);

    auto* scriptRow = new QHBoxLayout;
    scriptRow->setSpacing(8);
    scriptRow->addWidget(script_);
    scriptRow->addWidget(counter_, 1);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(10);
    buttons->addWidget(settings_);
    buttons->addWidget(connect_);
    buttons->addSpacing(16);
    buttons->addWidget(read_);
    buttons->addWidget(write_);
    buttons->addStretch(1);
    buttons->addLayout(scriptRow);
    buttons->addSpacing(16);
    buttons->addWidget(exit_);

    auto* middle = new QHBoxLayout;
    middle->setSpacing(12);
    middle->addLayout(buttons);
    middle->addWidget(memo_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    layout->addWidget(cable_);
    layout->addLayout(middle, 1);
    layout->addWidget(gauge_);
    setFixedSize(kWindowWidth, kWindowHeight);

    // Events, as the session names them.
    connect(cable_, &QCheckBox::clicked, this,
            [this](bool checked) { session_.CheckBox1Click(checked); });
    connect(settings_, &QPushButton::clicked, this, [this] { session_.BitBtn_SETTINGSClick(); });
    connect(connect_, &QPushButton::clicked, this, [this] { session_.BitBtn_CONNECTClick(); });
    connect(read_, &QPushButton::clicked, this, [this] { session_.BitBtn_NUV_JTAG_RDClick(); });
    connect(write_, &QPushButton::clicked, this, [this] { session_.BitBtn_NUV_JTAG_WRClick(); });
    connect(script_, &QPushButton::clicked, this, [this] { session_.BitBtnFILE_OPENClick(); });
    connect(exit_, &QPushButton::clicked, this, [this] { session_.BitBtn_EXIT_NUVClick(); });
    // Idle, a close is EXIT. While the JIG works (the script, a read or a
    // write) EXIT refuses; closing the window stops the work only when the
    // user says so.
    closeAsExit([this] { session_.BitBtn_EXIT_NUVClick(); },
                "The JIG is working with the controller. Stop it and leave the window?\n"
                "A write stopped now leaves the controller's flash incomplete.");
}

bool NuvotonJtagWindow::saveScenes(SceneContext& scenes) {
    using namespace std::chrono_literals;
    const QString dumpFile = QDir(scenes.dir).filePath(QStringLiteral("nuvjtag_reading.bin"));
    const std::string dump = dumpFile.toStdString();
    scenes.port.setFileDialogHandler([dump](const FileDialogSpec& spec) {
        return spec.dialog == kSaveDialog ? std::optional(dump) : std::nullopt;
    });
    // The steps of the memo: settings, check with the script, then READ.
    session_.BitBtn_SETTINGSClick();
    bool saved = true;
    if (session_.lastOperationSucceeded() == true) {
        session_.BitBtn_CONNECTClick();
        processEventsUntil([&] { return !session_.busy(); }, 60s);
        session_.waitIdle(60s);
    }
    if (session_.lastOperationSucceeded() == true) {
        session_.BitBtn_NUV_JTAG_RDClick();
        // A read over a fast link may be over before a picture is due: then
        // there is none rather than one of a finished read.
        const auto midway = [&] {
            return gauge_->value() > gauge_->maximum() / 3 && gauge_->value() < gauge_->maximum();
        };
        processEventsUntil([&] { return !session_.busy() || midway(); }, 60s);
        saved = !midway() || scenes.save(this, "nuvjtag_window_reading.png");
        processEventsUntil([&] { return !session_.busy(); }, 60s);
    }
    scenes.port.setFileDialogHandler(nullptr);
    QFile::remove(dumpFile);
    return saved;
}

}  // namespace zjig::gui

namespace zjig::nuvjtag {
std::unique_ptr<gui::FormWindow> makeWindow(ModeSession& session) {
    return std::make_unique<gui::NuvotonJtagWindow>(static_cast<NuvotonJtagSession&>(session));
}
}  // namespace zjig::nuvjtag
