// The MEC16xx command set: the bytes the PC exchanges with the JIG in this
// mode, the controller registers it writes through them, the flash geometry
// and the limits of the waits. The JIG does the JTAG work; the PC sends it
// short commands whose addresses and values travel as upper-case hex text.
// A third-generation JIG takes the mode prefix 'M' ahead of the ID and
// register commands and of the block stream.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace zjig::mec16 {

// --- flash geometry ---
inline constexpr size_t kBlockSize = 1024;                  // one block of a read stream
inline constexpr size_t kBlockWithStatus = kBlockSize + 1;  // ... and its status byte
inline constexpr int kMainBlocks = 192;
inline constexpr int kInfoBlocks = 2;
inline constexpr size_t kMainSize = kBlockSize * kMainBlocks;  // 196608
inline constexpr size_t kInfoSize = kBlockSize * kInfoBlocks;  // 2048
inline constexpr size_t kChunkSize = 256;                      // one chunk of a write
inline constexpr int kChunkCount = static_cast<int>(kMainSize / kChunkSize);  // 768
inline constexpr uint8_t kPadByte = 0xFF;  // fills a short file's last chunk

// Where the streams start (six address characters).
inline constexpr const char* kMainAddress = "000000";
inline constexpr const char* kInfoAddress = "040000";

// --- commands ---
inline constexpr uint8_t kModePrefix = 'M';     // third generation only
inline constexpr uint8_t kCmdTapReset = '1';    // second-generation JTAG reset
inline constexpr uint8_t kCmdReadId = 'j';      // four ID bytes back
inline constexpr uint8_t kCmdReadReg = 'r';     // + 6 address characters: 5 bytes back
inline constexpr uint8_t kCmdWriteReg = 'w';    // + 6 address + 8 value characters: 1 byte back
inline constexpr uint8_t kCmdStartRead = 'R';   // + 6 address characters: a stream of blocks
inline constexpr uint8_t kCmdStartWrite = 'W';  // one byte back, then chunks
inline constexpr uint8_t kCmdNext = 'N';        // next block, or next chunk
inline constexpr uint8_t kCmdEnd = 'X';         // ends a stream; nothing back
inline constexpr uint8_t kCmdRelease = '0';     // second generation: end of use; nothing back
inline constexpr uint8_t kResultOk = 'I';
inline constexpr uint8_t kResultFail = 'O';

// Third-generation steps: two bytes each, one byte back.
inline constexpr uint8_t kCpldPrefix = 'S';
inline constexpr uint8_t kCpldReset = 'R';
inline constexpr uint8_t kJtagPrefix = 'J';
inline constexpr uint8_t kJtagSpiOff = 'X';
inline constexpr uint8_t kJtagSpiOn = 'S';
inline constexpr uint8_t kJtagTapReset = '1';

// --- answers the PC looks at ---
inline constexpr size_t kIdBytes = 4;
inline constexpr size_t kRegisterAnswerBytes = 5;  // value b0..b3, one more byte
inline constexpr uint8_t kRegisterWritten = 1;
inline constexpr uint8_t kBlockGood = 1;    // status byte of a block read correctly
inline constexpr uint8_t kChunkGood = 'G';  // a chunk programmed
inline constexpr uint8_t kNoId = 0xFF;      // every ID byte of an absent controller

// --- controller registers and values (sent as text) ---
inline constexpr const char* kRegDeviceInfo = "FFFD00";
inline constexpr const char* kRegAddress = "FF3904";
inline constexpr const char* kRegMode = "FF3908";
inline constexpr const char* kRegStatus = "FF390C";
inline constexpr const char* kRegEnable = "FF3910";

inline constexpr uint32_t kEnableOn = 1;
inline constexpr uint32_t kEnableOff = 0;
inline constexpr uint32_t kModeRead = 0x105;
inline constexpr uint32_t kModeProgram = 0x106;
inline constexpr uint32_t kModeErase = 0x107;
inline constexpr uint32_t kModeFinish = 0x100;
inline constexpr uint32_t kModeIdle = 0;
inline constexpr uint32_t kEraseMain = 0x00F80000;
inline constexpr uint32_t kEraseMainAndInfo = 0x00FC0000;
inline constexpr uint32_t kProgramFromStart = 0;

// Bits of the status byte (byte 3 of the status register).
inline constexpr uint8_t kStatusBusy = 0x01;
inline constexpr uint8_t kStatusBootLock = 0x08;
inline constexpr uint8_t kStatusFwp = 0x10;

// --- link ---
inline constexpr size_t kTransferBufferSize = 1100;

// The erase runs on the controller for a while, and the status is asked for
// again and again meanwhile; the whole wait is bounded by this (or by the
// user's --timeout).
inline constexpr std::chrono::milliseconds kEraseWait{30000};

// Gauge maxima.
inline constexpr int kReadGaugeMax = kMainBlocks;
inline constexpr int kWriteGaugeMax = kChunkCount;
inline constexpr int kLayoutGaugeMax = 768;

}  // namespace zjig::mec16
