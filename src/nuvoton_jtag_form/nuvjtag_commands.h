// The Nuvoton JTAG command set: the bytes the PC exchanges with the JIG in
// this mode, the controller's flash geometry, the addresses and selectors the
// write drives the controller's flash interface with, and the limits of the
// waits. The commands are the same on both JIG generations.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace zjig::nuvjtag {

// --- flash geometry ---
inline constexpr size_t kPageSize = 256;
inline constexpr int kPageCount = 512;
inline constexpr size_t kFlashSize = kPageSize * kPageCount;  // 131072
inline constexpr int kSectorCount = 32;                       // 4 KiB erase sectors
inline constexpr uint8_t kPadByte = 0xFF;                     // an erased flash byte

// --- JTAG commands ('J' ...) ---
inline constexpr uint8_t kJtagPrefix = 'J';
inline constexpr uint8_t kCmdSpiOff = 'X';
inline constexpr uint8_t kCmdSpiOn = 'S';
inline constexpr uint8_t kCmdTapReset = '1';
inline constexpr uint8_t kCmdIrShift = 'i';
inline constexpr uint8_t kCmdDrShift = 'd';
inline constexpr uint8_t kCmdDrShift32 = 'D';
inline constexpr uint8_t kCmdCombinedShift = 'T';  // 8-bit and 32-bit shift and a mode byte
inline constexpr uint8_t kCmdBatch = 'W';
inline constexpr uint8_t kCmdReadPage = 'R';  // the next 256 flash bytes

// --- result signals ---
inline constexpr uint8_t kBuzzOk = 'I';
inline constexpr uint8_t kBuzzError = 'O';

// --- CPLD routing of the third-generation JIG ---
inline constexpr uint8_t kCpldPrefix = 'S';
inline constexpr uint8_t kCpldReset = 'R';
inline constexpr uint8_t kCpldWrite = 'W';

// --- the controller ---
// The JTAG ID the controller answers after a TAP reset, least significant
// byte first on the wire: 1F 20 E2 0F.
inline constexpr uint32_t kExpectedId = 0x0FE2201F;
inline constexpr uint32_t kIdShiftIn = 0xFFFFFFFF;

// Selectors of the 8-bit shift that comes ahead of each 32-bit value.
inline constexpr uint8_t kSelAddress = 0x0B;
inline constexpr uint8_t kSelData = 0x0D;
inline constexpr uint8_t kSelCommand = 0x09;
inline constexpr uint8_t kSelFetch = 0x0C;  // shifts out the value fetched
inline constexpr uint8_t kSelConfig0 = 0x00;
inline constexpr uint8_t kSelConfig1 = 0x01;
inline constexpr uint8_t kSelConfig2 = 0x02;
inline constexpr uint8_t kSelConfig3 = 0x03;

// Values of the command selector.
inline constexpr uint32_t kBusRead = 1;
inline constexpr uint32_t kBusWrite = 3;
inline constexpr uint32_t kBusWriteMailbox = 0x6B;
inline constexpr uint32_t kBusWriteStream = 0x7EB;
inline constexpr uint32_t kFetchValue = 1;

// The controller's flash interface registers.
inline constexpr uint32_t kFiuCommand = 0xFF0016;
inline constexpr uint32_t kFiuAddressLow = 0xFF0017;
inline constexpr uint32_t kFiuAddressMid = 0xFF0018;
inline constexpr uint32_t kFiuAddressHigh = 0xFF0019;
inline constexpr uint32_t kFiuStatus = 0xFF001A;
inline constexpr uint32_t kFiuControl = 0xFF001E;
inline constexpr uint32_t kFlashWriteEnable = 0x06;
inline constexpr uint32_t kFlashSectorErase = 0x20;
inline constexpr uint32_t kFlashReadStatus = 0x05;
inline constexpr uint32_t kFiuWriteEnableGo = 0xA0;
inline constexpr uint32_t kFiuEraseGo = 0xA8;
inline constexpr uint32_t kFiuReadStatusGo = 0x81;
inline constexpr uint8_t kFlashBusyMask = 0x03;  // write in progress, write enabled

// The programming helper the script leaves in the controller's RAM: its
// mailbox, its two page buffers and the words of its requests.
inline constexpr uint32_t kMailbox = 0x107F0;
inline constexpr uint32_t kHelperStart = 0x10400;
inline constexpr uint32_t kSetupSize = 0x400;
inline constexpr uint32_t kSetupCount = 0x10;
inline constexpr uint32_t kBufferA = 0x10800;
inline constexpr uint32_t kBufferB = 0x10900;
inline constexpr uint32_t kBufferFlagB = 0x1000000;  // the commit's word for buffer B
inline constexpr uint32_t kProgramRequest = 0x10077;
inline constexpr uint32_t kCrcWord = 0x10000;   // + the page's CRC-8
inline constexpr uint32_t kPageLowFill = 0xFF;  // + j × 1000000h

// --- batches: 'J' 'W', length (2 bytes, low first), mode, 5-byte records ---
inline constexpr size_t kBatchHeaderBytes = 5;
inline constexpr size_t kBatchRecordBytes = 5;
inline constexpr uint8_t kModeErase = 0xFE;
inline constexpr uint8_t kModeData = 0xFF;
inline constexpr uint8_t kModeCommit = 0x22;
inline constexpr uint8_t kBatchDone = 0x22;  // the answer of a batch that succeeded

inline constexpr size_t kEraseBatchBytes = 125;  // 24 records
inline constexpr size_t kSetupBatchBytes = 40;   // 7 records
inline constexpr size_t kDataBatchBytes = 335;   // 66 records
inline constexpr size_t kCommitBatchBytes = 35;  // 6 records

// --- link ---
// Large enough for the largest batch (the data batch) and for a page.
inline constexpr size_t kTransferBufferSize = kDataBatchBytes;
static_assert(kTransferBufferSize >= kPageSize);

// How long the flash may stay busy after a sector erase before the write
// gives up (the user's --timeout replaces it). A sector erase takes well
// under a second.
inline constexpr std::chrono::milliseconds kSectorEraseWait{5000};

// A script is a text of JTAG shifts of some kilobytes; anything past this is
// not a script.
inline constexpr size_t kMaxScriptBytes = size_t{4} << 20;
// A line, CR LF included, holds at most this many bytes.
inline constexpr size_t kMaxScriptLineBytes = 1024;

// The window's gauge: the layout's maximum, the erase's and the write's.
inline constexpr int kGaugeLayoutMax = 512;

}  // namespace zjig::nuvjtag
