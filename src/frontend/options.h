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

// The version of both programs ("4.10").
const char* programVersion();

// Adds --port, --timeout, --firmware-dir, --help-sim and --version to an app.
void addCommonOptions(CLI::App& app, CommonOptions& options);

// Builds the device list: the ports given, in order, or the default list.
// Returns false with a message on a bad port text.
bool buildDeviceList(const std::vector<std::string>& ports, DeviceList& list, std::string& error);

// LinkEnv for the options (the list must outlive it); its abort flag is the
// stop signals' flag.
LinkEnv makeLinkEnv(const CommonOptions& options, DeviceList& list);

// The folder of the running program file, ending with a separator.
std::string programFolder();
// The installed program's data folder, relative to its bin folder.
inline constexpr const char* kShareFolder = "share/zentravox-jig/";

// Where the JIG firmware files are looked for without `--firmware-dir`, in
// order: the program's own folder, $XDG_DATA_HOME/zentravox-jig/firmware
// (~/.local/share/... without it), the install prefix's
// share/zentravox-jig/firmware, and, when every --port is a simulated JIG,
// the sample firmware in share/zentravox-jig/sim-firmware. Each ends with a
// separator.
std::vector<std::string> firmwareSearchPath(const CommonOptions& options);
// The firmware folder to use, ending with a separator: `--firmware-dir`, or
// the first folder of the search path that holds a firmware file, or the
// program's own folder.
std::string firmwareFolder(const CommonOptions& options);

}  // namespace zjig::frontend
