#include "kb901x_form/kb901x_routing.h"

#include <algorithm>

#include "kb901x_form/kb901x_commands.h"

namespace zjig::kb90 {

namespace {

// Source codes the CPLD drives onto a pin (high bit, low bit).
struct SelectCode {
    bool high;
    bool low;
};

SelectCode selectCode(EneSignal signal) {
    switch (signal) {
        case EneSignal::CLK_ENE:
            return {false, false};
        case EneSignal::D_TO_ENE:
            return {false, true};
        case EneSignal::CS_ENE:
            return {true, false};
        case EneSignal::ZERO:
        case EneSignal::D_FROM_ENE:
            break;
    }
    return {true, true};
}

void setBit(std::array<uint8_t, 4>& bytes, int pin, bool on) {
    const int index = (pin - 1) / 8;
    const uint8_t mask = static_cast<uint8_t>(1u << ((pin - 1) % 8));
    if (on)
        bytes[index] |= mask;
    else
        bytes[index] &= static_cast<uint8_t>(~mask);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int PinSet::highest() const { return std::max({kso3, ksi4, ksi5, ksi6, ksi7}); }

std::optional<PinSet> parseMbRecord(std::string_view record) {
    // The keys in the window's order of lookup.
    PinSet pins;
    const std::pair<std::string_view, int*> keys[] = {
        {"KSO3=", &pins.kso3}, {"KSI4=", &pins.ksi4}, {"KSI7=", &pins.ksi7},
        {"KSI6=", &pins.ksi6}, {"KSI5=", &pins.ksi5},
    };
    for (const auto& [key, target] : keys) {
        auto value = mbKeyValue(record, key);
        if (!value) return std::nullopt;
        auto pin = pinNumber(*value);
        if (!pin) return std::nullopt;
        *target = *pin;
    }
    return pins;
}

int ffcPinCount(std::string_view cableText) {
    if (cableText.size() < 2 || !isDigit(cableText[0]) || !isDigit(cableText[1])) return 0;
    return (cableText[0] - '0') * 10 + (cableText[1] - '0');
}

PinSet mirrorPins(const PinSet& pins, int cablePins) {
    auto turn = [cablePins](int p) { return cablePins - p + 1; };
    return {turn(pins.kso3), turn(pins.ksi4), turn(pins.ksi5), turn(pins.ksi6), turn(pins.ksi7)};
}

std::string wiringHelp(const PinSet& pins) {
    return "Please connect GND and: "
           " A" +
           std::to_string(pins.kso3) + " B" + std::to_string(pins.ksi4) + " C" +
           std::to_string(pins.ksi7) + " D" + std::to_string(pins.ksi6) + " E" +
           std::to_string(pins.ksi5) + " (only for JIG 2)";
}

void KB90_RouteSignal(RoutingImage& image, EneSignal signal, int pin) {
    if (pin < kMinPin || pin > kMaxPin) return;
    if (signal == EneSignal::D_FROM_ENE) {
        image.inputSelect =
            static_cast<uint8_t>(kInputSelectValid | ((pin - 1) & kInputSelectPinMask));
        return;
    }
    const SelectCode code = selectCode(signal);
    setBit(image.driveEnable, pin, true);
    setBit(image.selectHigh, pin, code.high);
    setBit(image.selectLow, pin, code.low);
}

RoutingImage routingFor(const PinSet& pins) {
    RoutingImage image;
    KB90_RouteSignal(image, EneSignal::ZERO, pins.kso3);
    KB90_RouteSignal(image, EneSignal::CS_ENE, pins.ksi4);
    KB90_RouteSignal(image, EneSignal::D_FROM_ENE, pins.ksi7);
    KB90_RouteSignal(image, EneSignal::D_TO_ENE, pins.ksi6);
    KB90_RouteSignal(image, EneSignal::CLK_ENE, pins.ksi5);
    return image;
}

std::vector<std::pair<uint8_t, uint8_t>> routingRegisterWrites(const RoutingImage& image) {
    std::vector<std::pair<uint8_t, uint8_t>> writes;
    for (uint8_t group = 0; group < 4; ++group) {
        writes.emplace_back(kRegSelectHigh + group, image.selectHigh[group]);
        writes.emplace_back(kRegSelectLow + group, image.selectLow[group]);
    }
    for (uint8_t group = 0; group < 4; ++group)
        writes.emplace_back(kRegDriveEnable + group, image.driveEnable[group]);
    writes.emplace_back(kRegInputSelect, image.inputSelect);
    return writes;
}

}  // namespace zjig::kb90
