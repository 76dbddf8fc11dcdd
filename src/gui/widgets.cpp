#include "gui/widgets.h"

#include <QPalette>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>

namespace zjig::gui {

namespace {
constexpr QPalette::ColorGroup kGroups[] = {QPalette::Active, QPalette::Inactive,
                                            QPalette::Disabled};
}

MemoBox::MemoBox(const QString& objectName, QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(objectName);
    setReadOnly(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setUndoRedoEnabled(false);
}

void MemoBox::appendLine(const QString& line) {
    // Not appendPlainText: it drops empty lines at the top of an empty memo,
    // and the blank line that opens a block of messages is part of it.
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    const bool first = lineCount_ == 0;
    ++lineCount_;
    cursor.beginEditBlock();  // one change for whoever watches the memo
    if (!first) cursor.insertBlock();
    cursor.insertText(line);
    cursor.endEditBlock();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void MemoBox::clearLines() {
    clear();
    lineCount_ = 0;
}

QStringList MemoBox::lines() const {
    QStringList out;
    if (lineCount_ == 0) return out;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) out << b.text();
    return out;
}

ColorGauge::ColorGauge(const QString& objectName, QWidget* parent) : QProgressBar(parent) {
    setObjectName(objectName);
    setRange(0, 100);
    setValue(0);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
    setFormat(QStringLiteral("%p%"));
}

void ColorGauge::setGaugeMax(int maximum) {
    if (maximum < 1) maximum = 1;
    // QProgressBar empties itself when its value falls outside a new range;
    // a gauge keeps its progress, cut to the new maximum.
    const int progress = std::max(value(), minimum());
    setMaximum(maximum);
    setValue(std::min(progress, maximum));
}

void ColorGauge::setProgress(int progress) {
    if (progress < minimum()) progress = minimum();
    if (progress > maximum()) progress = maximum();
    setValue(progress);
}

void ColorGauge::setBarColor(const QColor& colour) {
    QPalette p = palette();
    for (auto g : kGroups) p.setColor(g, QPalette::Highlight, colour);
    // Keep the percentage readable on light and dark bars alike.
    const QColor text = colour.lightness() > 150 ? QColor(Qt::black) : QColor(Qt::white);
    for (auto g : kGroups) p.setColor(g, QPalette::HighlightedText, text);
    setPalette(p);
}

QColor ColorGauge::barColor() const {
    return palette().color(QPalette::Active, QPalette::Highlight);
}

void setBackground(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    if (qobject_cast<QPlainTextEdit*>(widget)) {
        // Only the text area: its scroll bar keeps the usual look.
        for (auto g : kGroups) p.setColor(g, QPalette::Base, colour);
        widget->setPalette(p);
        return;
    }
    for (auto g : kGroups) {
        p.setColor(g, QPalette::Button, colour);
        p.setColor(g, QPalette::Base, colour);
        p.setColor(g, QPalette::Window, colour);
        // A list's prompt ("Select MB") must stay readable on yellow.
        p.setColor(g, QPalette::PlaceholderText, QColor(90, 90, 90));
    }
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

QColor background(const QWidget* widget) {
    if (qobject_cast<const QPlainTextEdit*>(widget))
        return widget->palette().color(QPalette::Active, QPalette::Base);
    return widget->palette().color(QPalette::Active, QPalette::Button);
}

void setForeground(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    for (auto g : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(g, QPalette::ButtonText, colour);
        p.setColor(g, QPalette::WindowText, colour);
    }
    widget->setPalette(p);
}

void setBold(QWidget* widget, int pointSizeDelta) {
    QFont f = widget->font();
    f.setBold(true);
    if (pointSizeDelta != 0 && f.pointSize() > 0) f.setPointSize(f.pointSize() + pointSizeDelta);
    widget->setFont(f);
}

}  // namespace zjig::gui
