// The ITE command set: the bytes the PC exchanges with the JIG in this mode,
// the controller's registers behind them, the flash geometry and the limits
// of the waits. A third-generation JIG takes the mode prefix 'T' ahead of
// every command but the setup items and the end bytes.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace zjig::ite {

// --- flash geometry ---
inline constexpr size_t kFlashSize = 131072;
inline constexpr uint32_t kBlockSize = 256;  // one read-block answer carries this many
inline constexpr int kBlockCount = static_cast<int>(kFlashSize / kBlockSize);  // 512
inline constexpr uint32_t kBlockAnswerSize = kBlockSize + 1;                   // + 'o'
inline constexpr size_t kChunkSize = 128;                                      // one write chunk
inline constexpr int kChunkCount = static_cast<int>(kFlashSize / kChunkSize);  // 1024
inline constexpr uint8_t kErasedByte = 0xFF;

// --- commands ---
inline constexpr uint8_t kModePrefix = 'T';  // third generation only
inline constexpr uint8_t kCmdConnect = 'T';
inline constexpr uint8_t kCmdSetAddress = 'A';
inline constexpr uint8_t kCmdWriteDataJig2 = 'W';
inline constexpr uint8_t kCmdWriteDataJig3 = 'D';
inline constexpr uint8_t kCmdReadData = 'R';
inline constexpr uint8_t kCmdEnterSetup = 'S';
inline constexpr uint8_t kCmdReadBlock = 'r';
inline constexpr uint8_t kCmdWriteAddress = 'Y';  // then the start address in three bytes
inline constexpr uint8_t kCmdWriteChunk = 'w';    // then 128 data bytes
inline constexpr uint8_t kResultOk = 'I';
inline constexpr uint8_t kResultFail = 'O';

// --- answers ---
inline constexpr uint8_t kAnswerDone = 'o';
inline constexpr uint8_t kAnswerError = 'e';
inline constexpr uint8_t kAnswerSetup = '*';
inline constexpr uint8_t kAnswerItemTaken = '+';

// The item that ends the setup items.
inline constexpr std::array<uint8_t, 3> kSetupEnd = {'Q', 'Q', 'Q'};

// --- the controller's registers ---
inline constexpr uint8_t kRegId1 = 0x00;
inline constexpr uint8_t kRegId2 = 0x01;
inline constexpr uint8_t kRegRevision = 0x02;

// One register write of a preparation sequence, with the label that names it
// when the JIG refuses it.
struct RegisterStep {
    const char* label;
    uint8_t reg;
    uint8_t value;
};

// Register 05h opens (FDh) and closes (FEh, then a 00h byte in 08h) one
// command to the SPI flash behind the controller; register 08h carries the
// command's bytes.
inline constexpr std::array<RegisterStep, 13> kReadPreparation = {{
    {"(R001)", 0x27, 0x01},
    {"(R002)", 0x27, 0x80},
    {"(R003)", 0x04, 0xFF},
    {"(R004)", 0x07, 0x7F},
    {"(R005)", 0x06, 0xFF},
    {"(R006)", 0x05, 0xFE},
    {"(R007)", 0x08, 0x00},
    {"(R008)", 0x05, 0xFD},
    {"(R009)", 0x08, 0x0B},  // fast read
    {"(R010)", 0x08, 0x00},  // address 0
    {"(R011)", 0x08, 0x00},
    {"(R012)", 0x08, 0x00},
    {"(R013)", 0x08, 0x00},  // dummy byte: the flash streams from here on
}};

// T001..T005 prepare the controller as R001..R005 do; the rest erases the chip.
inline constexpr size_t kWritePreparationSteps = 5;
inline constexpr std::array<RegisterStep, 19> kWritePreparation = {{
    {"(T001)", 0x27, 0x01}, {"(T002)", 0x27, 0x80}, {"(T003)", 0x04, 0xFF},
    {"(T004)", 0x07, 0x7F}, {"(T005)", 0x06, 0xFF}, {"(T006)", 0x05, 0xFE},
    {"(T007)", 0x08, 0x00}, {"(T008)", 0x05, 0xFD}, {"(T009)", 0x08, 0x06},  // write enable
    {"(T010)", 0x05, 0xFE}, {"(T011)", 0x08, 0x00}, {"(T012)", 0x05, 0xFD},
    {"(T013)", 0x08, 0x60},  // chip erase
    {"(T014)", 0x05, 0xFE}, {"(T015)", 0x08, 0x00}, {"(T016)", 0x05, 0xFD},
    {"(T017)", 0x08, 0xC7},  // chip erase, second opcode
    {"(T018)", 0x05, 0xFE}, {"(T019)", 0x08, 0x00},
}};

// --- link ---
// The largest command is 130 bytes, the largest answer 257.
inline constexpr size_t kTransferBufferSize = 300;

// Limits of the waits when the user gives no `--timeout`. The JIG answers the
// connect command after its own attempt of up to 5 s to reach the controller;
// the erase runs inside the flash while the JIG holds back its answer to the
// write address or to the first chunk.
inline constexpr std::chrono::milliseconds kConnectWait{10000};
inline constexpr std::chrono::milliseconds kEraseWait{60000};
inline constexpr std::chrono::milliseconds kCommandWait{5000};
inline constexpr std::chrono::milliseconds kBlockAnswerWait{5000};

// --- gauges ---
inline constexpr int kReadGaugeMax = kBlockCount;  // one step per block
inline constexpr int kSpeedGaugeMax = 256;         // as created
inline constexpr int kSpeedGaugeMaxJig3 = 256;     // one step per 512 bytes sent
inline constexpr size_t kSpeedGaugeBytesJig3 = 512;
inline constexpr int kSpeedGaugeMaxJig2 = kChunkCount;  // one step per chunk

}  // namespace zjig::ite
