#include "app/mode_registry.h"

#include <cstddef>

namespace zjig {

// Each built mode's folder provides its session factory.
#define ZJIG_MODE(position, text, window, id)                             \
    namespace id {                                                        \
    std::unique_ptr<ModeSession> makeSession(const ModeContext& context); \
    }
#define ZJIG_MODE_PLACEHOLDER(position, text, window, caption, exitName)
#include "base/modes.def"
#undef ZJIG_MODE
#undef ZJIG_MODE_PLACEHOLDER

namespace {

using SessionFactory = std::unique_ptr<ModeSession> (*)(const ModeContext&);

// In the rows' order, as kModes.
constexpr SessionFactory kSessionFactories[] = {
#define ZJIG_MODE(position, text, window, id) &id::makeSession,
#define ZJIG_MODE_PLACEHOLDER(position, text, window, caption, exitName) nullptr,
#include "base/modes.def"
#undef ZJIG_MODE
#undef ZJIG_MODE_PLACEHOLDER
};
static_assert(std::size(kSessionFactories) == kModeCount);

}  // namespace

std::unique_ptr<ModeSession> makeModeSession(const ModeInfo& mode, const ModeContext& context) {
    const auto index = static_cast<size_t>(&mode - kModes);
    if (index >= kModeCount || !kSessionFactories[index]) return nullptr;
    return kSessionFactories[index](context);
}

}  // namespace zjig
