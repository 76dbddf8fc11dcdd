// Constructors of the three kinds of port.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jiglink/device.h"

namespace sim {
class SimDevice;
}

namespace zjig {

// A serial device node (termios): /dev/ttyUSB0 or a pseudo-terminal.
std::unique_ptr<Port> makeSerialPort(const std::string& path);
// The serial nodes the system lists for FTDI bridges.
std::vector<std::string> listFtdiSerialNodes();

// The vendor library loaded at run time; all of its devices, or device N only.
// `libraryPath` empty: the library's usual names.
std::unique_ptr<Port> makeD2xxPort(std::optional<uint32_t> onlyIndex,
                                   const std::string& libraryPath = {});

// The built-in simulated JIG, one device, from its option text ("jig3,state=DIR").
std::unique_ptr<Port> makeSimPort(const std::string& options, std::string& error);
// The same port around a simulated JIG the caller also keeps (tests look into it).
std::unique_ptr<Port> makeSimPort(std::shared_ptr<sim::SimDevice> sim, const std::string& options);

}  // namespace zjig
