// The zjig subcommands of the mode registry's built modes.
#include <CLI/CLI.hpp>

#include "base/modes.h"
#include "cli/runtime.h"

namespace zjig {

#define ZJIG_MODE(position, text, window, id)          \
    namespace id {                                     \
    void addCommands(CLI::App& app, cli::Runtime& rt); \
    }
#define ZJIG_MODE_PLACEHOLDER(position, text, window, caption, exitName)
#include "base/modes.def"
#undef ZJIG_MODE
#undef ZJIG_MODE_PLACEHOLDER

namespace cli {

void addModeCommands(CLI::App& app, Runtime& rt) {
#define ZJIG_MODE(position, text, window, id) id::addCommands(app, rt);
#define ZJIG_MODE_PLACEHOLDER(position, text, window, caption, exitName)
#include "base/modes.def"
#undef ZJIG_MODE
#undef ZJIG_MODE_PLACEHOLDER
}

}  // namespace cli
}  // namespace zjig
