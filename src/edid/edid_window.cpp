#include "edid/edid_window.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QVBoxLayout>

#include "edid/edid_controls.h"
#include "gui/qt_port.h"

namespace zjig::gui {

using namespace edid;

namespace {

QPushButton* operationButton(const char* name, std::string_view caption, QWidget* parent) {
    auto* b = new QPushButton(latin(caption), parent);
    b->setObjectName(latin(name));
    b->setMinimumSize(140, 40);
    setBold(b, 1);
    return b;
}

// Characters in one hex view line: ':', 16 x " XX", a blank, 16 characters.
constexpr int kHexLineChars = 1 + 16 * 3 + 1 + 16;

}  // namespace

EdidWindow::EdidWindow(EdidSession& session)
    : FormWindow(kWindow, latin(kWindowCaption)), session_(session) {
    read_ = operationButton(kReadButton, kReadCaption, this);
    write_ = operationButton(kWriteButton, kWriteCaption, this);
    exit_ = operationButton(kExitButton, kExitCaption, this);

    memo_ = new MemoBox(latin(kMemo), this);
    // The hex view lines up its columns only in a fixed-pitch font.
    memo_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    const QFontMetrics metrics(memo_->font());
    memo_->setMinimumWidth(metrics.horizontalAdvance(QString(kHexLineChars + 4, QLatin1Char('0'))) +
                           memo_->verticalScrollBar()->sizeHint().width() + 12);

    summary_ = new QLabel(this);
    summary_->setObjectName(latin(kSummaryLabel));
    summary_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    summary_->setWordWrap(true);
    summary_->setMinimumWidth(200);

    auto* side = new QVBoxLayout;
    side->setSpacing(10);
    side->addWidget(read_);
    side->addWidget(write_);
    side->addSpacing(8);
    side->addWidget(summary_, 1);
    side->addWidget(exit_);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    layout->addLayout(side);
    layout->addWidget(memo_, 1);
    resize(minimumSizeHint().width() + 40, 560);

    connect(read_, &QPushButton::clicked, this, [this] { session_.EDID_READClick(); });
    connect(write_, &QPushButton::clicked, this, [this] { session_.EDID_WRITEClick(); });
    connect(exit_, &QPushButton::clicked, this, [this] { session_.EXIT_EDIDClick(); });
    // An operation blocks the window until it ends, so a close is always EXIT.
    onCloseRequest = [this] { session_.EXIT_EDIDClick(); };
}

bool EdidWindow::saveScenes(SceneContext& scenes) {
    const std::string dump =
        QDir(scenes.dir).filePath(QStringLiteral("edid_read.bin")).toStdString();
    scenes.port.setFileDialogHandler([dump](const FileDialogSpec&) { return std::optional(dump); });
    session_.EDID_READClick();
    scenes.port.flush();
    const bool saved = scenes.save(this, "edid_window_read.png");
    scenes.port.setFileDialogHandler(nullptr);
    QFile::remove(QString::fromStdString(dump));
    return saved;
}

}  // namespace zjig::gui

namespace zjig::edid {
std::unique_ptr<gui::FormWindow> makeWindow(ModeSession& session) {
    return std::make_unique<gui::EdidWindow>(static_cast<EdidSession&>(session));
}
}  // namespace zjig::edid
