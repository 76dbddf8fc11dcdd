// The JIG identity: the JIG's answer to 'B' made printable, and what its
// substrings mean. All tests on an identity are case-sensitive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zjig {

inline constexpr std::string_view kIdJig3 = "EPM240";
inline constexpr std::string_view kIdJig3Shell = "M328_EPM240";
inline constexpr std::string_view kIdJig3Current = "M328_EPM240_v16";
inline constexpr std::string_view kIdCommon = "V41";
inline constexpr std::string_view kIdMecJtag = "V42";
inline constexpr std::string_view kIdIte = "ITE";
inline constexpr std::string_view kIdNuvoton = "NPCE";

// The shell's own identity values when no answer exists.
inline constexpr std::string_view kIdNoDevice = "FTDI device not found";
inline constexpr std::string_view kIdNoAnswer = "FTDI found, ERROR answer";

// Digits, letters, '.' and '_' stay; every other byte becomes a space.
char PrintableChar(uint8_t byte);
std::string PrintableText(const uint8_t* bytes, size_t n);

inline bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

}  // namespace zjig
