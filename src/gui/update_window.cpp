#include "gui/update_window.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "base/names.h"

namespace zjig::gui {

UpdateWindow::UpdateWindow()
    : FormWindow(names::kUpdateWindow, QString::fromUtf8(kUpdateCaption),
                 captionOnlyFlags() | Qt::WindowStaysOnTopHint) {
    memo_ = new MemoBox(QString::fromLatin1(names::kMemoUpdate), this);
    gauge_ = new ColorGauge(QString::fromLatin1(names::kGaugeUpdate), this);
    gauge_->setBarColor(toQColor(kBlue));
    gauge_->setMinimumHeight(24);

    exit_ = new QPushButton(QStringLiteral("EXIT"), this);
    exit_->setObjectName(QString::fromLatin1(names::kUpdateExit));
    exit_->setEnabled(false);
    exit_->setMinimumSize(110, 32);
    setBold(exit_);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(gauge_, 1);
    bottom->addSpacing(12);
    bottom->addWidget(exit_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(memo_, 1);
    layout->addLayout(bottom);
    resize(560, 380);
}

}  // namespace zjig::gui
