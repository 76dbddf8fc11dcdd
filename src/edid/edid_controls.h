// Layout of the EDID EEPROM window: control names (the port addresses
// controls by them) and captions. Shared by the session and the front ends.
#pragma once

#include <string_view>

#include "base/names.h"

namespace zjig::edid {

inline constexpr const char* kWindow = names::kEdidWindow;
inline constexpr const char* kMainWindow = names::kMainWindow;
inline constexpr std::string_view kWindowCaption = "EEPROM LCD read/write 09/01/2017";

inline constexpr const char* kReadButton = "EDID_READ";
inline constexpr const char* kWriteButton = "EDID_WRITE";
inline constexpr const char* kExitButton = "EXIT_EDID";
inline constexpr const char* kMemo = names::kEdidMemo;
inline constexpr const char* kSaveDialog = "SaveDialog1";
inline constexpr const char* kOpenDialog = "OpenDialog1";
// Beside the memo: what the last image read or about to be written holds
// (header, checksum, maker and product), so a technician sees at a glance
// whether a dump is a sound EDID.
inline constexpr const char* kSummaryLabel = "Label_EDID_info";

// Captions.
inline constexpr std::string_view kReadCaption = "EDID_READ";
inline constexpr std::string_view kWriteCaption = "EDID_WRITE";
inline constexpr std::string_view kExitCaption = "EXIT";

}  // namespace zjig::edid
