// The working modes as the shell and the front ends see them: their texts in
// the main window's list and their windows. The rows come from modes.def.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "base/names.h"

namespace zjig {

inline constexpr std::string_view kPleaseSelect = "Please select ";
inline constexpr std::string_view kModeKeyboard = "Keyboard testing";
inline constexpr std::string_view kModeNpce = "NUVOTON spi";
inline constexpr std::string_view kModeNuvotonJtag = "NUVOTON jtag";
inline constexpr std::string_view kModeEne = "ENE KB90XX";
inline constexpr std::string_view kModeMec = "MEC jtag";
inline constexpr std::string_view kModeEdid = "EDID lcd";
inline constexpr std::string_view kModeIte = "ITE";

struct ModeInfo {
    int position;           // place in the main window's list (item 0 is the prompt)
    std::string_view text;  // the list item
    const char* window;     // layout name of the mode's window
    bool built;             // false: the window is a placeholder
    const char* placeholderCaption;
    const char* placeholderExit;
};

// Every mode, in the order the windows are created at start-up.
inline constexpr ModeInfo kModes[] = {
#define ZJIG_MODE(position, text, window, id) {position, text, window, true, nullptr, nullptr},
#define ZJIG_MODE_PLACEHOLDER(position, text, window, caption, exitName) \
    {position, text, window, false, caption, exitName},
#include "base/modes.def"
#undef ZJIG_MODE
#undef ZJIG_MODE_PLACEHOLDER
};
inline constexpr size_t kModeCount = std::size(kModes);

namespace detail {
constexpr std::array<std::string_view, kModeCount + 1> selectorItems() {
    std::array<std::string_view, kModeCount + 1> items{};
    items[0] = kPleaseSelect;
    for (const ModeInfo& mode : kModes) items[static_cast<size_t>(mode.position)] = mode.text;
    return items;
}
}  // namespace detail

// The main window's items; item 0 is the prompt.
inline constexpr auto kSelectorItems = detail::selectorItems();

// The mode with this list text or window name, or nullptr.
const ModeInfo* findMode(std::string_view textOrWindow);
// The window a mode opens, or nullptr for a text that is no mode.
const char* modeWindow(std::string_view modeText);

}  // namespace zjig
