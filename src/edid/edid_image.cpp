#include "edid/edid_image.h"

#include <algorithm>

#include "base/hex_text.h"
#include "jiglink/identity.h"

namespace zjig::edid {

namespace {

constexpr size_t kBytesPerLine = 16;
constexpr size_t kBaseBlockSize = 128;
constexpr std::array<uint8_t, 8> kHeader = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr size_t kManufacturerAt = 8;
constexpr size_t kProductCodeAt = 10;

// A manufacturer letter is five bits, 1 for 'A' up to 26 for 'Z'.
std::optional<char> manufacturerLetter(unsigned code) {
    if (code < 1 || code > 26) return std::nullopt;
    return static_cast<char>('A' + code - 1);
}

}  // namespace

std::vector<std::string> hexViewLines(const EepromImage& image) {
    std::vector<std::string> lines;
    lines.reserve(1 + image.size() / kBytesPerLine);
    lines.emplace_back();
    for (size_t at = 0; at < image.size(); at += kBytesPerLine) {
        std::string line = ":";
        std::string chars;
        for (size_t i = at; i < at + kBytesPerLine; ++i) {
            line += ' ';
            line += upperHex(image[i], 2);
            const char c = PrintableChar(image[i]);
            chars += c == ' ' ? '.' : c;
        }
        lines.push_back(line + ' ' + chars);
    }
    return lines;
}

EepromStatus statusOf(uint8_t first, uint8_t second) {
    if (first == kStatusOk[0] && second == kStatusOk[1]) return EepromStatus::Ok;
    if (first == kStatusError[0] && second == kStatusError[1]) return EepromStatus::Error;
    return EepromStatus::Other;
}

EepromImage imageFromFile(const std::vector<uint8_t>& bytes) {
    EepromImage image;
    image.fill(kPadByte);
    std::copy_n(bytes.begin(), std::min(bytes.size(), image.size()), image.begin());
    return image;
}

EdidSummary summarize(const EepromImage& image) {
    EdidSummary s;
    s.headerPresent = std::equal(kHeader.begin(), kHeader.end(), image.begin());
    unsigned sum = 0;
    for (size_t i = 0; i < kBaseBlockSize; ++i) sum += image[i];
    s.baseBlockSum = static_cast<uint8_t>(sum);
    s.checksumValid = s.baseBlockSum == 0;
    s.manufacturerBits =
        static_cast<uint16_t>(image[kManufacturerAt] << 8 | image[kManufacturerAt + 1]);
    // Bit 15 is reserved (zero); bits 14-10, 9-5 and 4-0 are the three letters.
    const auto a = manufacturerLetter(s.manufacturerBits >> 10 & 0x1F);
    const auto b = manufacturerLetter(s.manufacturerBits >> 5 & 0x1F);
    const auto c = manufacturerLetter(s.manufacturerBits & 0x1F);
    if (!(s.manufacturerBits & 0x8000) && a && b && c) s.manufacturer = std::string{*a, *b, *c};
    s.productCode = static_cast<uint16_t>(image[kProductCodeAt + 1] << 8 | image[kProductCodeAt]);
    return s;
}

std::string summaryText(const EdidSummary& s) {
    std::string text = "EDID header: ";
    text += s.headerPresent ? "present" : "missing";
    text += "\nChecksum of bytes 0-127: ";
    text += s.checksumValid ? "valid"
                            : "wrong (they sum to " + upperHex(s.baseBlockSum, 2) + "h, not 00h)";
    text += "\nManufacturer: ";
    text +=
        s.manufacturer ? *s.manufacturer : upperHex(s.manufacturerBits, 4) + "h, not three letters";
    text += "\nProduct code: " + upperHex(s.productCode, 4) + "h";
    return text;
}

}  // namespace zjig::edid
