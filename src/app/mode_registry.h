// The sessions of the mode registry (base/modes.def): one per built mode.
#pragma once

#include <memory>

#include "base/modes.h"
#include "session/mode_session.h"

namespace zjig {

// A new session for a built mode; nullptr for a placeholder.
std::unique_ptr<ModeSession> makeModeSession(const ModeInfo& mode, const ModeContext& context);

}  // namespace zjig
