#include "sim/ene_kb90xx.h"

#include <set>
#include <sstream>

#include "sim/checksum.h"
#include "sim/cpld.h"

namespace sim {

namespace {

constexpr uint8_t kVersion = 'V';
constexpr uint8_t kRead = 'R';
constexpr uint8_t kWrite = 'W';
constexpr uint8_t kSum = 'S';
constexpr uint8_t kNext = 'N';
constexpr uint8_t kEnd = 'X';
constexpr uint8_t kState = '?';
// Answers of the JIG.
constexpr uint8_t kGood = 'G';
constexpr uint8_t kFault = 'E';
constexpr uint8_t kBlockRequest = '>';
constexpr uint8_t kSumTick = '-';
// What the JIG reads from a controller that does not answer, or that it
// reaches through the wrong pins.
constexpr uint8_t kNoChip = 0xFF;

// Source codes of the CPLD select bits (high bit, low bit).
constexpr int kClk = 0b00;
constexpr int kDataTo = 0b01;
constexpr int kChipSelect = 0b10;
constexpr int kZero = 0b11;

// A deterministic content that differs from block to block, so that a block
// delivered twice or out of order shows.
std::vector<uint8_t> initialFlash() {
    std::vector<uint8_t> f(EneKb90xx::kFlashSize);
    for (size_t i = 0; i < f.size(); ++i)
        f[i] = static_cast<uint8_t>((i * 37 + (i >> 8) * 11 + (i >> 13)) ^ 0xA5);
    return f;
}

bool parseCablePins(const std::string& text, EneKb90xx::CablePins& pins) {
    std::vector<int> v;
    std::stringstream ss(text);
    std::string part;
    while (std::getline(ss, part, ':')) {
        uint64_t n = 0;
        if (!parseNumber(part, 32, n) || n < 1) return false;
        v.push_back(static_cast<int>(n));
    }
    if (v.size() != 5 || text.empty() || text.back() == ':') return false;
    if (std::set<int>(v.begin(), v.end()).size() != 5) return false;
    pins = {v[0], v[1], v[2], v[3], v[4]};
    return true;
}

}  // namespace

EneKb90xx::EneKb90xx() : flash_(initialFlash()) {}

bool EneKb90xx::takesJig2Command(uint8_t cmd) const {
    return cmd == kVersion || cmd == kRead || cmd == kWrite || cmd == kSum;
}

std::array<uint8_t, 256> EneKb90xx::routingFor(const CablePins& pins) {
    std::array<uint8_t, 256> regs{};
    auto route = [&](int pin, int code) {
        const int index = (pin - 1) / 8;
        const auto bit = static_cast<uint8_t>(1u << ((pin - 1) % 8));
        regs[Cpld::kDriveEnable + index] |= bit;
        if (code & 0b10) regs[Cpld::kSelectHigh + index] |= bit;
        if (code & 0b01) regs[Cpld::kSelectLow + index] |= bit;
    };
    route(pins.kso3, kZero);
    route(pins.ksi4, kChipSelect);
    route(pins.ksi6, kDataTo);
    route(pins.ksi5, kClk);
    regs[Cpld::kInputSelect] = static_cast<uint8_t>(0x80 | ((pins.ksi7 - 1) & 0x1F));
    return regs;
}

bool EneKb90xx::reachable(const Context& ctx) const {
    if (absent_) return false;
    // Second generation: the technician solders the five wires.
    if (ctx.generation() == 2) return true;
    const Cpld& cpld = ctx.cpld();
    if (!ffc_) return cpld.wireMode();
    if (cpld.wireMode()) return false;
    const auto want = routingFor(*ffc_);
    const auto have = cpld.registers();
    for (uint8_t base : {Cpld::kDriveEnable, Cpld::kSelectLow, Cpld::kSelectHigh})
        for (int i = 0; i < 4; ++i)
            if (want[base + i] != have[base + i]) return false;
    return want[Cpld::kInputSelect] == have[Cpld::kInputSelect];
}

uint8_t EneKb90xx::readByte(const Context& ctx, size_t addr) const {
    if (!reachable(ctx)) return kNoChip;
    std::lock_guard lk(m_);
    return flash_[addr];
}

void EneKb90xx::command(uint8_t cmd, Uart& uart, Context& ctx) {
    switch (cmd) {
        case kVersion:
            uart.put(reachable(ctx) ? version_ : kNoChip);
            break;
        case kRead:
            readFlash(uart, ctx);
            break;
        case kWrite:
            writeFlash(uart, ctx);
            break;
        case kSum:
            if (ctx.generation() == 2) sumAndCrc(uart, ctx);
            break;
        default:
            break;  // not an ENE command: ignored, as by the firmware
    }
}

void EneKb90xx::sendBlock(Uart& uart, const Context& ctx, size_t block) {
    uint8_t data[kBlockSize];
    const bool reach = reachable(ctx);
    {
        std::lock_guard lk(m_);
        for (size_t i = 0; i < kBlockSize; ++i)
            data[i] = reach ? flash_[block * kBlockSize + i] : kNoChip;
    }
    uart.put(data, kBlockSize);
}

void EneKb90xx::readFlash(Uart& uart, Context& ctx) {
    size_t block = 0;
    uint64_t sent = 0;  // blocks sent by this read, from 1
    auto send = [&] {
        sendBlock(uart, ctx, block);
        ++sent;
        // The JIG hangs: nothing more comes until its reset button.
        if (stallAfterBlock_ && sent == *stallAfterBlock_)
            for (;;) uart.get();
    };
    send();
    for (;;) {
        const uint8_t c = uart.get();
        const bool next = c == kNext || (c == kRead && ctx.generation() == 3);
        if (next) {
            block = (block + 1) % kBlocks;
            send();
        } else if (c == kState && ctx.generation() == 3) {
            uart.put(failReadBlock_ && sent == *failReadBlock_ ? kFault : kGood);
        } else if (c == kEnd) {
            return;
        }
    }
}

void EneKb90xx::writeFlash(Uart& uart, Context& ctx) {
    // The controller's flash is erased before it is programmed.
    const bool reach = reachable(ctx);
    if (reach) {
        std::lock_guard lk(m_);
        std::fill(flash_.begin(), flash_.end(), uint8_t{0xFF});
    }
    size_t block = 0;
    uint64_t written = 0;
    uart.put(kBlockRequest);
    for (;;) {
        uint8_t data[kBlockSize];
        for (auto& b : data) b = uart.get();
        ++written;
        // The JIG hangs after taking the block: no answer until its reset button.
        if (stallAfterWrittenBlock_ && written == *stallAfterWrittenBlock_)
            for (;;) uart.get();
        const bool fail = failWriteBlock_ && written == *failWriteBlock_;
        if (reach && !fail) {
            std::lock_guard lk(m_);
            for (size_t i = 0; i < kBlockSize; ++i) {
                const size_t addr = block * kBlockSize + i;
                flash_[addr] = corruptAddr_ && addr == *corruptAddr_ ? data[i] ^ 0x01 : data[i];
            }
        }
        uart.put(fail ? kFault : kGood);
        block = (block + 1) % kBlocks;
        for (;;) {
            const uint8_t c = uart.get();
            if (c == kNext) {
                uart.put(kBlockRequest);
                break;
            }
            if (c == kEnd) {
                ctx.memoryChanged();
                return;
            }
        }
    }
}

void EneKb90xx::sumAndCrc(Uart& uart, const Context& ctx) {
    uint16_t sum = 0;
    uint16_t crc = 0;
    for (size_t block = 0; block < kBlocks; ++block) {
        uint8_t data[kBlockSize];
        for (size_t i = 0; i < kBlockSize; ++i) data[i] = readByte(ctx, block * kBlockSize + i);
        sum = byteSum16(data, kBlockSize, sum);
        crc = crc16Arc(data, kBlockSize, crc);
        uart.put(kSumTick);
    }
    const uint8_t result[4] = {static_cast<uint8_t>(sum & 0xFF), static_cast<uint8_t>(sum >> 8),
                               static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8)};
    uart.put(result, 4);
}

