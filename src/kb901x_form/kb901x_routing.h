// Motherboard records and flat-cable routing of the ENE KB90XX mode: which
// keyboard-connector pins carry the five debug lines, how a mirrored cable
// renumbers them, the wiring help for soldered wires, and the CPLD routing
// image a third-generation JIG is given. Pure functions, no link, no window.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/mb_database.h"

namespace zjig::kb90 {

// The debug signals of the KB90XX and the keyboard lines that carry them.
enum class EneSignal { ZERO, CS_ENE, D_FROM_ENE, D_TO_ENE, CLK_ENE };

inline constexpr int kMinPin = 1;
inline constexpr int kMaxPin = 32;

// Connector pins of the five lines, as one motherboard record gives them.
struct PinSet {
    int kso3 = 0;  // ZERO, wire A
    int ksi4 = 0;  // CS_ENE, wire B
    int ksi5 = 0;  // CLK_ENE, wire E
    int ksi6 = 0;  // D_TO_ENE, wire D
    int ksi7 = 0;  // D_FROM_ENE, wire C
    bool operator==(const PinSet&) const = default;
    int highest() const;
};

// The database readers shared with the other modes, under this mode's names.
using zjig::mbKeyValue;
using zjig::pinNumber;
using zjig::splitMbDatabase;

// The five pins of a record; nothing when a key is missing or a value is no
// connector pin (the window shows "Error data format!").
std::optional<PinSet> parseMbRecord(std::string_view record);

// The cable size from a cable list entry ("18 pin" gives 18); 0 when the
// entry does not start with a number.
int ffcPinCount(std::string_view cableText);

// Pin p of the connector on a cable turned over: N - p + 1.
PinSet mirrorPins(const PinSet& pins, int cablePins);

// The line shown for soldered wires (second-generation JIG), with the pins
// as given: "Please connect GND and:  A12 B5 C8 D7 E6 (only for JIG 2)".
std::string wiringHelp(const PinSet& pins);

// The CPLD routing image: three bits per connector pin and the input select.
struct RoutingImage {
    std::array<uint8_t, 4> driveEnable{};
    std::array<uint8_t, 4> selectHigh{};
    std::array<uint8_t, 4> selectLow{};
    uint8_t inputSelect = 0;
    bool operator==(const RoutingImage&) const = default;
};

// Routes one signal to connector pin p (1..32) in the image.
void KB90_RouteSignal(RoutingImage& image, EneSignal signal, int pin);

// A cleared image with the five signals routed in the window's order:
// ZERO, CS_ENE, D_FROM_ENE, D_TO_ENE, CLK_ENE (a later one wins a shared pin).
RoutingImage routingFor(const PinSet& pins);

// The thirteen register writes (register, value) in the order the CPLD takes
// them: select high/low pairs per pin group, drive enables, input select.
std::vector<std::pair<uint8_t, uint8_t>> routingRegisterWrites(const RoutingImage& image);

}  // namespace zjig::kb90
