#include "frontend/options.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "frontend/stop_signals.h"
#include "sim/sim_jig.h"

namespace zjig::frontend {

const char* programVersion() { return ZJIG_VERSION; }

void addCommonOptions(CLI::App& app, CommonOptions& options) {
    app.set_version_flag("--version", std::string(app.get_name()) + " " + programVersion(),
                         "Show the program's version and exit");
    app.add_option("--port", options.ports,
                   "JIG device: serial:PATH, d2xx, d2xx:N, sim or sim:OPTIONS (repeatable; the "
                   "first is device index 0)");
    app.add_option("--timeout", options.timeoutSeconds,
                   "Seconds the JIG may stay silent while an answer is awaited")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                double seconds = 0;
                // std::stod takes "nan" and "inf"; neither is a limit.
                try {
                    size_t used = 0;
                    seconds = std::stod(text, &used);
                    if (used != text.size()) return "\"" + text + "\" is not a number";
                } catch (const std::exception&) {
                    return "\"" + text + "\" is not a number";
                }
                if (!std::isfinite(seconds) || seconds < 0.001 || seconds > 86400.0)
                    return "\"" + text + "\" is not a time in seconds between 0.001 and 86400";
                return {};
            },
            "SECONDS"));
    app.add_option(
        "--firmware-dir", options.firmwareDir,
        "Folder of the JIG firmware files (default: the first that holds them of the program's "
        "folder, $XDG_DATA_HOME/zentravox-jig/firmware and the install's "
        "share/zentravox-jig/firmware)");
    app.add_flag_callback(
        "--help-sim",
        [] {
            std::cout << sim::helpText();
            std::exit(0);
        },
        "Describe the options of the simulated JIG (--port sim:OPTIONS) and exit");
}

bool buildDeviceList(const std::vector<std::string>& ports, DeviceList& list, std::string& error) {
    if (ports.empty()) {
        list = defaultDeviceList();
        return true;
    }
    for (const auto& spec : ports) {
        auto port = makePort(spec, error);
        if (!port) return false;
        list.addPort(std::move(port));
    }
    return true;
}

LinkEnv makeLinkEnv(const CommonOptions& options, DeviceList& list) {
    LinkEnv env;
    env.devices = &list;
    env.abort = &stopRequested();
    if (options.timeoutSeconds > 0)
        env.userTimeout = std::chrono::milliseconds(
            static_cast<long long>(options.timeoutSeconds * 1000.0 + 0.5));
    return env;
}

std::string programFolder() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "./";
    std::string text(path, static_cast<size_t>(n));
    auto slash = text.rfind('/');
    return slash == std::string::npos ? "./" : text.substr(0, slash + 1);
}

namespace {

std::string withSeparator(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

// The files the program looks for in its firmware folder.
constexpr const char* kFirmwareFiles[] = {"JFW_COMMON.hex",  "JFW_MECJTAG.hex", "JFW_ITE.hex",
                                          "JFW_NUVOTON.hex", "JFW_JIG3.vss",    "NUVOTON.vss"};

bool holdsFirmware(const std::string& dir) {
    for (const char* file : kFirmwareFiles)
        if (::access((dir + file).c_str(), R_OK) == 0) return true;
    return false;
}

bool onlySimulatedPorts(const CommonOptions& options) {
    if (options.ports.empty()) return false;
    for (const auto& port : options.ports)
        if (port != "sim" && port.rfind("sim:", 0) != 0) return false;
    return true;
}

}  // namespace

std::vector<std::string> firmwareSearchPath(const CommonOptions& options) {
    std::vector<std::string> path{programFolder()};
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        path.push_back(withSeparator(xdg) + "zentravox-jig/firmware/");
    else if (const char* home = std::getenv("HOME"); home && *home == '/')
        path.push_back(withSeparator(home) + ".local/share/zentravox-jig/firmware/");
    // The installed program's share folder lies beside its bin folder.
    const std::string share = programFolder() + "../" + kShareFolder;
    path.push_back(share + "firmware/");
    // The sample firmware made for the simulated JIG would leave a real JIG
    // without a working firmware: it is offered to simulated JIGs only.
    if (onlySimulatedPorts(options)) path.push_back(share + "sim-firmware/");
    return path;
}

std::string firmwareFolder(const CommonOptions& options) {
    if (!options.firmwareDir.empty()) return withSeparator(options.firmwareDir);
    for (const auto& dir : firmwareSearchPath(options))
        if (holdsFirmware(dir)) return dir;
    return programFolder();
}

}  // namespace zjig::frontend
