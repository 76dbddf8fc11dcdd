// A mode session's context for tests: the link environment, the recorder as
// its window port, and a folder for the files opened by bare name.
#pragma once

#include <string>

#include "session/mode_session.h"

namespace zjig::test {

inline ModeContext modeContext(LinkEnv env, UiPort& ui, const std::string& dataDir = {}) {
    ModeContext context;
    context.env = std::move(env);
    context.ui = &ui;
    context.dataDir = dataDir.empty() || dataDir.back() == '/' ? dataDir : dataDir + "/";
    return context;
}

}  // namespace zjig::test
