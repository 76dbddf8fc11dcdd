// The keyboard matrix tester's command set: the bytes the PC exchanges with
// the JIG while it scans the keyboard connector, and the limits of a scan.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace zjig::keyboard {

// --- commands (PC to JIG) ---
inline constexpr uint8_t kCmdScan = 'U';      // third generation: one scan; both: scan again
inline constexpr uint8_t kCmdScanJig2 = 'u';  // second generation: start scanning
inline constexpr uint8_t kCmdBuzzer = 'I';    // sound the buzzer; a third-generation JIG answers
inline constexpr uint8_t kCmdLeave = 'Q';     // second generation: the user stopped the scan

// --- answers (JIG to PC) ---
inline constexpr uint8_t kGroupStart = '>';  // the next byte is a group's first pin
inline constexpr uint8_t kAnswerEnd = '&';   // ends every answer

// --- the connector ---
inline constexpr int kPins = 32;
// Every pair of different pins: 32 * 31 / 2.
inline constexpr int kPairCount = kPins * (kPins - 1) / 2;  // 496
inline constexpr int kFirstKeyIndex = 2;                    // pins 1 and 2
inline constexpr int kLastKeyIndex = 992;                   // pins 31 and 32

// --- limits ---
inline constexpr size_t kTransferBufferSize = 1024;
inline constexpr size_t kAnswerBufferSize = 1024;  // one answer at most
inline constexpr size_t kHiddenListSize = 1000;    // hidden key indices kept
// No complete answer (or, on a third-generation JIG, no buzzer answer)
// within this time ends the scan.
inline constexpr std::chrono::milliseconds kWatchdog{1000};

}  // namespace zjig::keyboard
