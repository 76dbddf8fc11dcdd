// What both front ends set up the same way from their command line: the
// device list from `--port`, the user's wait limit and the firmware folder.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "jiglink/device.h"
#include "jiglink/jig_link.h"

namespace CLI {
class App;
}

namespace zjig::frontend {

struct CommonOptions {
    std::vector<std::string> ports;
    double timeoutSeconds = 0;  // 0: every wait keeps its own default
    std::string firmwareDir;    // empty: the program's own folder
};

// Adds --port, --timeout, --firmware-dir and --help-sim to an app.
void addCommonOptions(CLI::App& app, CommonOptions& options);

// Builds the device list: the ports given, in order, or the default list.
// Returns false with a message on a bad port text.
bool buildDeviceList(const std::vector<std::string>& ports, DeviceList& list, std::string& error);

// LinkEnv for the options (the list must outlive it); its abort flag is the
// stop signals' flag.
LinkEnv makeLinkEnv(const CommonOptions& options, DeviceList& list);

// The folder of the running program file, ending with a separator.
std::string programFolder();
// The firmware folder to use, ending with a separator.
std::string firmwareFolder(const CommonOptions& options);

}  // namespace zjig::frontend
