#include "sim/mec16xx.h"

#include <algorithm>

namespace sim {

namespace {

// Commands, after the prefix 'M' on the third generation or at top level on
// the second. The third generation also takes '1', 'j', 'W' and '0' bare.
constexpr uint8_t kTapReset = '1';
constexpr uint8_t kReadId = 'j';
constexpr uint8_t kReadReg = 'r';
constexpr uint8_t kWriteReg = 'w';
constexpr uint8_t kStartRead = 'R';
constexpr uint8_t kStartWrite = 'W';
constexpr uint8_t kRelease = '0';
constexpr uint8_t kNext = 'N';
constexpr uint8_t kEnd = 'X';

// Answers of the JIG.
constexpr uint8_t kAck = 0x01;           // a step done, a register written
constexpr uint8_t kRefused = 0x00;       // a register write the controller did not take
constexpr uint8_t kChunkGood = 'G';      // a chunk programmed
constexpr uint8_t kChunkFault = 'E';     // a chunk not programmed
constexpr uint8_t kBlockGood = 1;        // status byte after a block read correctly
constexpr uint8_t kBlockLost = 0;        // status byte of a block the JIG could not read
constexpr uint8_t kRegisterTail = 0x01;  // the fifth byte of a register answer
// What the JIG reads from a controller that does not answer.
constexpr uint8_t kNoChip = 0xFF;
constexpr size_t kAddressDigits = 6;
constexpr size_t kValueDigits = 8;
// Extra bytes the JIG sends after a block with `mec-long-block`.
constexpr size_t kFloodBytes = 40;

// A content that differs from block to block, so that a block delivered
// twice, out of order or from the wrong area shows.
std::vector<uint8_t> initialMemory() {
    std::vector<uint8_t> m(Mec16xx::kMemorySize);
    for (size_t i = 0; i < m.size(); ++i)
        m[i] = static_cast<uint8_t>((i * 29 + (i >> 10) * 7 + (i >> 16)) ^ 0x3C);
    return m;
}

// Upper-case hexadecimal text as the PC sends it; anything else is refused.
std::optional<uint32_t> parseHex(const std::vector<uint8_t>& text) {
    uint32_t v = 0;
    for (uint8_t c : text) {
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (d < 0) return std::nullopt;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    return v;
}

std::vector<uint8_t> take(Uart& uart, size_t n) {
    std::vector<uint8_t> out(n);
    for (auto& b : out) b = uart.get();
    return out;
}

}  // namespace

Mec16xx::Mec16xx() : memory_(initialMemory()) {}

bool Mec16xx::takesJig2Command(uint8_t cmd) const {
    return cmd == kTapReset || cmd == kReadId || cmd == kReadReg || cmd == kWriteReg ||
           cmd == kStartRead || cmd == kStartWrite || cmd == kRelease;
}

bool Mec16xx::takesJig3Command(uint8_t cmd) const {
    return cmd == kTapReset || cmd == kReadId || cmd == kStartWrite || cmd == kRelease;
}

void Mec16xx::fallSilent(Uart& uart) {
    // The JIG hangs: nothing more comes until its reset button.
    for (;;) uart.get();
}

std::optional<size_t> Mec16xx::indexOf(uint32_t address) {
    if (address >= kMainBase && address < kMainBase + kMainSize) return address - kMainBase;
    if (address >= kInfoBase && address < kInfoBase + kInfoSize)
        return kMainSize + (address - kInfoBase);
    return std::nullopt;
}

uint8_t Mec16xx::statusByte() {
    uint8_t s = 0;
    if (busyLeft_ > 0) {
        s |= kStatusBusy;
        if (busyPolls_) --busyLeft_;  // without a count the erase never ends
    }
    if (bootLock_) s |= kStatusBootLock;
    if (fwp_) s |= kStatusFwp;
    return s;
}

void Mec16xx::command(uint8_t cmd, Uart& uart, Context& ctx) {
    switch (cmd) {
        case kTapReset:
            uart.put(kAck);
            break;
        case kReadId:
            if (absent_) {
                const uint8_t none[4] = {kNoChip, kNoChip, kNoChip, kNoChip};
                uart.put(none, 4);
            } else {
                uart.put(kId.data(), kId.size());
            }
            break;
        case kReadReg:
            readRegister(uart);
            break;
        case kWriteReg:
            writeRegister(uart, ctx);
            break;
        case kStartRead:
            streamBlocks(uart);
            break;
        case kStartWrite:
            programChunks(uart, ctx);
            break;
        case kRelease:
            break;  // the JTAG lines are let go; nothing is answered
        default:
            break;  // not a MEC command: ignored, as by the firmware
    }
}

void Mec16xx::readRegister(Uart& uart) {
    const auto address = parseHex(take(uart, kAddressDigits));
    ++regReads_;
    uint32_t value = 0;
    uint8_t tail = kRegisterTail;
    if (absent_ || !address) {
        value = 0xFFFFFFFF;
        tail = kNoChip;
    } else if (*address == kRegStatus) {
        value = statusByte();
    } else if (*address == kRegDeviceInfo) {
        value = kDeviceInfo;
    } else if (auto it = regs_.find(*address); it != regs_.end()) {
        value = it->second;
    }
    const uint8_t answer[5] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                               static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value), tail};
    const bool cut = shortRegRead_ && regReads_ == *shortRegRead_;
    uart.put(answer, cut ? 4 : 5);
}

