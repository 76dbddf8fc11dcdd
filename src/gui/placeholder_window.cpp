#include "gui/placeholder_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "gui/widgets.h"

namespace zjig::gui {

PlaceholderWindow::PlaceholderWindow(const ModeInfo& mode)
    : FormWindow(mode.window, QString::fromUtf8(mode.placeholderCaption)) {
    auto* text = new QLabel(QString::fromUtf8(kNotAvailableText), this);
    text->setObjectName(QStringLiteral("NotAvailable"));
    text->setAlignment(Qt::AlignCenter);
    text->setWordWrap(true);

    exit_ = new QPushButton(QStringLiteral("EXIT"), this);
    exit_->setObjectName(QString::fromLatin1(mode.placeholderExit));
    exit_->setMinimumSize(110, 34);
    setBold(exit_);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(exit_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addStretch(1);
    layout->addWidget(text);
    layout->addStretch(1);
    layout->addLayout(bottom);
    resize(440, 200);
}

}  // namespace zjig::gui
