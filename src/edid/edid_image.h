// The EEPROM image as the window shows and checks it: the hex view, the
// status pair that ends a read, the image made from a file, and a short
// summary of the EDID the image holds. Pure functions, no link and no window.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "edid/edid_commands.h"

namespace zjig::edid {

using EepromImage = std::array<uint8_t, kEepromSize>;

// The memo lines of the hex view: an empty line, then one line per 16 bytes:
// ':', each byte as " XX", a blank, and the 16 bytes as characters (digits,
// letters, '.' and '_' as themselves, every other byte as '.').
std::vector<std::string> hexViewLines(const EepromImage& image);

// What the two letters after the data of a read, or after a write, say.
enum class EepromStatus { Ok, Error, Other };
EepromStatus statusOf(uint8_t first, uint8_t second);

// The image a file gives: its first 256 bytes, a shorter file padded with 0xFF.
EepromImage imageFromFile(const std::vector<uint8_t>& bytes);

// What the first 128 bytes (the base block of an EDID) say.
struct EdidSummary {
    bool headerPresent = false;  // 00 FF FF FF FF FF FF 00
    bool checksumValid = false;  // bytes 0-127 sum to 0 modulo 256
    uint8_t baseBlockSum = 0;
    uint16_t manufacturerBits = 0;            // bytes 8-9, high byte first
    std::optional<std::string> manufacturer;  // three letters, when the bits are letters
    uint16_t productCode = 0;                 // bytes 10-11, low byte first
};
EdidSummary summarize(const EepromImage& image);
// The summary as the label beside the memo shows it, one fact per line.
std::string summaryText(const EdidSummary& summary);

}  // namespace zjig::edid
