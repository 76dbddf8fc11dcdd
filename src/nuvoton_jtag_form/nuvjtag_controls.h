// Layout of the Nuvoton JTAG window: control names (the port addresses
// controls by them), captions, the memo's first lines and the dialogs' texts.
// Shared by the session and the front ends so that both speak of the same
// controls.
#pragma once

#include <array>
#include <string_view>

#include "base/names.h"

namespace zjig::nuvjtag {

inline constexpr const char* kWindow = names::kNuvotonJtagWindow;
inline constexpr const char* kMainWindow = names::kMainWindow;
inline constexpr std::string_view kWindowCaption = "NUVOTON JTAG 11_03_2017";
inline constexpr int kWindowWidth = 723;
inline constexpr int kWindowHeight = 737;

inline constexpr const char* kCableBox = "CheckBox1";
inline constexpr const char* kSettingsButton = "BitBtn_SETTINGS";
inline constexpr const char* kConnectButton = "BitBtn_CONNECT";
inline constexpr const char* kReadButton = "BitBtn_NUV_JTAG_RD";
inline constexpr const char* kWriteButton = "BitBtn_NUV_JTAG_WR";
inline constexpr const char* kExitButton = "BitBtn_EXIT_NUV";
inline constexpr const char* kScriptButton = "BitBtnFILE_OPEN";
inline constexpr const char* kLineCounter = "StaticText_in_counter";
inline constexpr const char* kMemo = names::kNuvotonJtagMemo;
inline constexpr const char* kGauge = "CGauge_progrss";
inline constexpr const char* kScriptDialog = "OpenDialogTXT";
inline constexpr const char* kSaveDialog = "SaveDialog_NUV_JTAG";
inline constexpr const char* kOpenDialog = "OpenDialog_NUV_JTAG";

// Captions.
inline constexpr std::string_view kCableCaption =
    "Pin 1 connected  to pin 1 on the MB keyboard connector (30 pin FFC)";
inline constexpr std::string_view kSettingsCaption = "Send settings";
inline constexpr std::string_view kConnectCaption = "Check connect to Nuvoton";
inline constexpr std::string_view kReadCaption = "READ";
inline constexpr std::string_view kWriteCaption = "WRITE";
inline constexpr std::string_view kExitCaption = "EXIT";
inline constexpr std::string_view kScriptCaption = "###";

// The memo when the window is created: the technician's steps. The lines
// of steps 1 and 4 have a no-break space after their number.
inline constexpr std::array<std::string_view, 12> kInitialMemo = {
    " Your steps:",
    "1\u00A0Connect the flat cable motherboard and programmer (30 pin). ",
    "2 Check the ground between the MB and the programmer.",
    "3 Check 1 to 1 or 1 to 30? Select the checkbox in the settings.",
    "4\u00A0Click \"Send settings\".",
    "5 Connect the power supply to the motherboard.",
    "6 Click the \"Check connect to Nuvoton\".",
    "7 Click \"READ\" or \"WRITE\".",
    "8 Disconnect the power supply from the motherboard after ",
    "successfull.",
    "______",
    "",
};

// Dialogs.
inline constexpr std::string_view kPowerOnDialog =
    " Now \n Please connect the power supply to the motherboard, \n"
    " then click *Check connect to Nuvoton* !";
inline constexpr std::string_view kWrongIdDialog =
    "Possible reasons \n 1 No power is connected to the motherboard \n"
    " 2 No power on a chip EC \n 3 Defective chip EC \n 4 Invalid defined first contact";
inline constexpr std::string_view kProtocolErrorDialog =
    " ERASE or WRITE protocol error! \n Lost communication with a chip EC \n"
    " Please disconnect the power supply from the motherboard!";
inline constexpr std::string_view kPowerOffDialog =
    "Please disconnect the power supply from the motherboard!";

}  // namespace zjig::nuvjtag
