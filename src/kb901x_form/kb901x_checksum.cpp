#include "kb901x_form/kb901x_checksum.h"

#include <array>

namespace zjig::kb90 {

namespace {

constexpr uint16_t kCrcPolyReflected = 0xA001;

constexpr std::array<uint16_t, 256> makeCrcTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ kCrcPolyReflected)
                            : static_cast<uint16_t>(crc >> 1);
        table[i] = crc;
    }
    return table;
}

constexpr auto kCrcTable = makeCrcTable();

}  // namespace

uint16_t crc16ArcByte(uint16_t crc, uint8_t byte) {
    return static_cast<uint16_t>(kCrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8));
}

uint16_t crc16Arc(uint16_t crc, const uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) crc = crc16ArcByte(crc, data[i]);
    return crc;
}

uint16_t sum16(uint16_t sum, const uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) sum = static_cast<uint16_t>(sum + data[i]);
    return sum;
}

}  // namespace zjig::kb90
