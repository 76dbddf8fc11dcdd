// zjig: the command-line front end.
#pragma once

namespace zjig::cli {
int runCli(int argc, char** argv);
}
