// The few widget kinds the windows share: the message memo, the progress
// gauge with a settable colour, and colour helpers.
#pragma once

#include <QColor>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QString>
#include <string_view>

#include "base/ui_port.h"

namespace zjig::gui {

// Texts of the controls as the sources spell them: layout names and most
// captions are Latin-1, captions with Russian text UTF-8.
inline QString latin(const char* s) { return QString::fromLatin1(s); }
inline QString latin(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
inline QString utf8(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

inline QColor toQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

// Colours of the windows beyond the port's named ones.
inline constexpr Rgb kSilver{192, 192, 192};
inline constexpr Rgb kNavy{0, 0, 128};

// Read-only multi-line text with a vertical scroll bar; every appended line
// scrolls it to the end so the latest message is in view.
class MemoBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit MemoBox(const QString& objectName, QWidget* parent = nullptr);
    void appendLine(const QString& line);
    void clearLines();
    // The lines shown, in order (an empty memo has none).
    QStringList lines() const;

  private:
    // An empty first line leaves the document looking empty; the count tells.
    int lineCount_ = 0;
};

// A progress gauge: maximum, progress and foreground colour. Progress is
// kept within 0..maximum, as the fixture's operations expect of a gauge.
class ColorGauge : public QProgressBar {
    Q_OBJECT
  public:
    explicit ColorGauge(const QString& objectName, QWidget* parent = nullptr);
    void setGaugeMax(int maximum);
    void setProgress(int progress);
    void setBarColor(const QColor& colour);
    QColor barColor() const;
};

// Background colour of a control in every state (enabled or not), so a
// yellow list stays yellow while disabled.
void setBackground(QWidget* widget, const QColor& colour);
QColor background(const QWidget* widget);
// Caption colour of a button or label.
void setForeground(QWidget* widget, const QColor& colour);
void setBold(QWidget* widget, int pointSizeDelta = 0);

}  // namespace zjig::gui
