// Layout names of the windows, and of the controls that more than one folder
// uses (the shell, the update window, the connect routine). Every other
// control name lives in its mode's folder; a mode's own header refers to the
// names here rather than spelling them again.
#pragma once

#include <string_view>

namespace zjig::names {

// A control whose layout name another window uses too is addressed through
// the port as "WINDOW/NAME", so that each name stays defined once and the
// port cannot reach the other window's control; controlLeaf gives the NAME,
// the widget's own name in its window.
constexpr std::string_view controlLeaf(std::string_view name) {
    const size_t slash = name.rfind('/');
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

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

// The message memos of the mode windows, which the connect routine writes to.
inline constexpr const char* kEdidMemo = "EDID_Memo";
inline constexpr const char* kMecMemo = "Memo_MEC16";
inline constexpr const char* kIteMemoRu = "ITE_Memo1";
inline constexpr const char* kIteMemoEng = "ITE_Memo_ENG";
inline constexpr const char* kNpceMemo = "NPCE_Memo";
inline constexpr const char* kNuvotonJtagMemo = "Memo_NUV_JTAG";

}  // namespace zjig::names
