#include "sim/npce_spi.h"

#include <algorithm>

namespace sim {

namespace {

constexpr uint8_t kIdentify = 'Z';
constexpr uint8_t kErase = 'e';
constexpr uint8_t kCheckClear = 'x';
constexpr uint8_t kRead = 'r';
constexpr uint8_t kReadEnd = '-';
constexpr uint8_t kWrite = 'w';
constexpr uint8_t kWriteEnd = 0x07;
constexpr uint8_t kResultGood = 'I';
constexpr uint8_t kResultBad = 'O';

// Answers of the JIG.
constexpr std::array<uint8_t, 3> kWinbondId = {0xEF, 0x40, 0x12};
constexpr uint8_t kIdTail = 0x00;  // the fourth byte of the identification
constexpr uint8_t kDone = 1;       // first byte of a two-byte status: it worked
constexpr uint8_t kFailed = 0;     // ... it did not, or the JIG timed out
constexpr uint8_t kStatusTail = 0x00;
constexpr uint8_t kReady = '*';     // ready for the chunk's 256 bytes
constexpr uint8_t kNotReady = 'E';  // what a JIG that is not ready sends instead
constexpr uint8_t kChunkGood = 1;
constexpr uint8_t kChunkBad = 0;
constexpr uint8_t kAck = 'G';  // answer to 07h, and to 'I' / 'O' on the second generation
// What the JIG reads from an SPI bus with no chip on it.
constexpr uint8_t kNoChip = 0xFF;

// A deterministic content that differs from block to block and is never
// blank, so that a block delivered twice or a missed erase shows.
std::vector<uint8_t> initialFlash() {
    std::vector<uint8_t> f(NpceSpi::kFlashSize);
    for (size_t i = 0; i < f.size(); ++i)
        f[i] = static_cast<uint8_t>((i * 53 + (i >> 9) * 7 + (i >> 12)) ^ 0x5A);
    return f;
}

}  // namespace

NpceSpi::NpceSpi() : flash_(initialFlash()) {}

bool NpceSpi::takesJig2Command(uint8_t cmd) const {
    return cmd == kIdentify || cmd == kErase || cmd == kCheckClear || cmd == kRead ||
           cmd == kWrite || cmd == kResultGood || cmd == kResultBad;
}

void NpceSpi::command(uint8_t cmd, Uart& uart, Context& ctx) {
    switch (cmd) {
        case kIdentify:
            identify(uart);
            break;
        case kErase:
            erase(uart, ctx);
            break;
        case kCheckClear:
            checkClear(uart);
            break;
        case kRead:
            readFlash(uart);
            break;
        case kWrite:
            writeFlash(uart, ctx);
            break;
        case kResultGood:
        case kResultBad:
            // The second generation's NPCE firmware answers the result byte;
            // on the third it never comes after the prefix.
            if (ctx.generation() == 2) uart.put(kAck);
            break;
        default:
            break;  // not an NPCE command: ignored, as by the firmware
    }
}

void NpceSpi::fallSilent(Uart& uart) {
    // The JIG hangs: nothing more comes until its reset button.
    for (;;) uart.get();
}

void NpceSpi::identify(Uart& uart) {
    std::array<uint8_t, 3> id = id_ ? *id_ : kWinbondId;
    if (absent_) id = {kNoChip, kNoChip, kNoChip};
    const uint8_t answer[4] = {id[0], id[1], id[2], kIdTail};
    uart.put(answer, sizeof answer);
}

void NpceSpi::erase(Uart& uart, Context& ctx) {
    const bool ok = !absent_ && !eraseFails_;
    if (ok) {
        {
            std::lock_guard lk(m_);
            std::fill(flash_.begin(), flash_.end(), uint8_t{0xFF});
        }
        ctx.memoryChanged();
    }
    const uint8_t answer[2] = {ok ? kDone : kFailed, kStatusTail};
    uart.put(answer, sizeof answer);
}

void NpceSpi::checkClear(Uart& uart) {
    bool clear = !notClear_;
    if (clear && !absent_) {
        std::lock_guard lk(m_);
        clear = std::all_of(flash_.begin(), flash_.end(), [](uint8_t b) { return b == 0xFF; });
    }
    const uint8_t answer[2] = {clear ? kDone : kFailed, kStatusTail};
    uart.put(answer, sizeof answer);
}

void NpceSpi::readFlash(Uart& uart) {
    size_t block = 0;
    uint64_t sent = 0;  // blocks sent by this read, from 1
    auto send = [&] {
        uint8_t data[kReadBlock];
        {
            std::lock_guard lk(m_);
            for (size_t i = 0; i < kReadBlock; ++i)
                data[i] = absent_ ? kNoChip : flash_[block * kReadBlock + i];
        }
        uart.put(data, kReadBlock);
        ++sent;
        if (stallBlock_ && sent == *stallBlock_) fallSilent(uart);
    };
    send();
    for (;;) {
        const uint8_t c = uart.get();
        if (c == kRead) {
            block = (block + 1) % kBlocks;
            send();
        } else if (c == kReadEnd) {
            const uint8_t answer[2] = {endFails_ ? kFailed : kDone, kStatusTail};
            uart.put(answer, sizeof answer);
            return;
        }
    }
}

void NpceSpi::writeFlash(Uart& uart, Context& ctx) {
    size_t chunk = 0;
    uint64_t taken = 0;  // chunks asked for by this write, from 1
    for (;;) {
        ++taken;
        if (notReadyChunk_ && taken == *notReadyChunk_) {
            // The JIG refuses the chunk and leaves the write.
            uart.put(kNotReady);
            ctx.memoryChanged();
            return;
        }
        uart.put(kReady);
        uint8_t data[kWriteChunk];
        for (auto& b : data) b = uart.get();
        if (stallChunk_ && taken == *stallChunk_) fallSilent(uart);
        const bool fail = absent_ || (failChunk_ && taken == *failChunk_);
        if (!fail) {
            // Programming only clears bits: a chunk written over a flash that
            // was not erased keeps the zeros already there.
            std::lock_guard lk(m_);
            for (size_t i = 0; i < kWriteChunk; ++i) {
                const size_t addr = chunk * kWriteChunk + i;
                const uint8_t b = corruptAddr_ && addr == *corruptAddr_ ? data[i] ^ 0x01 : data[i];
                flash_[addr] &= b;
            }
        }
        uart.put(fail ? kChunkBad : kChunkGood);
        chunk = (chunk + 1) % kChunks;
        for (;;) {
            const uint8_t c = uart.get();
            if (c == kWrite) break;
            if (c == kWriteEnd) {
                ctx.memoryChanged();
                uart.put(kAck);
                return;
            }
        }
    }
}

std::vector<uint8_t> NpceSpi::flash() const {
    std::lock_guard lk(m_);
    return flash_;
}

bool NpceSpi::setFlash(const std::vector<uint8_t>& bytes) {
    if (bytes.size() != kFlashSize) return false;
    std::lock_guard lk(m_);
    flash_ = bytes;
    return true;
}

bool NpceSpi::loadState(const std::vector<uint8_t>& bytes, std::string& error) {
    if (setFlash(bytes)) return true;
    error = "holds " + std::to_string(bytes.size()) + " bytes, not " + std::to_string(kFlashSize);
    return false;
}

OptionResult NpceSpi::parseOption(const std::string& key, const std::optional<std::string>& value,
                                  std::string& error) {
    auto number = [&](uint64_t min, uint64_t max, std::optional<uint64_t>& out) {
        uint64_t n = 0;
        if (!value || !parseNumber(*value, max, n) || n < min) {
            error =
                key + " needs a number from " + std::to_string(min) + " to " + std::to_string(max);
            return OptionResult::Bad;
        }
        out = n;
        return OptionResult::Taken;
    };
    auto flag = [&](bool& out) {
        if (value) {
            error = key + " takes no value";
            return OptionResult::Bad;
        }
        out = true;
        return OptionResult::Taken;
    };
    if (key == "npce") {
        if (value == "absent" || value == "present") {
            absent_ = value == "absent";
            return OptionResult::Taken;
        }
        error = "npce must be npce=absent or npce=present";
        return OptionResult::Bad;
    }
    if (key == "npce-id") {
        uint64_t n = 0;
        if (!value || value->size() != 6 || !parseNumber("0x" + *value, 0xFFFFFF, n)) {
            error = "npce-id needs six hexadecimal digits, e.g. npce-id=C22012";
            return OptionResult::Bad;
        }
        id_ = std::array<uint8_t, 3>{static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8),
                                     static_cast<uint8_t>(n)};
        return OptionResult::Taken;
    }
    if (key == "npce-erase-fail") return flag(eraseFails_);
    if (key == "npce-not-clear") return flag(notClear_);
    if (key == "npce-end-fail") return flag(endFails_);
    if (key == "npce-not-ready") return number(1, kChunks, notReadyChunk_);
    if (key == "npce-fail-chunk") return number(1, kChunks, failChunk_);
    if (key == "npce-corrupt") return number(0, kFlashSize - 1, corruptAddr_);
    if (key == "npce-stall-block") return number(1, kBlocks, stallBlock_);
    if (key == "npce-stall-chunk") return number(1, kChunks, stallChunk_);
    return OptionResult::NotMine;
}

