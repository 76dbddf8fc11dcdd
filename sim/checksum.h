// Checksums the JIG firmware computes over a target's memory. Written here on
// purpose (bitwise, not table-driven) so that the program's own code is never
// checked against itself.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

// 16-bit sum of the bytes, modulo 65536.
uint16_t byteSum16(const uint8_t* data, size_t n, uint16_t sum = 0);

// CRC-16/ARC: polynomial 0x8005 reflected (0xA001), initial value 0, input and
// output reflected, no final XOR. "123456789" gives 0xBB3D.
uint16_t crc16Arc(const uint8_t* data, size_t n, uint16_t crc = 0);

}  // namespace sim
