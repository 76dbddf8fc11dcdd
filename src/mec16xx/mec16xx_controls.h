// Layout of the MEC16xx window: control names (the port addresses controls
// by them), captions, the memo's standing notes and the help text. Shared by
// the session and the front ends so that both speak of the same controls.
#pragma once

#include <array>
#include <string_view>

#include "base/names.h"

namespace zjig::mec16 {

inline constexpr const char* kWindow = names::kMecWindow;
inline constexpr const char* kMainWindow = names::kMainWindow;
inline constexpr std::string_view kWindowCaption = "Read and Write MEC   19_03_17";
inline constexpr int kClientWidth = 905;
inline constexpr int kClientHeight = 590;

inline constexpr const char* kCheckButton = "BitBtn_MEC16";
inline constexpr const char* kBootLockShape = "Shape_BootLock_MEC";
inline constexpr const char* kBootLockLabel = "Label_BootLock_MEC";
inline constexpr const char* kFwpShape = "Shape_FWP_MEC16";
inline constexpr const char* kFwpLabel = "Label_MEC16_FWP";
inline constexpr const char* kReadInfoBox = "CheckBox_MEC16_RD";
inline constexpr const char* kReadButton = "BitBtn_RD_MEC16";
inline constexpr const char* kEraseInfoBox = "CheckBox_erase_mec16";
inline constexpr const char* kEraseButton = "BitBtn_MEC16_ERASE";
inline constexpr const char* kWriteInfoBox = "CheckBox_write_mec16";
inline constexpr const char* kWriteButton = "BitBtn_MEC16_WRITE";
inline constexpr const char* kExitButton = "EXIT_MEC16";
inline constexpr const char* kHelpButton = "BitBtn_MEC16_HELP";
inline constexpr const char* kMemo = names::kMecMemo;
inline constexpr const char* kGauge = "CGauge_MEC16";
inline constexpr const char* kSaveDialog = "SaveDialog_MEC16";
inline constexpr const char* kOpenDialog = "OpenDialog_MEC16";

// Captions.
inline constexpr std::string_view kCheckCaption = "Check connect to MEC";
inline constexpr std::string_view kBootLockCaption = "If Green - no Boot_Lock";
inline constexpr std::string_view kFwpCaption = "If Green - Erase/Write allowed";
inline constexpr std::string_view kReadInfoCaption = "Also need read INFO";
inline constexpr std::string_view kReadCaption = "Read FLASH MEC ";
inline constexpr std::string_view kEraseInfoCaption = "Also need erase INFO";
inline constexpr std::string_view kEraseCaption = "Erase FLASH MEC16";
inline constexpr std::string_view kWriteInfoCaption = "Also need write INFO";
inline constexpr std::string_view kWriteCaption = "Write FLASH MEC16";
inline constexpr std::string_view kExitCaption = "STOP and EXIT";
inline constexpr std::string_view kHelpCaption = "HELP";

// The memo's standing notes, there from the start.
inline constexpr std::array<std::string_view, 11> kInitialMemo = {
    "Не готова запись INFO блока ",
    "Не готова верификация, но можно сравнить в стороннем ",
    "редакторе",
    "Перед записью нужно стереть! Автоматом пока не делает. ",
    "",
    "The block INFO is not ready to write",
    "Auto verification is not ready, but it can be compared in ",
    "an external editor.",
    "Before recording it is necessary to erase! ",
    "",
    "запись на тройку доделать!",
};

// HELP: the JIG's pin-out for the JTAG signals and the board preparations.
inline constexpr std::array<std::string_view, 16> kHelpLines = {
    "Распиновка для расширенной версии (PCB2):",
    "1-JRST mec16 (не обязательно!)",
    "2-TMS mec16",
    "3-TDO mec16",
    "5-TCLK mec16",
    "6-GND",
    "7-TDI mec16",
    "Для первой версии (PCB1) 1-JRST оставить без подключения. ",
    "",
    "Для ЗАПИСИ MEC нужно поставить R 2кОм на +3V с ножки nFWP. Снимать R на GND, не нужно.",
    "Проверить, что ножка JTAG_RESET не притянута на GND R 0Ом",
    "",
    "Один из выводов VCI_IN0(D2),VCI_IN1(F4),VCI_IN2(C2),VCI_IN3(E1) посадить перемычкой на "
    "землю - зависит от MB.",
    "Для MBX-237 нужно посадить на землю VCI_IN1(F4).",
    "Для работы с MEC, должно присутствовать +3V на всех VTR.",
    "Не тестировалось с MEC1619 - могут быть проблемы с записью.",
};

}  // namespace zjig::mec16
