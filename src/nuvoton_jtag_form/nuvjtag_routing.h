// Pin routing of the Nuvoton JTAG mode: which pins of the 30-pin keyboard
// flat cable carry the controller's JTAG lines, the CPLD routing table a
// third-generation JIG is given for them, and the wiring text for soldered
// wires on a second-generation JIG. Pure functions, no link, no window.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zjig::nuvjtag {

// The roles a connector pin can be given.
enum class PinRole { TMS, TCK, TDI_to_NUV, ZERO, TDO_from_NUV };

inline constexpr int kCablePins = 30;

// Three bits per connector pin in groups E, A and B (pin p is bit (p-1) mod 8
// of byte (p-1) div 8), and the pin the JIG reads TDO from.
struct RoutingTable {
    std::array<uint8_t, 4> e{};
    std::array<uint8_t, 4> a{};
    std::array<uint8_t, 4> b{};
    uint8_t t = 0;
    bool operator==(const RoutingTable&) const = default;
};

// Gives pin `pin` (1..30) its role in the table. Pins outside 1..30 are
// ignored.
void NUV_RoutePin(RoutingTable& table, PinRole role, int pin);

// The cable's pins of the five roles: `oneToOne` is CheckBox1 (cable pin 1
// on motherboard pin 1, "TYPE B"); otherwise the cable is reversed ("TYPE A").
struct CablePins {
    int zero, tck, tdo, tdi, tms;
};
CablePins cablePins(bool oneToOne);

// A cleared table with the roles routed in the order the window sends them:
// ZERO, TCK, TMS, TDI_to_NUV, TDO_from_NUV.
RoutingTable routingFor(bool oneToOne);

// The thirteen CPLD register writes (register, value) in the order the JIG
// takes them: the TDO select, the A/B pairs per pin group, the E group.
std::vector<std::pair<uint8_t, uint8_t>> routingRegisterWrites(const RoutingTable& table);

// The second-generation wiring text: "A7 B19 C10 D21 E20" (letters of the
// JIG's terminals, numbers of the connector pins).
std::string wiringText(bool oneToOne);

}  // namespace zjig::nuvjtag