void Mec16xx::writeRegister(Uart& uart, Context& ctx) {
    const auto address = parseHex(take(uart, kAddressDigits));
    const auto value = parseHex(take(uart, kValueDigits));
    ++regWrites_;
    if (absent_) {
        uart.put(kNoChip);
        return;
    }
    if (!address || !value || (failRegWrite_ && regWrites_ == *failRegWrite_)) {
        uart.put(kRefused);
        return;
    }
    if (*address != kRegStatus && *address != kRegDeviceInfo) regs_[*address] = *value;
    // Writing the erase command to the address register in erase mode starts
    // the erase; the status shows busy for a while after it.
    const bool eraseMode = regs_[kRegEnable] == 1 && regs_[kRegMode] == kModeErase;
    if (*address == kRegAddress && eraseMode && (*value == kEraseMain || *value == kEraseAll) &&
        !protectedFlash()) {
        {
            std::lock_guard lk(m_);
            const size_t end = *value == kEraseAll ? kMemorySize : kMainSize;
            std::fill(memory_.begin(), memory_.begin() + static_cast<std::ptrdiff_t>(end),
                      uint8_t{0xFF});
        }
        busyLeft_ = busyPolls_ ? static_cast<unsigned>(*busyPolls_) : 1;
        ctx.memoryChanged();
    }
    uart.put(kAck);
}

void Mec16xx::streamBlocks(Uart& uart) {
    const auto start = parseHex(take(uart, kAddressDigits));
    uint32_t address = start.value_or(0xFFFFFFFF);
    for (;;) {
        ++blocksSent_;
        const bool readable = !absent_ && start && regs_[kRegEnable] == 1 &&
                              regs_[kRegMode] == kModeRead &&
                              !(failBlock_ && blocksSent_ == *failBlock_);
        std::vector<uint8_t> block(kBlockSize + 1, kNoChip);
        if (!absent_ && start) {
            std::lock_guard lk(m_);
            for (size_t i = 0; i < kBlockSize; ++i)
                if (auto at = indexOf(address + static_cast<uint32_t>(i))) block[i] = memory_[*at];
        }
        block[kBlockSize] = absent_ ? kNoChip : readable ? kBlockGood : kBlockLost;
        // The extra bytes go out with the block, so the PC never sees the
        // block alone in its queue.
        if (longBlock_ && blocksSent_ == *longBlock_)
            block.resize(block.size() + kFloodBytes, 0x55);
        uart.put(block.data(), block.size());
        if (stallBlock_ && blocksSent_ == *stallBlock_) fallSilent(uart);
        address += kBlockSize;
        for (;;) {
            const uint8_t c = uart.get();
            if (c == kNext) break;
            if (c == kEnd) return;
        }
    }
}

void Mec16xx::programChunks(Uart& uart, Context& ctx) {
    uart.put(kChunkGood);  // ready for the first chunk
    uint32_t address = regs_[kRegAddress];
    bool changed = false;
    for (;;) {
        const std::vector<uint8_t> chunk = take(uart, kChunkSize);
        ++chunksTaken_;
        if (stallChunk_ && chunksTaken_ == *stallChunk_) fallSilent(uart);
        const bool programming = !absent_ && !protectedFlash() && regs_[kRegEnable] == 1 &&
                                 regs_[kRegMode] == kModeProgram;
        const auto at = indexOf(address);
        const bool ok = programming && at && *at + kChunkSize <= kMainSize &&
                        !(failChunk_ && chunksTaken_ == *failChunk_);
        if (ok) {
            // Programming only clears bits: a chunk written over data that
            // was not erased reads back as the AND of both.
            std::lock_guard lk(m_);
            for (size_t i = 0; i < kChunkSize; ++i) memory_[*at + i] &= chunk[i];
            changed = true;
        }
        uart.put(absent_ ? kNoChip : ok ? kChunkGood : kChunkFault);
        address += kChunkSize;
        for (;;) {
            const uint8_t c = uart.get();
            if (c == kNext) {
                uart.put(kChunkGood);
                break;
            }
            if (c == kEnd) {
                if (changed) ctx.memoryChanged();
                return;
            }
        }
    }
}

