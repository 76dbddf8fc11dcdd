// The Nuvoton SPI command set: the bytes the PC exchanges with the JIG in this
// mode, the flash geometry and the limits of the waits. A third-generation JIG
// takes the mode prefix 'N' ahead of the first command of a sequence only.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace zjig::npce {

// --- flash geometry ---
inline constexpr size_t kFlashSize = 131072;
inline constexpr size_t kBlockSize = 512;                                      // one read block
inline constexpr int kBlockCount = static_cast<int>(kFlashSize / kBlockSize);  // 256
inline constexpr size_t kChunkSize = 256;                                      // one write chunk
inline constexpr int kChunkCount = static_cast<int>(kFlashSize / kChunkSize);  // 512
inline constexpr uint8_t kPadByte = 0xFF;  // fills the image past a short file

// --- mode commands ---
inline constexpr uint8_t kModePrefix = 'N';     // third generation, first command only
inline constexpr uint8_t kCmdIdentify = 'Z';    // flash ID: 4 bytes back
inline constexpr uint8_t kCmdErase = 'e';       // whole flash: 2 bytes back
inline constexpr uint8_t kCmdCheckClear = 'x';  // all FFh?: 2 bytes back
inline constexpr uint8_t kCmdRead = 'r';        // next 512-byte block
inline constexpr uint8_t kCmdReadEnd = '-';     // end of a read: 2 bytes back
inline constexpr uint8_t kCmdWrite = 'w';       // next 256-byte chunk: '*' back
inline constexpr uint8_t kCmdWriteEnd = 0x07;   // end of a write: 1 byte back
inline constexpr uint8_t kResultOk = 'I';       // success byte: 1 byte back
inline constexpr uint8_t kResultFail = 'O';     // failure byte: 1 byte back

// --- answers the PC looks at ---
inline constexpr size_t kIdAnswerBytes = 4;  // the flash ID and a byte not looked at
inline constexpr std::array<uint8_t, 3> kFlashId = {0xEF, 0x40, 0x12};
inline constexpr size_t kStatusAnswerBytes = 2;  // first byte 1: done; the second not looked at
inline constexpr uint8_t kStatusDone = 1;
inline constexpr uint8_t kEndTimedOut = 0;  // first byte after '-': the JIG ran into a time-out
inline constexpr uint8_t kChunkReady = '*';
inline constexpr uint8_t kChunkFailed = 0;  // result byte of a chunk not written

// --- link ---
inline constexpr size_t kTransferBufferSize = 1000;

// The window's progress gauge runs to this value: 2 steps per read block,
// 1 per write chunk.
inline constexpr int kGaugeMax = 512;

// --- limits of the waits (the user's --timeout replaces each) ---
// Erasing the whole chip takes seconds on a slow flash, and the blank check
// reads all of it inside the JIG before it answers.
inline constexpr std::chrono::milliseconds kEraseWait{30000};
inline constexpr std::chrono::milliseconds kCheckClearWait{15000};

}  // namespace zjig::npce
