// Layout of the keyboard matrix tester's window: control names (the port
// addresses controls by them), captions, status texts and the places of the
// 496 key shapes. Shared by the session and the front ends.
#pragma once

#include <array>
#include <string_view>

#include "base/names.h"
#include "base/ui_port.h"

namespace zjig::keyboard {

inline constexpr const char* kWindow = names::kKeyboardWindow;
inline constexpr const char* kMainWindow = names::kMainWindow;
inline constexpr std::string_view kWindowCaption = "Keyboard_testing 02_03_2017";

inline constexpr const char* kStartButton = "START_SCAN";
inline constexpr const char* kExitButton = "EXIT_KB_TEST";
inline constexpr const char* kClearButton = "Clear";
inline constexpr const char* kBuzzerBox = "Buzzer_box";
inline constexpr const char* kHideBox = "CheckBox_HIDE";
inline constexpr const char* kStatusLabel = "Label_keyb_con";
inline constexpr const char* kColumnLabel = "Label_keybord";
// How many different pairs were reported since the last Clear.
inline constexpr const char* kPairsSeenLabel = "Label_pairs_seen";
inline constexpr std::string_view kPairsSeenPrefix = "Pairs seen: ";
// The labels beside the rows 1, 6, 11 ... 31 are named after their row.
inline constexpr std::string_view kRowLabelPrefix = "Label_row";

// Captions.
inline constexpr std::string_view kStartCaption = "START SCAN";
inline constexpr std::string_view kStopCaption = "STOP";
inline constexpr std::string_view kExitCaption = "EXIT";
inline constexpr std::string_view kClearCaption = "Clear";
inline constexpr std::string_view kBuzzerCaption = "Buzzer off";
inline constexpr std::string_view kHideCaption = "Hide current";
inline constexpr std::string_view kColumnCaption =
    " 2       6       11        16       21       26       31";
inline constexpr std::array<int, 7> kLabelledRows = {1, 6, 11, 16, 21, 26, 31};

// Status texts of Label_keyb_con and their colours.
inline constexpr std::string_view kStatusReady = "Ready to work";     // "YES"
inline constexpr std::string_view kStatusIdle = "Press start scan";   // "NO"
inline constexpr std::string_view kStatusNoJig = "Device not found";  // "NO FTDI"
inline constexpr std::string_view kStatusOldFw = "Please update FW";  // "OLD FW"
inline constexpr Rgb kStatusReadyColour = kGreen;
inline constexpr Rgb kStatusProblemColour = kRed;

// Shape colours.
inline constexpr Rgb kNotReported = kAqua;
inline constexpr Rgb kReported = kRed;
inline constexpr Rgb kReportedAgain = kYellow;
inline constexpr Rgb kHidden = kBlack;

// --- key shapes: an upper triangle, row i (pins 1-31) by column j (2-32),
// with a small gap after every fifth row and column ---
inline constexpr int kShapeWidth = 17;
inline constexpr int kShapeHeight = 10;
inline constexpr int kShapePitch = 15;
// Where row i's shapes stand (top) and column j's (left), in the window.
constexpr int shapeTop(int i) { return 40 + kShapePitch * (i - 1) + 5 * ((i - 1) / 5); }
constexpr int shapeLeft(int j) { return 20 + kShapePitch * (j - 2) + 8 * ((j - 1) / 5); }

}  // namespace zjig::keyboard
