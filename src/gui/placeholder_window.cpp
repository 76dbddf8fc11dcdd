#include "gui/placeholder_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <cstring>

#include "app/names.h"
#include "gui/widgets.h"

namespace zjig::gui {

const PlaceholderMode kPlaceholderModes[6] = {
    {names::kEdidWindow, "EEPROM LCD read/write 09/01/2017", "EXIT_EDID"},
    {names::kKeyboardWindow, "Keyboard_testing 02_03_2017", "EXIT_KB_TEST"},
    {names::kMecWindow, "Read and Write MEC   19_03_17", "EXIT_MEC16"},
    {names::kIteWindow, "ITE 14_03_2017", "ITE_EXIT_BitBtn"},
    {names::kNpceWindow, "NPCE288N/388N 02_02_2017", "EXIT_NPCE"},
    {names::kNuvotonJtagWindow, "NUVOTON JTAG 11_03_2017", "BitBtn_EXIT_NUV"},
};

const PlaceholderMode* placeholderMode(const char* window) {
    for (const auto& mode : kPlaceholderModes)
        if (std::strcmp(mode.window, window) == 0) return &mode;
    return nullptr;
}

PlaceholderWindow::PlaceholderWindow(const PlaceholderMode& mode)
    : FormWindow(mode.window, QString::fromUtf8(mode.caption)) {
    auto* text = new QLabel(QString::fromUtf8(kNotAvailableText), this);
    text->setObjectName(QStringLiteral("NotAvailable"));
    text->setAlignment(Qt::AlignCenter);
    text->setWordWrap(true);

    exit_ = new QPushButton(QStringLiteral("EXIT"), this);
    exit_->setObjectName(QString::fromLatin1(mode.exitName));
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
