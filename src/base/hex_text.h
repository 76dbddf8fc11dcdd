// Upper-case hexadecimal as the memo lines show numbers and bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zjig {

// `value` in upper-case hex, at least `minDigits` digits (leading zeros).
std::string upperHex(uint32_t value, int minDigits);
// Two digits per byte, no separators.
std::string upperHexBytes(const uint8_t* bytes, size_t count);

}  // namespace zjig
