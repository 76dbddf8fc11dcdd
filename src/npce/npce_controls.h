// Layout of the Nuvoton SPI window: control names (the port addresses
// controls by them) and captions. Shared by the session and the front ends
// so that both speak of the same controls.
#pragma once

#include <string_view>

#include "base/names.h"

namespace zjig::npce {

inline constexpr const char* kWindow = names::kNpceWindow;
inline constexpr const char* kMainWindow = names::kMainWindow;
inline constexpr std::string_view kWindowCaption = "NPCE288N/388N 02_02_2017";

inline constexpr const char* kReadButton = "NPCE_READ";
inline constexpr const char* kWriteButton = "NPCE_WRITE";
inline constexpr const char* kExitButton = "EXIT_NPCE";
inline constexpr const char* kMemo = names::kNpceMemo;
inline constexpr const char* kGauge = "CGauge_NPCE";
inline constexpr const char* kSaveDialog = "SaveDialog_NPCE";
inline constexpr const char* kOpenDialog = "OpenDialog_NPCE";

// Captions.
inline constexpr std::string_view kReadCaption = "Nuvoton_READ";
inline constexpr std::string_view kWriteCaption = "Nuvoton_WRITE";
inline constexpr std::string_view kExitCaption = "EXIT";

}  // namespace zjig::npce
