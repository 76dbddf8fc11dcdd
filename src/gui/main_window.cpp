#include "gui/main_window.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "base/modes.h"
#include "base/names.h"
#include "gui/widgets.h"

namespace zjig::gui {

MainWindow::MainWindow()
    : FormWindow(names::kMainWindow, QString::fromUtf8(kMainCaption),
                 captionOnlyFlags() | Qt::MSWindowsFixedSizeDialogHint) {
    selector_ = new QComboBox(this);
    selector_->setObjectName(QString::fromLatin1(names::kMainSelector));
    for (auto item : kSelectorItems)
        selector_->addItem(QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size())));
    selector_->setCurrentIndex(0);
    selector_->setMaxVisibleItems(static_cast<int>(kSelectorItems.size()));
    setBold(selector_, 6);
    setBackground(selector_, toQColor(kYellow));
    selector_->setMinimumHeight(selector_->sizeHint().height() + 8);
    selector_->setMinimumWidth(420);

    start_ = new QPushButton(QStringLiteral("Start"), this);
    start_->setObjectName(QString::fromLatin1(names::kMainConnect));
    setBold(start_, 4);
    setForeground(start_, toQColor(kRed));
    start_->setDefault(true);

    exit_ = new QPushButton(QStringLiteral("Exit"), this);
    exit_->setObjectName(QString::fromLatin1(kExitButton));
    setBold(exit_, 4);

    for (QPushButton* b : {start_, exit_}) b->setMinimumSize(150, 46);

    testConnection_ = new QPushButton(QStringLiteral("Test connection..."), this);
    testConnection_->setObjectName(QString::fromLatin1(kTestConnectionButton));
    testConnection_->setFlat(true);
    testConnection_->setToolTip(
        QStringLiteral("Open the connection test window: driver version and JIG answer of "
                       "every attached device"));
    testConnection_->setCursor(Qt::PointingHandCursor);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addStretch(1);
    buttons->addWidget(exit_);

    auto* footer = new QHBoxLayout;
    footer->addWidget(testConnection_);
    footer->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 10);
    layout->setSpacing(14);
    layout->addWidget(selector_);
    layout->addLayout(buttons);
    layout->addLayout(footer);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace zjig::gui
