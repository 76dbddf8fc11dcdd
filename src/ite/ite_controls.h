// Layout of the ITE window: control names (the port addresses controls by
// them), captions, the instructions both memos start with, and the texts of
// the motherboard list. Shared by the session and the front ends so that
// both speak of the same controls.
#pragma once

#include <array>
#include <string_view>

#include "base/names.h"

namespace zjig::ite {

inline constexpr const char* kWindow = names::kIteWindow;
inline constexpr const char* kMainWindow = names::kMainWindow;
inline constexpr std::string_view kWindowCaption = "ITE 14_03_2017";

inline constexpr const char* kMbList = "ITE_ComboBox_MB_SWITCH";
inline constexpr const char* kCableBox = "ITE_CheckBox";
inline constexpr const char* kPinFrame = "TITE_FORM/GroupBox1";
inline constexpr const char* kApplyButton = "ITE_SETUP_BitBtn";
inline constexpr const char* kCheckButton = "ITE_CHECK_CON_BitBtn";
inline constexpr const char* kReadButton = "ITE_READ_BitBtn";
inline constexpr const char* kWriteButton = "ITE_WRITE_BitBtn";
inline constexpr const char* kExitButton = "ITE_EXIT_BitBtn";
inline constexpr const char* kLanguageBox = "CheckBox_RUS_ENG";
inline constexpr const char* kMemoRu = names::kIteMemoRu;
inline constexpr const char* kMemoEng = names::kIteMemoEng;
inline constexpr const char* kReadGauge = "ITE_CGauge1";
inline constexpr const char* kSpeedGauge = "SPEED_ITE_CGauge";
inline constexpr const char* kSaveDialog = "ITE_SaveDialog";
inline constexpr const char* kOpenDialog = "ITE_OpenDialog";

// Captions.
inline constexpr std::string_view kCableCaption =
    "First contact the programmer is connected to the first contact MB (forward or reverse "
    "cable, etc.)";
inline constexpr std::string_view kPinFrameCaption = "Pin ITE mcu -> pin keyboard connector";
inline constexpr std::string_view kApplyCaption = "APPLY";
inline constexpr std::string_view kCheckCaption = "Check connection";
inline constexpr std::string_view kReadCaption = "READ";
inline constexpr std::string_view kWriteCaption = "WRITE";
inline constexpr std::string_view kExitCaption = "EXIT";
inline constexpr std::string_view kLanguageCaption = "Russian / English text";

// The motherboard list.
inline constexpr std::string_view kMbPrompt = "Please select MOTHERBOARD";
inline constexpr std::string_view kMbMissing =
    "File [MB connection ITE.txt] not found. Please read manual!";
inline constexpr const char* kIteDatabaseName = "MB connection ITE.txt";

// The contact drop-downs: "NC", then "1" .. "32"; at most two characters typed.
inline constexpr std::string_view kNotConnected = "NC";
inline constexpr int kContactItems = 33;
inline constexpr int kContactTextMax = 2;

// What both memos hold when the window is created.
inline constexpr std::array<std::string_view, 17> kInstructionsRu = {
    "Порядок подключения:",
    "1 Подключить нужным шлейфом программатор и MB.",
    "Кол-во контактов в шлейфе должно быть равно количеству контактов разьема клавиатуры.",
    "На программаторе шлейф \"загоняем\" к первому выводу! MB не запитывать!",
    "Программатор подключить к PC. Не забудьте про землю между программатором и MB!",
    "2 Настроить управляющие сигналы и нажать \"APPLY\".",
    "3 Нажать \"Check connection\". И в течении 5 секунд",
    "подключить адаптер к MB. Можно попробовать подключить",
    "адаптер и потом нажать \"Check connection\". Чаще всего все получится.",
    "5 Теперь \"READ\" или \"WRITE\". По окончании - обесточить",
    "MB и отключить шлейф.",
    "",
    "Чтение всех 128КБ около 20 сек.",
    "Запись до 5 минут и напрямую зависит от \"содержимого\" прошивки.",
    "Память мультиконтроллера, на большинстве плат, используется на 50%,",
    "поэтому время записи около 2.5 минут (160сек)",
    "",
};

inline constexpr std::array<std::string_view, 15> kInstructionsEng = {
    "__ Step by step __",
    " 1  Connect the programmer and MB witch flexible cable.",
    "Number of contacts in the flexible cable must be equal to the number of contact",
    "keyboard jack. On the programmer, flexible cable set from the first contact! MB is not",
    "powered! The programmer connect to the PC. Do not forget about the GROUND between the",
    "programmer and the MB!",
    " 2  Set the control signals and click \"Send settings\". The drop-down list of the top",
    "shell or manually.",
    " 3   Connect the adapter, and after 1-3 seconds click the \"Check connection\".",
    "Most often it succeeds.",
    "OR, if fault",
    "Press the \"Check connection\" and within 5 seconds connect the adapter to the MB.",
    "You can try to connect.",
    " 4   Now the \"Read\" or \"Write\". After complete- disconnect power from MB and",
    "disconnect flexible cable.",
};

}  // namespace zjig::ite
