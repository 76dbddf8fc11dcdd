// The ENE KB90XX command set: the bytes the PC exchanges with the JIG in this
// mode, the flash geometry and the limits of the waits. A third-generation JIG
// takes the mode prefix 'K' ahead of the commands that start an operation.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace zjig::kb90 {

// --- flash geometry ---
inline constexpr size_t kBlockSize = 256;
inline constexpr int kBlockCount = 512;
inline constexpr size_t kFlashSize = kBlockSize * kBlockCount;  // 131072
inline constexpr uint8_t kPadByte = 0xFF;                       // fills a short file's last block

// --- mode commands ---
inline constexpr uint8_t kModePrefix = 'K';     // third generation only
inline constexpr uint8_t kCmdVersion = 'V';     // debug version of the KB90XX: one byte back
inline constexpr uint8_t kCmdRead = 'R';        // start reading / next read-back block
inline constexpr uint8_t kCmdWrite = 'W';       // start writing
inline constexpr uint8_t kCmdNext = 'N';        // next block
inline constexpr uint8_t kCmdEnd = 'X';         // end of the flash operation
inline constexpr uint8_t kCmdBlockState = '?';  // third generation: state after a block
inline constexpr uint8_t kCmdSum = 'S';         // second generation: sum and CRC16 of the flash
inline constexpr uint8_t kResultOk = 'I';       // success byte (also the third generation's
                                                // "ready" before the file dialog)
inline constexpr uint8_t kResultFail = 'O';     // failure byte

// --- answers the PC looks at ---
inline constexpr uint8_t kAnswerGood = 'G';        // third generation: block done
inline constexpr uint8_t kAnswerBlockError = 'E';  // third generation: block not written
inline constexpr uint8_t kAnswerSumTick = '-';     // second generation: one block summed
inline constexpr uint8_t kNoChip = 0xFF;           // version answer of an absent KB90XX
inline constexpr size_t kSumResultBytes = 4;       // sum low, high, CRC16 low, high

// --- CPLD routing of the third-generation JIG ---
inline constexpr uint8_t kCpldPrefix = 'S';
inline constexpr uint8_t kCpldReset = 'R';  // back to wire mode
inline constexpr uint8_t kCpldWrite = 'W';  // register, value

// Routing registers; +0..+3 cover connector pins 1-8, 9-16, 17-24, 25-32.
inline constexpr uint8_t kRegDriveEnable = 0x10;
inline constexpr uint8_t kRegSelectLow = 0x20;
inline constexpr uint8_t kRegSelectHigh = 0x24;
inline constexpr uint8_t kRegInputSelect = 0x40;
inline constexpr uint8_t kInputSelectValid = 0x80;
inline constexpr uint8_t kInputSelectPinMask = 0x1F;

// --- link ---
inline constexpr size_t kTransferBufferSize = 300;

// The window's progress gauge runs to this value; each block moves it by
// kGaugeMax / kBlockCount.
inline constexpr int kGaugeMax = 32768;

// The second-generation JIG sends one '-' per block while it sums the flash;
// any other bytes between them are skipped, but an endless stream of them is
// a broken link, not a slow one.
inline constexpr int kMaxSkippedSumBytes = 4 * static_cast<int>(kBlockSize);

}  // namespace zjig::kb90
