// Layout names of the windows and of the controls the shell and the update
// window use. Mode windows keep their own control names in their folders.
#pragma once

namespace zjig::names {

// Windows, in the order they are created at start-up.
inline constexpr const char* kMainWindow = "TForm1";
inline constexpr const char* kEdidWindow = "TEDID_form";
inline constexpr const char* kKb901xWindow = "TKB901X_forms";
inline constexpr const char* kKeyboardWindow = "TKeyboard_testing";
inline constexpr const char* kTestingWindow = "TTESTING";
inline constexpr const char* kMecWindow = "TMEC16_Form";
inline constexpr const char* kIteWindow = "TITE_FORM";
inline constexpr const char* kNpceWindow = "TNPCE_FORM";
inline constexpr const char* kUpdateWindow = "TUPDATE_FORM";
inline constexpr const char* kNuvotonJtagWindow = "TForm_NUVOTON_JTAG";

// Main window.
inline constexpr const char* kMainSelector = "MAIN_SELECTOR";
inline constexpr const char* kMainConnect = "MAIN_CONNECT";

// Update window.
inline constexpr const char* kMemoUpdate = "Memo_UPDATE";
inline constexpr const char* kGaugeUpdate = "CGauge_UPD";
inline constexpr const char* kUpdateExit = "SpeedButton_UPD_EXIT";

// Connection test window.
inline constexpr const char* kTestMemo = "Test_memo";

// What the shell touches of the ENE window.
inline constexpr const char* kKb901xMemo = "KB901X_Memo";
inline constexpr const char* kKb901xApply = "SpeedButton1";

}  // namespace zjig::names
