// The ENE motherboard database on any file content: the split gives one
// record per line feed with no line-end bytes left in it, a record the parser
// accepts has five connector pins 1 to 32 taken from its keys, and on every
// cable large enough for it the mirrored pins and the CPLD routing image are
// what the technician's wiring needs.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "kb901x_form/kb901x_commands.h"
#include "kb901x_form/kb901x_controls.h"
#include "kb901x_form/kb901x_routing.h"

namespace {

using namespace zjig::kb90;

bool bit(const std::array<uint8_t, 4>& bytes, int pin) {
    return (bytes[static_cast<size_t>((pin - 1) / 8)] >> ((pin - 1) % 8)) & 1;
}

// The image checked pin by pin against the driven signals in routing order;
// D_FROM_ENE only selects the input.
void checkRouting(const PinSet& pins) {
    const RoutingImage image = routingFor(pins);
    struct Driven {
        int pin;
        bool high, low;
    };
    const Driven driven[] = {
        {pins.kso3, true, true},    // ZERO
        {pins.ksi4, true, false},   // CS_ENE
        {pins.ksi6, false, true},   // D_TO_ENE
        {pins.ksi5, false, false},  // CLK_ENE
    };
    for (int pin = kMinPin; pin <= kMaxPin; ++pin) {
        const Driven* last = nullptr;
        for (const auto& d : driven)
            if (d.pin == pin) last = &d;
        FUZZ_CHECK(bit(image.driveEnable, pin) == (last != nullptr));
        FUZZ_CHECK(bit(image.selectHigh, pin) == (last && last->high));
        FUZZ_CHECK(bit(image.selectLow, pin) == (last && last->low));
    }
    FUZZ_CHECK(image.inputSelect == (kInputSelectValid | (pins.ksi7 - 1)));

    const auto writes = routingRegisterWrites(image);
    FUZZ_CHECK(writes.size() == 13);
    for (uint8_t group = 0; group < 4; ++group) {
        FUZZ_CHECK(writes[2 * group].first == kRegSelectHigh + group);
        FUZZ_CHECK(writes[2 * group].second == image.selectHigh[group]);
        FUZZ_CHECK(writes[2 * group + 1].first == kRegSelectLow + group);
        FUZZ_CHECK(writes[2 * group + 1].second == image.selectLow[group]);
        FUZZ_CHECK(writes[8 + group].first == kRegDriveEnable + group);
        FUZZ_CHECK(writes[8 + group].second == image.driveEnable[group]);
    }
    FUZZ_CHECK(writes[12].first == kRegInputSelect && writes[12].second == image.inputSelect);
}

void checkRecord(const std::string& record) {
    const std::string_view keys[] = {"KSO3=", "KSI4=", "KSI5=", "KSI6=", "KSI7="};
    const auto pins = parseMbRecord(record);
    const int parsed[] = {pins ? pins->kso3 : 0, pins ? pins->ksi4 : 0, pins ? pins->ksi5 : 0,
                          pins ? pins->ksi6 : 0, pins ? pins->ksi7 : 0};
    bool allKeysGood = true;
    for (size_t k = 0; k < 5; ++k) {
        const auto value = mbKeyValue(record, keys[k]);
        FUZZ_CHECK(value.has_value() == (record.find(keys[k]) != std::string::npos));
        if (value) FUZZ_CHECK(value->size() <= 2);
        const auto pin = value ? pinNumber(*value) : std::nullopt;
        if (pin) FUZZ_CHECK(*pin >= kMinPin && *pin <= kMaxPin);
        if (pins) FUZZ_CHECK(pin == parsed[k]);
        allKeysGood = allKeysGood && pin.has_value();
    }
    FUZZ_CHECK(pins.has_value() == allKeysGood);

    const int count = ffcPinCount(record);
    const bool twoDigits = record.size() >= 2 && record[0] >= '0' && record[0] <= '9' &&
                           record[1] >= '0' && record[1] <= '9';
    FUZZ_CHECK(twoDigits ? count == (record[0] - '0') * 10 + (record[1] - '0') : count == 0);

    if (!pins) return;
    FUZZ_CHECK(pins->highest() == *std::max_element(parsed, parsed + 5));
    checkRouting(*pins);
    for (std::string_view cable : kFfcItems) {
        const int n = ffcPinCount(cable);
        FUZZ_CHECK(n >= 18 && n <= kMaxPin);
        if (n < pins->highest()) continue;  // "Please select big pins FFC!"
        const PinSet turned = mirrorPins(*pins, n);
        for (int p : {turned.kso3, turned.ksi4, turned.ksi5, turned.ksi6, turned.ksi7})
            FUZZ_CHECK(p >= kMinPin && p <= n);
        FUZZ_CHECK(mirrorPins(turned, n) == *pins);
        FUZZ_CHECK(wiringHelp(turned) ==
                   "Please connect GND and:  A" + std::to_string(turned.kso3) + " B" +
                       std::to_string(turned.ksi4) + " C" + std::to_string(turned.ksi7) + " D" +
                       std::to_string(turned.ksi6) + " E" + std::to_string(turned.ksi5) +
                       " (only for JIG 2)");
        checkRouting(turned);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    const auto records = splitMbDatabase(content);

    const size_t lastLineFeed = content.rfind('\n');
    const std::string_view kept = lastLineFeed == std::string_view::npos
                                      ? std::string_view{}
                                      : content.substr(0, lastLineFeed + 1);
    const auto lineFeeds = static_cast<size_t>(std::count(kept.begin(), kept.end(), '\n'));
    const auto returns = static_cast<size_t>(std::count(kept.begin(), kept.end(), '\r'));
    FUZZ_CHECK(records.size() == lineFeeds);
    size_t total = 0;
    for (const auto& record : records) {
        FUZZ_CHECK(record.find_first_of("\r\n") == std::string::npos);
        total += record.size();
        checkRecord(record);
    }
    FUZZ_CHECK(total == kept.size() - lineFeeds - returns);
    return 0;
}
