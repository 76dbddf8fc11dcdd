// The write's batches and page check: a batch packs selector/value pairs
// into one write that the JIG shifts into the controller in one go; each
// page is checked by the controller's helper against its CRC-8. Pure
// functions: the bytes of every batch the write sends.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "nuvoton_jtag_form/nuvjtag_commands.h"

namespace zjig::nuvjtag {

// CRC-8 of the Dallas/Maxim 1-Wire kind: polynomial 0x31 taken bit-reflected
// (0x8C), start 0, least significant bit first, no final inversion.
// "123456789" gives 0xA1.
uint8_t NUV_Crc8(const uint8_t* bytes, size_t length);

// One batch being built: 'J' 'W', two length bytes and the mode byte, then
// five bytes per record (selector, value least significant byte first).
struct Batch {
    std::vector<uint8_t> bytes;
};

// Starts an empty batch (the header's length and mode are filled in when
// it is finished).
void NUV_BatchBegin(Batch& batch);
void NUV_BatchAdd(Batch& batch, uint8_t selector, uint32_t value);
// Fills in the total length and the mode; the bytes are then ready to send.
void finishBatch(Batch& batch, uint8_t mode);

// A selector and value sent one by one, as two shifts.
struct Pair {
    uint8_t selector;
    uint32_t value;
};

// The erase of 4 KiB sector `sector` (0..31), mode 0xFE.
Batch eraseBatch(int sector);
// After the erase batch: the flash interface's control register is read.
std::vector<Pair> eraseFollowUp();
// One round of the busy poll; the last answer's first byte is the flash status.
std::vector<Pair> busyPoll();
// The write's set-up, mode 0xFF.
Batch setupBatch();

// Where page n (from 0) goes: the helper's buffer, its flag in the commit,
// and the page number as the commit gives it (low byte j, wraps counted in hi).
struct PagePlace {
    uint32_t buffer;  // b
    uint32_t flag;    // f
    uint8_t j;
    uint32_t hi;
};
PagePlace pagePlace(int page);

// The page's 64 words into buffer b, mode 0xFF.
Batch dataBatch(const PagePlace& place, const uint8_t* page);
// The helper's request to program the page from its buffer, mode 0x22.
Batch commitBatch(const PagePlace& place, uint8_t crc);

}  // namespace zjig::nuvjtag
