#include "keyboard/keyboard_window.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRegularExpression>

#include "gui/event_wait.h"
#include "gui/qt_port.h"
#include "gui/widgets.h"
#include "keyboard/keyboard_answer.h"
#include "keyboard/keyboard_controls.h"

namespace zjig::gui {

using namespace keyboard;

namespace {

// Shapes are 17 wide at a 15-pixel pitch; drawn that wide, neighbours
// would overlap, so they are drawn narrower at the same places.
constexpr int kDrawnWidth = 13;
constexpr int kCorner = 3;
const QColor kShapeEdge(70, 70, 70);

// Right of the shapes: the buttons, boxes and status.
constexpr int kPanelLeft = 585;
constexpr int kPanelWidth = 170;
constexpr int kMatrixWidth = 570;
constexpr int kWindowWidth = kPanelLeft + kPanelWidth + 20;
constexpr int kWindowHeight = shapeTop(kPins - 1) + kShapeHeight + 40;

// Label_keybord: its caption's numbers, each centred over its own column.
class ColumnNumbers : public QLabel {
  public:
    using QLabel::QLabel;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(palette().color(QPalette::WindowText));
        const QRegularExpression number(QStringLiteral("\\d+"));
        for (auto it = number.globalMatch(text()); it.hasNext();) {
            const int column = it.next().captured().toInt();
            if (column < 2 || column > kPins) continue;
            const int centre = shapeLeft(column) + kDrawnWidth / 2 - x();
            const QString digits = QString::number(column);
            const int w = p.fontMetrics().horizontalAdvance(digits);
            p.drawText(QRect(centre - w / 2 - 1, 0, w + 2, height()), Qt::AlignCenter, digits);
        }
    }
};

QPushButton* button(const char* name, std::string_view caption, QWidget* parent) {
    auto* b = new QPushButton(latin(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    setBold(b, 1);
    return b;
}

QCheckBox* box(const char* name, std::string_view caption, QWidget* parent) {
    auto* b = new QCheckBox(latin(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

}  // namespace

// ---------------------------------------------------------------- shapes

KeyShape::KeyShape(int keyIndex, const QRect& place, KeyMatrix* matrix)
    : QObject(matrix), matrix_(matrix), place_(place), colour_(toQColor(kNotReported)) {
    setObjectName(QString::fromStdString(shapeName(keyIndex)));
}

void KeyShape::setColour(const QColor& colour) {
    if (colour == colour_) return;
    colour_ = colour;
    matrix_->update(place_.adjusted(-1, -1, 1, 1));
}

KeyMatrix::KeyMatrix(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("KeyMatrix"));
    for (int i = 1; i < kPins; ++i)
        for (int j = i + 1; j <= kPins; ++j) {
            const int key = keyIndex({i, j});
            shapes_[static_cast<size_t>(key)] = new KeyShape(
                key, QRect(shapeLeft(j), shapeTop(i), kDrawnWidth, kShapeHeight), this);
        }
}

KeyShape* KeyMatrix::shape(int key) const {
    if (!hasShape(pairOfKey(key))) return nullptr;
    return shapes_[static_cast<size_t>(key)];
}

void KeyMatrix::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kShapeEdge, 1));
    for (const KeyShape* s : shapes_) {
        if (!s || !event->region().intersects(s->place().adjusted(-1, -1, 1, 1))) continue;
        p.setBrush(s->colour());
        p.drawRoundedRect(QRectF(s->place()).adjusted(0.5, 0.5, -0.5, -0.5), kCorner, kCorner);
    }
}

// ---------------------------------------------------------------- window

KeyboardWindow::KeyboardWindow(KeyboardSession& session)
    : FormWindow(kWindow, latin(kWindowCaption)), session_(session) {
    // The shapes keep their places in the window: the matrix covers it from
    // its corner.
    matrix_ = new KeyMatrix(this);
    matrix_->setGeometry(0, 0, kMatrixWidth, kWindowHeight);

    columns_ = new ColumnNumbers(latin(kColumnCaption), this);
    columns_->setObjectName(QString::fromLatin1(kColumnLabel));
    columns_->setGeometry(0, shapeTop(1) - 20, kMatrixWidth, 16);
    setBold(columns_);

    const int rowLabelLeft = shapeLeft(kPins) + kDrawnWidth + 6;
    for (int row : kLabelledRows) {
        auto* label = new QLabel(QString::number(row), this);
        label->setObjectName(latin(kRowLabelPrefix) + QString::number(row));
        label->setGeometry(rowLabelLeft, shapeTop(row) - 3, 26, kShapeHeight + 6);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        setBold(label);
    }

    start_ = button(kStartButton, kStartCaption, this);
    start_->setGeometry(kPanelLeft, shapeTop(1) - 4, kPanelWidth, 50);
    clear_ = button(kClearButton, kClearCaption, this);
    clear_->setGeometry(kPanelLeft, shapeTop(1) + 60, kPanelWidth, 34);
    buzzer_ = box(kBuzzerBox, kBuzzerCaption, this);
    buzzer_->setGeometry(kPanelLeft, shapeTop(1) + 110, kPanelWidth, 24);
    hide_ = box(kHideBox, kHideCaption, this);
    hide_->setGeometry(kPanelLeft, shapeTop(1) + 138, kPanelWidth, 24);
    hide_->setEnabled(false);

    // The status is the label's filled background; its text stays dark so
    // that it reads on green as well as on red.
    status_ = new QLabel(latin(kStatusIdle), this);
    status_->setObjectName(QString::fromLatin1(kStatusLabel));
    status_->setGeometry(kPanelLeft, shapeTop(1) + 180, kPanelWidth, 36);
    status_->setAlignment(Qt::AlignCenter);
    status_->setFrameShape(QFrame::Panel);
    status_->setFrameShadow(QFrame::Sunken);
    setBold(status_, 1);
    setBackground(status_, toQColor(kStatusProblemColour));
    setForeground(status_, QColor(Qt::black));

    pairs_ = new QLabel(latin(kPairsSeenPrefix) + QStringLiteral("0"), this);
    pairs_->setObjectName(QString::fromLatin1(kPairsSeenLabel));
    pairs_->setGeometry(kPanelLeft, shapeTop(1) + 226, kPanelWidth, 20);
    pairs_->setAlignment(Qt::AlignCenter);

    exit_ = button(kExitButton, kExitCaption, this);
    exit_->setGeometry(kPanelLeft, kWindowHeight - 60, kPanelWidth, 40);

    setFixedSize(kWindowWidth, kWindowHeight);

    connect(start_, &QPushButton::clicked, this, [this] { session_.START_SCANClick(); });
    connect(exit_, &QPushButton::clicked, this, [this] { session_.EXIT_KB_TESTClick(); });
    connect(clear_, &QPushButton::clicked, this, [this] { session_.ClearClick(); });
    connect(buzzer_, &QCheckBox::clicked, this,
            [this](bool ticked) { session_.Buzzer_boxClick(ticked); });
    connect(hide_, &QCheckBox::clicked, this,
            [this](bool ticked) { session_.CheckBox_HIDEClick(ticked); });
    onCloseRequest = [this] { closeRequested(); };
}

void KeyboardWindow::closeRequested() {
    // A scan reads nothing that could be lost: closing the window stops it
    // (the JIG told to leave its scan, the link closed), then leaves as EXIT.
    if (session_.busy()) session_.shutdown();
    session_.EXIT_KB_TESTClick();
}

bool KeyboardWindow::saveScenes(SceneContext& scenes) {
    using namespace std::chrono_literals;
    // Waits until some pair has been reported and then none for a moment.
    auto settle = [this](int above) {
        int last = session_.pairsSeen();
        auto quietSince = std::chrono::steady_clock::now();
        processEventsUntil(
            [&] {
                const int now = session_.pairsSeen();
                if (now != last) {
                    last = now;
                    quietSince = std::chrono::steady_clock::now();
                }
                return now > above && std::chrono::steady_clock::now() - quietSince > 300ms;
            },
            2s);
    };
    session_.START_SCANClick();
    if (!session_.busy()) return true;  // no JIG to scan with: nothing to show
    // What the JIG reports is up to it (`kbd=` of a simulated one): keys
    // first, then the pairs that come after "Hide current" is ticked.
    settle(0);
    hide_->click();
    settle(session_.pairsSeen());
    scenes.port.flush();
    const bool saved = scenes.save(this, "keyboard_window_scanning.png");
    session_.stopScan();
    processEventsUntil([&] { return !session_.busy(); }, 5s);
    return saved;
}

}  // namespace zjig::gui

namespace zjig::keyboard {
std::unique_ptr<gui::FormWindow> makeWindow(ModeSession& session) {
    return std::make_unique<gui::KeyboardWindow>(static_cast<KeyboardSession&>(session));
}
}  // namespace zjig::keyboard