std::vector<uint8_t> EneKb90xx::flash() const {
    std::lock_guard lk(m_);
    return flash_;
}

bool EneKb90xx::setFlash(const std::vector<uint8_t>& bytes) {
    if (bytes.size() != kFlashSize) return false;
    std::lock_guard lk(m_);
    flash_ = bytes;
    return true;
}

bool EneKb90xx::loadState(const std::vector<uint8_t>& bytes, std::string& error) {
    if (setFlash(bytes)) return true;
    error = "holds " + std::to_string(bytes.size()) + " bytes, not " + std::to_string(kFlashSize);
    return false;
}

OptionResult EneKb90xx::parseOption(const std::string& key, const std::optional<std::string>& value,
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
    if (key == "ene") {
        if (value == "absent") {
            absent_ = true;
            return OptionResult::Taken;
        }
        if (value == "present") {
            absent_ = false;
            return OptionResult::Taken;
        }
        error = "ene must be ene=absent or ene=present";
        return OptionResult::Bad;
    }
    if (key == "ene-version") {
        std::optional<uint64_t> v;
        const auto r = number(0, 255, v);
        if (v) version_ = static_cast<uint8_t>(*v);
        return r;
    }
    if (key == "ene-ffc") {
        CablePins pins{};
        if (!value || !parseCablePins(*value, pins)) {
            error = "ene-ffc needs five different cable pins 1-32: KSO3:KSI4:KSI5:KSI6:KSI7";
            return OptionResult::Bad;
        }
        ffc_ = pins;
        return OptionResult::Taken;
    }
    if (key == "ene-fail-read") return number(1, kBlocks, failReadBlock_);
    if (key == "ene-stall") return number(1, kBlocks, stallAfterBlock_);
    if (key == "ene-fail-write") return number(1, kBlocks, failWriteBlock_);
    if (key == "ene-stall-write") return number(1, kBlocks, stallAfterWrittenBlock_);
    if (key == "ene-corrupt") return number(0, kFlashSize - 1, corruptAddr_);
    return OptionResult::NotMine;
}

