// The windows of the mode registry: a built mode's own window, or the
// placeholder of a mode not in this build.
#pragma once

#include <memory>

#include "base/modes.h"
#include "gui/form_window.h"
#include "session/mode_session.h"

namespace zjig::gui {

// `session` is the mode's session; null for a placeholder.
std::unique_ptr<FormWindow> makeModeWindow(const ModeInfo& mode, ModeSession* session);

}  // namespace zjig::gui
