#include "nuvoton_jtag_form/nuvjtag_batch.h"

namespace zjig::nuvjtag {

namespace {

constexpr uint8_t kCrc8Reflected = 0x8C;

void addWrite(Batch& batch, uint32_t address, uint32_t value) {
    NUV_BatchAdd(batch, kSelAddress, address);
    NUV_BatchAdd(batch, kSelData, value);
    NUV_BatchAdd(batch, kSelCommand, kBusWrite);
}

}  // namespace

uint8_t NUV_Crc8(const uint8_t* bytes, size_t length) {
    uint8_t crc = 0;
    for (size_t i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint8_t>((crc >> 1) ^ kCrc8Reflected)
                            : static_cast<uint8_t>(crc >> 1);
    }
    return crc;
}

void NUV_BatchBegin(Batch& batch) {
    batch.bytes.assign({kJtagPrefix, kCmdBatch, 0, 0, 0});
    batch.bytes.reserve(kTransferBufferSize);
}

void NUV_BatchAdd(Batch& batch, uint8_t selector, uint32_t value) {
    batch.bytes.push_back(selector);
    for (int i = 0; i < 4; ++i) batch.bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void finishBatch(Batch& batch, uint8_t mode) {
    const size_t length = batch.bytes.size();
    batch.bytes[2] = static_cast<uint8_t>(length & 0xFF);
    batch.bytes[3] = static_cast<uint8_t>(length >> 8);
    batch.bytes[4] = mode;
}

Batch eraseBatch(int sector) {
    const auto s = static_cast<uint32_t>(sector);
    Batch batch;
    NUV_BatchBegin(batch);
    addWrite(batch, kFiuCommand, kFlashWriteEnable);
    addWrite(batch, kFiuControl, kFiuWriteEnableGo);
    NUV_BatchAdd(batch, kSelAddress, kFiuControl);
    NUV_BatchAdd(batch, kSelCommand, kBusRead);
    NUV_BatchAdd(batch, kSelFetch, kFetchValue);
    addWrite(batch, kFiuCommand, kFlashSectorErase);
    addWrite(batch, kFiuAddressLow, 0);
    // The registers are a byte wide: s × 16 leaves the sector's 4 KiB in the
    // middle address byte, and its carry goes to the high byte.
    addWrite(batch, kFiuAddressMid, s * 16);
    addWrite(batch, kFiuAddressHigh, s / 16);
    addWrite(batch, kFiuControl, kFiuEraseGo);
    finishBatch(batch, kModeErase);
    return batch;
}

std::vector<Pair> eraseFollowUp() {
    return {{kSelAddress, kFiuControl}, {kSelCommand, kBusRead}, {kSelFetch, kFetchValue}};
}

std::vector<Pair> busyPoll() {
    return {{kSelAddress, kFiuCommand}, {kSelData, kFlashReadStatus}, {kSelCommand, kBusWrite},
            {kSelAddress, kFiuControl}, {kSelData, kFiuReadStatusGo}, {kSelCommand, kBusWrite},
            {kSelAddress, kFiuControl}, {kSelCommand, kBusRead},      {kSelFetch, kFetchValue},
            {kSelAddress, kFiuStatus},  {kSelCommand, kBusRead},      {kSelFetch, kFetchValue}};
}

Batch setupBatch() {
    Batch batch;
    NUV_BatchBegin(batch);
    addWrite(batch, kMailbox, kHelperStart);
    NUV_BatchAdd(batch, kSelConfig1, kSetupSize);
    NUV_BatchAdd(batch, kSelConfig0, kSetupSize);
    NUV_BatchAdd(batch, kSelConfig2, kSetupSize);
    NUV_BatchAdd(batch, kSelConfig3, kSetupCount);
    finishBatch(batch, kModeData);
    return batch;
}

PagePlace pagePlace(int page) {
    const bool second = page % 2 == 1;
    return {second ? kBufferB : kBufferA, second ? kBufferFlagB : 0u,
            static_cast<uint8_t>(page & 0xFF), static_cast<uint32_t>(page) >> 8};
}

Batch dataBatch(const PagePlace& place, const uint8_t* page) {
    const auto word = [page](size_t i) {
        return static_cast<uint32_t>(page[4 * i]) | static_cast<uint32_t>(page[4 * i + 1]) << 8 |
               static_cast<uint32_t>(page[4 * i + 2]) << 16 |
               static_cast<uint32_t>(page[4 * i + 3]) << 24;
    };
    Batch batch;
    NUV_BatchBegin(batch);
    NUV_BatchAdd(batch, kSelAddress, place.buffer);
    NUV_BatchAdd(batch, kSelData, word(0));
    // The first word goes with the streaming write; the rest follow it.
    NUV_BatchAdd(batch, kSelCommand, kBusWriteStream);
    for (size_t i = 1; i < kPageSize / 4; ++i) NUV_BatchAdd(batch, kSelData, word(i));
    finishBatch(batch, kModeData);
    return batch;
}

Batch commitBatch(const PagePlace& place, uint8_t crc) {
    Batch batch;
    NUV_BatchBegin(batch);
    NUV_BatchAdd(batch, kSelAddress, kMailbox);
    NUV_BatchAdd(batch, kSelData, kProgramRequest);
    NUV_BatchAdd(batch, kSelCommand, kBusWriteMailbox);
    NUV_BatchAdd(batch, kSelData, kCrcWord + crc);
    NUV_BatchAdd(batch, kSelData, static_cast<uint32_t>(place.j) * 0x1000000u + kPageLowFill);
    NUV_BatchAdd(batch, kSelData, place.flag + place.hi);
    finishBatch(batch, kModeCommit);
    return batch;
}

}  // namespace zjig::nuvjtag