std::string NpceSpi::checkOptions(int) const { return {}; }

std::string NpceSpi::optionHelp() const {
    return R"(Nuvoton NPCE288N/388N SPI flash (128 KB; mode prefix 'N' on jig3 ahead of the
first command of a sequence, firmware NPCE on jig2):
  npce=absent|present   absent: no chip on the SPI bus (ID FF FF FF, erase
                        answered 0, every data byte 0xFF, chunks answered 0)
  npce-id=XXXXXX        the three flash ID bytes answered to 'Z' (default EF4012)
  npce-erase-fail       'e' is answered 0 and erases nothing
  npce-not-clear        'x' is answered 0 even over a blank flash
  npce-end-fail         '-' at the end of a read is answered 0
  npce-not-ready=N      'w' for chunk N is answered 'E' instead of '*'; the JIG
                        leaves the write
  npce-fail-chunk=N     chunk N is answered 0 and not stored
  npce-corrupt=ADDR     that flash byte is stored with bit 0 flipped whenever
                        it is written
  npce-stall-block=N    the JIG falls silent after sending block N of a read
  npce-stall-chunk=N    the JIG falls silent after taking chunk N of a write
  Blocks and chunks count from 1 in each read or write. 'Z' answers the ID and
  a fourth byte 0x00. 'e' and 'x' answer two bytes (1 = erased / blank).
  'r' answers the next 512-byte block, '-' ends the read with two bytes. 'w'
  answers '*', takes 256 bytes and answers 1 (written) or 0; 07h ends the
  write and is answered 'G', as are 'I' and 'O' on jig2. Programming only
  clears bits, so a chunk written without an erase shows.
)";
}

}  // namespace sim
