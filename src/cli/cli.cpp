#include "cli/cli.h"

namespace zjig::cli {
int runCli(int, char**) { return 2; }
}  // namespace zjig::cli
