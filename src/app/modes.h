// The working modes, in the order of the main window's list.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace zjig {

inline constexpr std::string_view kPleaseSelect = "Please select ";
inline constexpr std::string_view kModeKeyboard = "Keyboard testing";
inline constexpr std::string_view kModeNpce = "NUVOTON spi";
inline constexpr std::string_view kModeNuvotonJtag = "NUVOTON jtag";
inline constexpr std::string_view kModeEne = "ENE KB90XX";
inline constexpr std::string_view kModeMec = "MEC jtag";
inline constexpr std::string_view kModeEdid = "EDID lcd";
inline constexpr std::string_view kModeIte = "ITE";

// The main window's items; item 0 is the prompt.
inline constexpr std::array<std::string_view, 8> kSelectorItems = {
    kPleaseSelect, kModeKeyboard, kModeNpce, kModeNuvotonJtag,
    kModeEne,      kModeMec,      kModeEdid, kModeIte};

// The window a mode opens, or nullptr for a text that is no mode.
const char* modeWindow(std::string_view modeText);

}  // namespace zjig
