#include "gui/testing_window.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "base/names.h"

namespace zjig::gui {

TestingWindow::TestingWindow()
    : FormWindow(names::kTestingWindow, QString::fromUtf8(kTestingCaption)) {
    memo_ = new MemoBox(QString::fromLatin1(names::kTestMemo), this);
    memo_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setBackground(memo_, toQColor(kSilver));

    test_ = new QPushButton(QStringLiteral("Test connect"), this);
    test_->setObjectName(QString::fromLatin1(kTestConnectButton));
    setBold(test_, 2);
    setForeground(test_, toQColor(kNavy));
    test_->setMinimumSize(160, 36);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(test_);
    bottom->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(memo_, 1);
    layout->addLayout(bottom);
    resize(540, 420);
}

}  // namespace zjig::gui
