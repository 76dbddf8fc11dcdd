// Layout of the ENE KB90XX window: control names (the port addresses controls
// by them), captions and fixed list items. Shared by the session and the
// front ends so that both speak of the same controls.
#pragma once

#include <array>
#include <string_view>

#include "base/names.h"

namespace zjig::kb90 {

inline constexpr const char* kWindow = names::kKb901xWindow;
inline constexpr const char* kMainWindow = names::kMainWindow;
inline constexpr std::string_view kWindowCaption = "KB9010/9012/9016/9022  03/03/2017";

inline constexpr const char* kMbList = "ComboBox_KB901X";
inline constexpr const char* kFfcList = "ComboBox_KB901X_FFC";
inline constexpr const char* kOrientationBox = "CheckBox_KB901X";
inline constexpr const char* kApplyButton = names::kKb901xApply;
inline constexpr const char* kResultLabel = "Label_result";
inline constexpr const char* kHelpFrame = "GroupBox1";
inline constexpr const char* kReadButton = "KB901X_READ";
inline constexpr const char* kWriteButton = "KB901X_WRITE";
inline constexpr const char* kExitButton = "EXIT_KB901X";
inline constexpr const char* kMemo = names::kKb901xMemo;
inline constexpr const char* kGauge = "CGauge_KB901X";
inline constexpr const char* kSaveDialog = "SaveDialog_KB90";
inline constexpr const char* kOpenDialog = "OpenDialog_KB90";

// Captions.
inline constexpr std::string_view kMbListPrompt = "Select MB";
inline constexpr std::string_view kFfcListPrompt = "Select FFC cable you used";
inline constexpr std::string_view kOrientationCaption =
    "Pin 1 connected  to pin 1 on the MB keyboard connector";
inline constexpr std::string_view kApplyCaption = "Apply settings if use FFC  (only for JIG 3)";
inline constexpr std::string_view kResultLabelInitial = "*************";
inline constexpr std::string_view kHelpFrameCaption = " Help for FFC cable connection  ";
inline constexpr std::string_view kReadCaption = "KB90XX_READ";
inline constexpr std::string_view kWriteCaption = "KB90XX_WRITE";
inline constexpr std::string_view kExitCaption = "EXIT";

// The cable list, in the layout's order.
inline constexpr std::array<std::string_view, 8> kFfcItems = {
    "18 pin", "20 pin", "24 pin", "25 pin", "26 pin", "28 pin", "30 pin", "32 pin"};

}  // namespace zjig::kb90
