// Pieces of the serial backend that depend on where the system keeps its
// device nodes and sysfs files; split out so that tests can point them at a
// directory of their own.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jiglink/device.h"

namespace zjig::serial_detail {

inline constexpr const char* kDevDir = "/dev";
inline constexpr const char* kUsbSerialSysfsDir = "/sys/bus/usb-serial/devices";

// The FTDI nodes under `devDir`: serial/by-id/*FTDI* when there are any, else
// ttyUSB*. Numbers sort by value, so ttyUSB2 comes before ttyUSB10.
std::vector<std::string> listFtdiSerialNodesIn(const std::string& devDir);

// The latency_timer file of the node (symlinks such as /dev/serial/by-id/...
// resolved to the real node name) under `sysfsDir`, when that file exists.
std::optional<std::string> latencyTimerFile(const std::string& nodePath,
                                            const std::string& sysfsDir);

// A serial port whose latency timer files are looked for under `sysfsDir`.
std::unique_ptr<Port> makeSerialPort(const std::string& path, const std::string& sysfsDir);

}  // namespace zjig::serial_detail
