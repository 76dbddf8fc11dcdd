// The Intel HEX loader on any text: what it accepts is an image whose last
// used address is right, and the same image written back as clean records
// loads to the same bytes. What it refuses leaves no last used address.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "update/hex_loader.h"

namespace {

using zjig::FirmwareImage;
using zjig::HexError;
using zjig::kFirmwareImageSize;

// 16-byte data records from address 0 up to the last used byte, CR LF line
// ends, then the end-of-file record: the shape the JIG firmware files have.
std::string writeBack(const FirmwareImage& image) {
    std::string text;
    auto put = [&text](uint8_t byte, uint8_t& sum) {
        text += zjig::NibbleToHex(static_cast<uint8_t>(byte >> 4));
        text += zjig::NibbleToHex(byte);
        sum = static_cast<uint8_t>(sum + byte);
    };
    for (int address = 0; address <= image.lastUsedAddress; address += 16) {
        const int count = std::min(16, image.lastUsedAddress + 1 - address);
        uint8_t sum = 0;
        text += ':';
        put(static_cast<uint8_t>(count), sum);
        put(static_cast<uint8_t>(address >> 8), sum);
        put(static_cast<uint8_t>(address), sum);
        put(0x00, sum);
        for (int i = 0; i < count; ++i) put(image.bytes[static_cast<size_t>(address + i)], sum);
        uint8_t ignored = 0;
        put(static_cast<uint8_t>(0x100 - sum), ignored);
        text += "\r\n";
    }
    return text + ":00000001FF\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FirmwareImage image;
    image.bytes.fill(0x00);  // the loader must blank the image itself
    image.lastUsedAddress = 1234;
    const HexError error = zjig::ParseHexText(data, size, image);

    if (error != HexError::None) {
        FUZZ_CHECK(size > 0);
        FUZZ_CHECK(image.lastUsedAddress == -1);
        return 0;
    }
    // An accepted non-empty text starts with a record.
    FUZZ_CHECK(size == 0 || data[0] == ':');
    const int last = image.lastUsedAddress;
    FUZZ_CHECK(last >= -1 && last < static_cast<int>(kFirmwareImageSize));
    if (last >= 0) FUZZ_CHECK(image.bytes[static_cast<size_t>(last)] != 0xFF);
    for (size_t i = static_cast<size_t>(last + 1); i < kFirmwareImageSize; ++i)
        FUZZ_CHECK(image.bytes[i] == 0xFF);

    const std::string clean = writeBack(image);
    FirmwareImage again;
    FUZZ_CHECK(zjig::ParseHexText(reinterpret_cast<const uint8_t*>(clean.data()), clean.size(),
                                  again) == HexError::None);
    FUZZ_CHECK(again.lastUsedAddress == last);
    FUZZ_CHECK(again.bytes == image.bytes);
    return 0;
}
