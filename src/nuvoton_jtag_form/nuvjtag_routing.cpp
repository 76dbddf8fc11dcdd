#include "nuvoton_jtag_form/nuvjtag_routing.h"

namespace zjig::nuvjtag {

namespace {

// The E, A and B bits of each role that drives a pin.
struct RoleBits {
    bool e, a, b;
};

RoleBits roleBits(PinRole role) {
    switch (role) {
        case PinRole::TMS:
            return {true, false, false};
        case PinRole::TCK:
            return {true, false, true};
        case PinRole::TDI_to_NUV:
            return {true, true, false};
        case PinRole::ZERO:
        case PinRole::TDO_from_NUV:
            break;
    }
    return {true, true, true};
}

void setBit(std::array<uint8_t, 4>& group, int pin, bool on) {
    const auto index = static_cast<size_t>((pin - 1) / 8);
    const auto mask = static_cast<uint8_t>(1u << ((pin - 1) % 8));
    if (on)
        group[index] |= mask;
    else
        group[index] &= static_cast<uint8_t>(~mask);
}

// Registers of the CPLD's routing groups; +0..+3 cover pins 1-8 ... 25-32.
constexpr uint8_t kRegE = 0x10;
constexpr uint8_t kRegB = 0x20;
constexpr uint8_t kRegA = 0x24;
constexpr uint8_t kRegTdo = 0x40;
constexpr uint8_t kTdoValid = 0x80;
constexpr uint8_t kTdoPinMask = 0x1F;

}  // namespace

void NUV_RoutePin(RoutingTable& table, PinRole role, int pin) {
    if (pin < 1 || pin > kCablePins) return;
    if (role == PinRole::TDO_from_NUV) {
        table.t = static_cast<uint8_t>(((pin - 1) & kTdoPinMask) | kTdoValid);
        return;
    }
    const RoleBits bits = roleBits(role);
    setBit(table.e, pin, bits.e);
    setBit(table.a, pin, bits.a);
    setBit(table.b, pin, bits.b);
}

CablePins cablePins(bool oneToOne) {
    if (oneToOne) return {7, 19, 10, 21, 20};
    return {24, 12, 21, 10, 11};
}

RoutingTable routingFor(bool oneToOne) {
    const CablePins pins = cablePins(oneToOne);
    RoutingTable table;
    NUV_RoutePin(table, PinRole::ZERO, pins.zero);
    NUV_RoutePin(table, PinRole::TCK, pins.tck);
    NUV_RoutePin(table, PinRole::TMS, pins.tms);
    NUV_RoutePin(table, PinRole::TDI_to_NUV, pins.tdi);
    NUV_RoutePin(table, PinRole::TDO_from_NUV, pins.tdo);
    return table;
}

std::vector<std::pair<uint8_t, uint8_t>> routingRegisterWrites(const RoutingTable& table) {
    std::vector<std::pair<uint8_t, uint8_t>> writes;
    writes.emplace_back(kRegTdo, table.t);
    for (uint8_t i = 0; i < 4; ++i) {
        writes.emplace_back(static_cast<uint8_t>(kRegA + i), table.a[i]);
        writes.emplace_back(static_cast<uint8_t>(kRegB + i), table.b[i]);
    }
    for (uint8_t i = 0; i < 4; ++i)
        writes.emplace_back(static_cast<uint8_t>(kRegE + i), table.e[i]);
    return writes;
}

std::string wiringText(bool oneToOne) {
    const CablePins p = cablePins(oneToOne);
    std::string text;
    for (const auto& [letter, pin] :
         {std::pair{'A', p.zero}, std::pair{'B', p.tck}, std::pair{'C', p.tdo},
          std::pair{'D', p.tdi}, std::pair{'E', p.tms}}) {
        if (!text.empty()) text += ' ';
        text += letter;
        text += std::to_string(pin);
    }
    return text;
}

}  // namespace zjig::nuvjtag
