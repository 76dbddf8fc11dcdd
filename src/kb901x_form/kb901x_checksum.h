// Checksums of the second-generation write verification: the JIG sums the
// flash and the PC compares with the same sums over the blocks it sent.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zjig::kb90 {

// CRC-16/ARC: polynomial 0x8005 bit-reversed (0xA001), reflected, start 0,
// no final XOR. Feeding "123456789" from 0 gives 0xBB3D.
uint16_t crc16ArcByte(uint16_t crc, uint8_t byte);
uint16_t crc16Arc(uint16_t crc, const uint8_t* data, size_t n);

// 16-bit byte sum, modulo 65536.
uint16_t sum16(uint16_t sum, const uint8_t* data, size_t n);

// Running sum and CRC16 of the blocks sent.
struct FlashChecksum {
    uint16_t sum = 0;
    uint16_t crc = 0;
    void add(const uint8_t* data, size_t n) {
        sum = sum16(sum, data, n);
        crc = crc16Arc(crc, data, n);
    }
};

}  // namespace zjig::kb90
