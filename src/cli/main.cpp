#include "cli/cli.h"

int main(int argc, char** argv) { return zjig::cli::runCli(argc, argv); }
