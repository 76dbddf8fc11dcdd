// The EDID EEPROM command set: the bytes the PC exchanges with the JIG in this
// mode, the EEPROM's size and the receive area of a read. The commands are
// the same on both JIG generations: 'E' selects the EEPROM command set.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zjig::edid {

// --- the EEPROM ---
inline constexpr size_t kEepromSize = 256;
inline constexpr uint8_t kPadByte = 0xFF;  // fills the rest of a short file's image

// --- mode commands ---
inline constexpr uint8_t kCmdPrefix = 'E';
inline constexpr uint8_t kCmdRead = 'r';   // 256 data bytes and the status pair come back
inline constexpr uint8_t kCmdWrite = 'w';  // one byte back, then the JIG takes 256 bytes
inline constexpr uint8_t kResultOk = 'I';
inline constexpr uint8_t kResultFail = 'O';

// --- answers ---
inline constexpr size_t kStatusSize = 2;
inline constexpr size_t kReceiveSize = kEepromSize + kStatusSize;  // 258
inline constexpr size_t kWriteReadySize = 1;  // the answer to 'E' 'w' (value not looked at)
inline constexpr std::array<uint8_t, kStatusSize> kStatusOk = {'O', 'K'};
inline constexpr std::array<uint8_t, kStatusSize> kStatusError = {'E', 'R'};

// --- link ---
inline constexpr size_t kTransferBufferSize = 300;

}  // namespace zjig::edid
