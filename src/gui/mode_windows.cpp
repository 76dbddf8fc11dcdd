#include "gui/mode_windows.h"

#include <cstddef>

#include "gui/placeholder_window.h"

namespace zjig {

// Each built mode's folder provides its window.
#define ZJIG_MODE(position, text, window, id)                          \
    namespace id {                                                     \
    std::unique_ptr<gui::FormWindow> makeWindow(ModeSession& session); \
    }
#define ZJIG_MODE_PLACEHOLDER(position, text, window, caption, exitName)
#include "base/modes.def"
#undef ZJIG_MODE
#undef ZJIG_MODE_PLACEHOLDER

namespace gui {

namespace {
using WindowFactory = std::unique_ptr<FormWindow> (*)(ModeSession&);

// In the rows' order, as kModes.
constexpr WindowFactory kWindowFactories[] = {
#define ZJIG_MODE(position, text, window, id) &id::makeWindow,
#define ZJIG_MODE_PLACEHOLDER(position, text, window, caption, exitName) nullptr,
#include "base/modes.def"
#undef ZJIG_MODE
#undef ZJIG_MODE_PLACEHOLDER
};
static_assert(std::size(kWindowFactories) == kModeCount);
}  // namespace

std::unique_ptr<FormWindow> makeModeWindow(const ModeInfo& mode, ModeSession* session) {
    const auto index = static_cast<size_t>(&mode - kModes);
    if (index < kModeCount && kWindowFactories[index] && session)
        return kWindowFactories[index](*session);
    return std::make_unique<PlaceholderWindow>(mode);
}

}  // namespace gui
}  // namespace zjig
