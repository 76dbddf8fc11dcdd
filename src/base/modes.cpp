#include "base/modes.h"

namespace zjig {

namespace {
// Every list position is taken exactly once.
constexpr bool positionsComplete() {
    for (size_t position = 1; position <= kModeCount; ++position) {
        int seen = 0;
        for (const ModeInfo& mode : kModes)
            if (static_cast<size_t>(mode.position) == position) ++seen;
        if (seen != 1) return false;
    }
    return true;
}
static_assert(positionsComplete(), "modes.def: each list position 1..N once");
}  // namespace

const ModeInfo* findMode(std::string_view textOrWindow) {
    for (const ModeInfo& mode : kModes)
        if (mode.text == textOrWindow || textOrWindow == mode.window) return &mode;
    return nullptr;
}

const char* modeWindow(std::string_view modeText) {
    for (const ModeInfo& mode : kModes)
        if (mode.text == modeText) return mode.window;
    return nullptr;
}

}  // namespace zjig