std::vector<uint8_t> Mec16xx::memory() const {
    std::lock_guard lk(m_);
    return memory_;
}

bool Mec16xx::setMemory(const std::vector<uint8_t>& bytes) {
    if (bytes.size() != kMemorySize) return false;
    std::lock_guard lk(m_);
    memory_ = bytes;
    return true;
}

bool Mec16xx::loadState(const std::vector<uint8_t>& bytes, std::string& error) {
    if (setMemory(bytes)) return true;
    error = "holds " + std::to_string(bytes.size()) + " bytes, not " + std::to_string(kMemorySize);
    return false;
}

OptionResult Mec16xx::parseOption(const std::string& key, const std::optional<std::string>& value,
                                  std::string& error) {
    auto number = [&](std::optional<uint64_t>& out) {
        uint64_t n = 0;
        if (!value || !parseNumber(*value, 1'000'000'000, n) || n < 1) {
            error = key + " needs a count from 1";
            return OptionResult::Bad;
        }
        out = n;
        return OptionResult::Taken;
    };
    auto bare = [&](bool& flag) {
        if (value) {
            error = key + " takes no value";
            return OptionResult::Bad;
        }
        flag = true;
        return OptionResult::Taken;
    };
    if (key == "mec") {
        if (value == "absent" || value == "present") {
            absent_ = value == "absent";
            return OptionResult::Taken;
        }
        error = "mec must be mec=absent or mec=present";
        return OptionResult::Bad;
    }
    if (key == "mec-fwp") return bare(fwp_);
    if (key == "mec-boot-lock") return bare(bootLock_);
    if (key == "mec-busy") {
        uint64_t n = 0;
        if (value == "never") {
            busyPolls_.reset();
            return OptionResult::Taken;
        }
        if (!value || !parseNumber(*value, 1'000'000, n)) {
            error = "mec-busy needs a number of status reads or 'never'";
            return OptionResult::Bad;
        }
        busyPolls_ = n;
        return OptionResult::Taken;
    }
    if (key == "mec-fail-block") return number(failBlock_);
    if (key == "mec-long-block") return number(longBlock_);
    if (key == "mec-stall-block") return number(stallBlock_);
    if (key == "mec-stall-chunk") return number(stallChunk_);
    if (key == "mec-fail-chunk") return number(failChunk_);
    if (key == "mec-fail-regwrite") return number(failRegWrite_);
    if (key == "mec-short-regread") return number(shortRegRead_);
    return OptionResult::NotMine;
}

std::string Mec16xx::checkOptions(int) const { return {}; }

std::string Mec16xx::optionHelp() const {
    return R"(MEC16xx over JTAG (mode prefix 'M' on jig3, firmware V42 on jig2):
  192 KB main flash at 000000 and 2 KB INFO at 040000 (state file mec16xx.bin:
  main then INFO). Register reads answer the value most significant byte
  first and one more byte; byte 3 of FF390C is the status (bit 0 busy, bit 3
  Boot_Lock, bit 4 FWP). A register write answers 1. Blocks are 1024 bytes
  and a status byte, 1 only while FF3910 = 1 and FF3908 = 105. Writing
  00F80000 (main) or 00FC0000 (main and INFO) to FF3904 under FF3908 = 107
  erases; chunks of 256 bytes are programmed from the address in FF3904
  under FF3908 = 106 and answered 'G' ('E' when refused); programming ANDs
  into the flash, so a write without an erase reads back wrong. jig3 also
  takes '1', 'j', 'W' and '0' without the prefix. The ID and FFFD00 value
  are made up.
  mec=absent|present    absent: every answer byte is 0xFF
  mec-fwp               the FWP pin protects the flash (status bit 4; erase
                        and programming refused)
  mec-boot-lock         the boot block is locked (status bit 3; likewise)
  mec-busy=N|never      status reads that show busy after an erase starts
                        (default 2); never: the erase does not end
  mec-fail-block=N      block N comes with status 0
  mec-long-block=N      block N is followed by 40 bytes more
  mec-stall-block=N     the JIG falls silent after sending block N
  mec-stall-chunk=N     the JIG falls silent after taking chunk N
  mec-fail-chunk=N      chunk N is answered 'E' and not programmed
  mec-fail-regwrite=N   register write N is answered 0 and not done
  mec-short-regread=N   register read N is answered with 4 bytes only
  Counts start at 1 when the port is made and run across operations: a read
  with INFO sends main blocks 1-192, then INFO blocks 193 and 194.
)";
}

}  // namespace sim
