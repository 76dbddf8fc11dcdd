#include "sim/checksum.h"

namespace sim {

uint16_t byteSum16(const uint8_t* data, size_t n, uint16_t sum) {
    for (size_t i = 0; i < n; ++i) sum = static_cast<uint16_t>(sum + data[i]);
    return sum;
}

uint16_t crc16Arc(const uint8_t* data, size_t n, uint16_t crc) {
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

}  // namespace sim