std::string EneKb90xx::checkOptions(int generation) const {
    if (generation == 2 && ffc_)
        return "ene-ffc needs a third-generation JIG (the second has no flat-cable port)";
    if (generation == 2 && failReadBlock_)
        return "ene-fail-read needs a third-generation JIG (only it answers '?' after a block)";
    return {};
}

std::string EneKb90xx::optionHelp() const {
    return R"(ENE KB90XX (128 KB flash; mode prefix 'K' on jig3, firmware V41 on jig2):
  ene=absent|present    absent: the controller does not answer (version 0xFF,
                        every data byte 0xFF, writes change nothing)
  ene-version=N         debug version byte it reports (default 12)
  ene-ffc=P1:P2:P3:P4:P5
                        the board is on a flat cable; the cable pins (1-32, as
                        they arrive at the JIG) of KSO3, KSI4, KSI5, KSI6, KSI7.
                        The controller answers only while the CPLD holds the
                        routing for exactly these pins. Without this option it
                        is on soldered wires and answers only in wire mode
                        ('S' 'R'). Through any other routing it reads as a
                        miswired chip: version 0xFF, data 0xFF. jig3 only.
  ene-fail-read=N       the '?' after block N of a read is answered 'E' (jig3)
  ene-stall=N           the JIG falls silent after sending block N of a read,
                        until its reset button is pressed
  ene-fail-write=N      the answer after written block N is 'E' (the block is
                        not stored)
  ene-stall-write=N     the JIG falls silent after taking written block N of a
                        write, until its reset button is pressed
  ene-corrupt=ADDR      that flash byte is stored with bit 0 flipped whenever
                        it is written
  Blocks count from 1. A write erases the whole flash first (0xFF) and is kept
  when the PC ends it with 'X'. On jig2, 'S' answers 512 '-' then the flash's
  16-bit byte sum and CRC-16/ARC, low byte first.
)";
}

}  // namespace sim
