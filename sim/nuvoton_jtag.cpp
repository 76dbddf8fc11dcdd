#include "sim/nuvoton_jtag.h"

#include <algorithm>

#include "sim/cpld.h"

namespace sim {

namespace {

// 'J' commands.
constexpr uint8_t kSpiOff = 'X';
constexpr uint8_t kSpiOn = 'S';
constexpr uint8_t kTapReset = '1';
constexpr uint8_t kIrShift = 'i';
constexpr uint8_t kDrShift = 'd';
constexpr uint8_t kDrShift32 = 'D';
constexpr uint8_t kCombined = 'T';
constexpr uint8_t kBatch = 'W';
constexpr uint8_t kRead = 'R';
// Second generation, top level.
constexpr uint8_t kJtag = 'J';
constexpr uint8_t kCpld = 'S';
constexpr uint8_t kCpldReset = 'R';
constexpr uint8_t kCpldWrite = 'W';
constexpr uint8_t kResultGood = 'I';
constexpr uint8_t kResultBad = 'O';

constexpr uint8_t kAck = 'G';
constexpr uint8_t kIrCapture = 0x01;  // what an IR shift shifts out
constexpr uint8_t kBusAck = 0x01;     // an 8-bit shift on the open bus
constexpr uint8_t kBatchDone = 0x22;
constexpr uint8_t kBatchRefused = 0x21;
constexpr uint8_t kModeCommit = 0x22;
constexpr uint8_t kModeData = 0xFF;

// Debug bus selectors and commands.
constexpr uint8_t kSelAddress = 0x0B;
constexpr uint8_t kSelData = 0x0D;
constexpr uint8_t kSelCommand = 0x09;
constexpr uint8_t kSelFetch = 0x0C;
constexpr uint32_t kBusRead = 1;
constexpr uint32_t kBusWrite = 3;
constexpr uint32_t kBusWriteMailbox = 0x6B;
constexpr uint32_t kBusWriteStream = 0x7EB;

// Memory map.
constexpr uint32_t kRamStart = 0x10000;
constexpr uint32_t kRamSize = 0x10000;
constexpr uint32_t kFiuFirst = 0xFF0010;
constexpr uint32_t kFiuLast = 0xFF001F;
constexpr uint32_t kMailbox = 0x107F0;
constexpr uint32_t kProgramRequest = 0x10077;
constexpr uint32_t kBufferA = 0x10800;
constexpr uint32_t kBufferB = 0x10900;
constexpr uint32_t kBufferFlagB = 0x1000000;

// The flash interface: register offsets from FF0010h and its commands.
constexpr size_t kFiuCommand = 0x06;
constexpr size_t kFiuAddressLow = 0x07;
constexpr size_t kFiuAddressMid = 0x08;
constexpr size_t kFiuAddressHigh = 0x09;
constexpr size_t kFiuStatus = 0x0A;
constexpr size_t kFiuControl = 0x0E;
constexpr uint8_t kFlashWriteEnable = 0x06;
constexpr uint8_t kFlashSectorErase = 0x20;
constexpr uint8_t kFlashReadStatus = 0x05;
constexpr uint8_t kGoWriteEnable = 0xA0;
constexpr uint8_t kGoErase = 0xA8;
constexpr uint8_t kGoReadStatus = 0x81;
constexpr uint8_t kStatusBusy = 0x03;  // write in progress, write enabled

// Dallas/Maxim CRC-8 (reflected polynomial 0x8C, start 0).
uint8_t crc8(const uint8_t* data, size_t n) {
    uint8_t crc = 0;
    for (size_t i = 0; i < n; ++i) {
        uint8_t b = data[i];
        for (int k = 0; k < 8; ++k) {
            const bool mix = ((crc ^ b) & 1) != 0;
            crc = static_cast<uint8_t>(crc >> 1);
            if (mix) crc ^= 0x8C;
            b = static_cast<uint8_t>(b >> 1);
        }
    }
    return crc;
}

// A deterministic content that differs from page to page.
std::vector<uint8_t> initialFlash() {
    std::vector<uint8_t> f(NuvotonJtag::kFlashSize);
    for (size_t i = 0; i < f.size(); ++i)
        f[i] = static_cast<uint8_t>((i * 29 + (i >> 8) * 7 + (i >> 12)) ^ 0x5A);
    return f;
}

uint32_t get32(Uart& uart) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(uart.get()) << (8 * i);
    return v;
}

}  // namespace

NuvotonJtag::NuvotonJtag() : flash_(initialFlash()), ram_(kRamSize, 0) {}

bool NuvotonJtag::takesJig2Command(uint8_t cmd) const {
    return cmd == kJtag || cmd == kCpld || cmd == kResultGood || cmd == kResultBad;
}

std::array<uint8_t, 256> NuvotonJtag::routingFor(bool typeB) {
    // Pins of ZERO, TCK, TDO, TDI, TMS on the 30-pin cable.
    const int zero = typeB ? 7 : 24, tck = typeB ? 19 : 12, tdo = typeB ? 10 : 21,
              tdi = typeB ? 21 : 10, tms = typeB ? 20 : 11;
    std::array<uint8_t, 256> regs{};
    auto route = [&](int pin, bool a, bool b) {
        const int index = (pin - 1) / 8;
        const auto bit = static_cast<uint8_t>(1u << ((pin - 1) % 8));
        regs[Cpld::kDriveEnable + index] |= bit;
        if (a) regs[Cpld::kSelectHigh + index] |= bit;
        if (b) regs[Cpld::kSelectLow + index] |= bit;
    };
    route(zero, true, true);
    route(tck, false, true);
    route(tms, false, false);
    route(tdi, true, false);
    regs[Cpld::kInputSelect] = static_cast<uint8_t>(0x80 | ((tdo - 1) & 0x1F));
    return regs;
}

bool NuvotonJtag::driven(const Context& ctx) const {
    // The JIG drives the JTAG lines only with its SPI side off.
    if (!powered_ || !spiOff_) return false;
    if (ctx.generation() == 2) return true;  // soldered wires
    const Cpld& cpld = ctx.cpld();
    if (cpld.wireMode()) return false;
    const auto want = routingFor(cable_ == Cable::TypeB);
    const auto have = cpld.registers();
    for (uint8_t base : {Cpld::kDriveEnable, Cpld::kSelectLow, Cpld::kSelectHigh})
        for (int i = 0; i < 4; ++i)
            if (want[base + i] != have[base + i]) return false;
    return want[Cpld::kInputSelect] == have[Cpld::kInputSelect];
}

void NuvotonJtag::command(uint8_t cmd, Uart& uart, Context& ctx) {
    if (ctx.generation() == 3) return jtag(cmd, uart, ctx);
    switch (cmd) {
        case kJtag:
            return jtag(uart.get(), uart, ctx);
        case kCpld: {
            // No CPLD on this JIG: the routing commands are answered and ignored.
            const uint8_t sub = uart.get();
            if (sub == kCpldWrite) {
                uart.get();
                uart.get();
            }
            if (sub == kCpldReset || sub == kCpldWrite) uart.put(kAck);
            return;
        }
        case kResultGood:
        case kResultBad:
            uart.put(kAck);
            return;
        default:
            return;
    }
}

void NuvotonJtag::jtag(uint8_t sub, Uart& uart, Context& ctx) {
    switch (sub) {
        case kSpiOff:
            spiOff_ = true;
            uart.put(kAck);
            return;
        case kSpiOn:
            spiOff_ = false;
            if (dirty_) {
                dirty_ = false;
                ctx.memoryChanged();
            }
            uart.put(kAck);
            return;
        case kTapReset:
            tapReset();
            uart.put(kAck);
            return;
        case kIrShift:
            uart.put(irShift(ctx, uart.get()));
            return;
        case kDrShift:
            uart.put(drShift8(ctx, uart.get()));
            return;
        case kDrShift32: {
            const uint32_t out = drShift32(ctx, get32(uart));
            const uint8_t bytes[4] = {static_cast<uint8_t>(out), static_cast<uint8_t>(out >> 8),
                                      static_cast<uint8_t>(out >> 16),
                                      static_cast<uint8_t>(out >> 24)};
            uart.put(bytes, 4);
            return;
        }
        case kCombined: {
            // A selector and its value, then the mode as a bus command.
            const uint8_t mode = uart.get();
            const uint8_t selector = uart.get();
            const uint32_t value = get32(uart);
            drShift8(ctx, selector);
            drShift32(ctx, value);
            const uint8_t answer = drShift8(ctx, kSelCommand);
            drShift32(ctx, mode);
            uart.put(answer);
            return;
        }
        case kBatch:
            return runBatch(uart, ctx);
        case kRead:
            return readPage(uart, ctx);
        default:
            return;  // not a JTAG command: ignored, as by the firmware
    }
}

void NuvotonJtag::tapReset() {
    const Controller kept = c_;
    c_ = Controller{};
    // The flash interface and an erase under way do not belong to the TAP.
    c_.fiu = kept.fiu;
    c_.busyPolls = kept.busyPolls;
    c_.busyForever = kept.busyForever;
    readPage_ = 0;
}

uint8_t NuvotonJtag::irShift(const Context& ctx, uint8_t value) {
    if (!driven(ctx)) return 0xFF;
    c_.ir = value;
    c_.streaming = false;
    return kIrCapture;
}

uint8_t NuvotonJtag::drShift8(const Context& ctx, uint8_t value) {
    if (!driven(ctx)) return 0xFF;
    // A selector means something only on the open bus.
    if (c_.ir != kIrBus || !c_.unlocked) {
        c_.refused = true;
        return 0;
    }
    c_.selector = value;
    return kBusAck;
}

uint32_t NuvotonJtag::drShift32(const Context& ctx, uint32_t value) {
    if (!driven(ctx)) return 0xFFFFFFFF;
    switch (c_.ir) {
        case kIrIdCode:
            return id_;
        case kIrUnlock:
            if (value == kUnlockKey) c_.unlocked = true;
            return 0;
        case kIrBus:
            break;
        default:
            return 0;
    }
    if (!c_.unlocked) {
        c_.refused = true;
        return 0;
    }
    switch (c_.selector) {
        case kSelAddress:
            c_.address = value;
            c_.streaming = false;
            return 0;
        case kSelData:
            c_.data = value;
            if (c_.streaming) {
                c_.address += 4;
                busWrite(c_.address, value);
            }
            return 0;
        case kSelCommand:
            busCommand(value);
            return 0;
        case kSelFetch:
            return c_.fetch;
        case 0x00:
        case 0x01:
        case 0x02:
        case 0x03:
            c_.config[c_.selector] = value;
            return 0;
        default:
            return 0;
    }
}

void NuvotonJtag::busCommand(uint32_t command) {
    c_.streaming = false;
    switch (command) {
        case kBusRead:
            c_.fetch = busRead(c_.address);
            return;
        case kBusWrite:
            if (c_.address == kMailbox && c_.data == kHelperEntry) {
                // The write's set-up starts the helper the script loaded.
                const uint32_t signature = busRead(kHelperEntry);
                c_.helperRunning = c_.halted && signature == kHelperSignature;
                if (!c_.helperRunning) c_.refused = true;
            }
            busWrite(c_.address, c_.data);
            return;
        case kBusWriteMailbox:
        case kBusWriteStream:
            busWrite(c_.address, c_.data);
            c_.streaming = true;
            return;
        default:
            c_.refused = true;
            return;
    }
}

uint32_t NuvotonJtag::busRead(uint32_t address) {
    if (address >= kRamStart && address + 4 <= kRamStart + kRamSize) {
        const size_t at = address - kRamStart;
        return static_cast<uint32_t>(ram_[at]) | static_cast<uint32_t>(ram_[at + 1]) << 8 |
               static_cast<uint32_t>(ram_[at + 2]) << 16 |
               static_cast<uint32_t>(ram_[at + 3]) << 24;
    }
    if (address == kCoreControl) return c_.halted ? 1 : 0;
    if (address >= kFiuFirst && address <= kFiuLast) {
        // The running core owns its flash interface.
        if (!c_.halted) {
            c_.refused = true;
            return 0;
        }
        return c_.fiu[address - kFiuFirst];
    }
    return 0;
}

void NuvotonJtag::busWrite(uint32_t address, uint32_t value) {
    if (address >= kRamStart && address + 4 <= kRamStart + kRamSize) {
        const size_t at = address - kRamStart;
        for (int i = 0; i < 4; ++i) ram_[at + i] = static_cast<uint8_t>(value >> (8 * i));
        return;
    }
    if (address == kCoreControl) {
        c_.halted = (value & 1) != 0;
        return;
    }
    if (address >= kFiuFirst && address <= kFiuLast) {
        if (!c_.halted) {
            c_.refused = true;
            return;
        }
        // The flash interface's registers are a byte wide.
        c_.fiu[address - kFiuFirst] = static_cast<uint8_t>(value);
        if (address - kFiuFirst == kFiuControl) fiuGo(static_cast<uint8_t>(value));
    }
}

void NuvotonJtag::fiuGo(uint8_t control) {
    const uint8_t flashCommand = c_.fiu[kFiuCommand];
    if (control == kGoWriteEnable && flashCommand == kFlashWriteEnable) {
        c_.writeEnabled = true;
    } else if (control == kGoErase && flashCommand == kFlashSectorErase) {
        if (!c_.writeEnabled) return;
        c_.writeEnabled = false;
        const size_t address = size_t{c_.fiu[kFiuAddressHigh]} << 16 |
                               size_t{c_.fiu[kFiuAddressMid]} << 8 | c_.fiu[kFiuAddressLow];
        if (address >= kFlashSize) return;
        const size_t start = address / kSectorSize * kSectorSize;
        {
            std::lock_guard lk(m_);
            std::fill_n(flash_.begin() + static_cast<std::ptrdiff_t>(start), kSectorSize,
                        uint8_t{0xFF});
        }
        dirty_ = true;
        c_.busyPolls = busyPollsPerErase_;
        c_.busyForever = busyForever_;
    } else if (control == kGoReadStatus && flashCommand == kFlashReadStatus) {
        const bool busy = c_.busyForever || c_.busyPolls > 0;
        if (c_.busyPolls > 0) --c_.busyPolls;
        c_.fiu[kFiuStatus] = busy ? kStatusBusy : 0x00;
    }
}

void NuvotonJtag::runBatch(Uart& uart, Context& ctx) {
    ++batches_;
    const size_t length = size_t{uart.get()} | size_t{uart.get()} << 8;
    const uint8_t mode = uart.get();
    const bool wellFormed = length >= 5 && (length - 5) % 5 == 0;
    const size_t recordBytes = length >= 5 ? length - 5 : 0;
    if (mode == kModeData) ++dataBatches_;
    const bool refuse =
        !wellFormed || (mode == kModeData && refuseDataBatch_ && dataBatches_ == *refuseDataBatch_);
    c_.refused = !driven(ctx);
    for (size_t taken = 0; taken + 5 <= recordBytes; taken += 5) {
        const uint8_t selector = uart.get();
        const uint32_t value = get32(uart);
        if (refuse) continue;
        drShift8(ctx, selector);
        drShift32(ctx, value);
    }
    for (size_t rest = recordBytes % 5; rest > 0; --rest) uart.get();
    if (silentAtBatch_ && batches_ == *silentAtBatch_) fallSilent(uart);
    uint8_t answer = refuse || c_.refused ? kBatchRefused : kBatchDone;
    if (answer == kBatchDone && mode == kModeCommit) answer = programPage();
    uart.put(answer);
}

uint8_t NuvotonJtag::programPage() {
    if (!c_.helperRunning) return kBatchRefused;
    auto word = [this](uint32_t at) { return busRead(at); };
    if (word(kMailbox) != kProgramRequest) return kBatchRefused;
    const uint32_t crcWord = word(kMailbox + 4);
    const uint32_t lowWord = word(kMailbox + 8);
    const uint32_t bufferWord = word(kMailbox + 12);
    const size_t page = size_t{(bufferWord & 0xFFFF)} * 256 + (lowWord >> 24);
    if (page >= kPages) return kBatchRefused;
    const uint32_t buffer = (bufferWord & kBufferFlagB) ? kBufferB : kBufferA;
    std::array<uint8_t, kPageSize> data{};
    std::copy_n(ram_.begin() + static_cast<std::ptrdiff_t>(buffer - kRamStart), kPageSize,
                data.begin());
    // A bit that went wrong on its way into the buffer.
    if (flipPage_ && page + 1 == *flipPage_) data[kPageSize / 2] ^= 0x10;
    if (crc8(data.data(), data.size()) != (crcWord & 0xFF)) return kBatchRefused;
    {
        std::lock_guard lk(m_);
        // Programming only clears bits: an unerased page keeps its zeros.
        for (size_t i = 0; i < kPageSize; ++i) flash_[page * kPageSize + i] &= data[i];
    }
    dirty_ = true;
    busWrite(kMailbox, 0);  // the request is done
    return kBatchDone;
}

void NuvotonJtag::readPage(Uart& uart, const Context& ctx) {
    // The JIG reads through the flash interface: it needs the open bus and a
    // halted core, as the script leaves them.
    const bool readable = driven(ctx) && c_.ir == kIrBus && c_.unlocked && c_.halted;
    uint8_t data[kPageSize];
    {
        std::lock_guard lk(m_);
        for (size_t i = 0; i < kPageSize; ++i)
            data[i] = readable ? flash_[readPage_ * kPageSize + i] : 0xFF;
    }
    uart.put(data, kPageSize);
    readPage_ = (readPage_ + 1) % kPages;
    ++pagesSent_;
    if (silentAfterPage_ && pagesSent_ == *silentAfterPage_) fallSilent(uart);
}

void NuvotonJtag::fallSilent(Uart& uart) {
    // Nothing more comes until the JIG's reset button (or the end).
    for (;;) uart.get();
}

std::vector<uint8_t> NuvotonJtag::flash() const {
    std::lock_guard lk(m_);
    return flash_;
}

bool NuvotonJtag::setFlash(const std::vector<uint8_t>& bytes) {
    if (bytes.size() != kFlashSize) return false;
    std::lock_guard lk(m_);
    flash_ = bytes;
    return true;
}

bool NuvotonJtag::loadState(const std::vector<uint8_t>& bytes, std::string& error) {
    if (setFlash(bytes)) return true;
    error = "holds " + std::to_string(bytes.size()) + " bytes, not " + std::to_string(kFlashSize);
    return false;
}

OptionResult NuvotonJtag::parseOption(const std::string& key,
                                      const std::optional<std::string>& value, std::string& error) {
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
    if (key == "nuv-power") {
        if (value == "on" || value == "off") {
            powered_ = value == "on";
            return OptionResult::Taken;
        }
        error = "nuv-power must be nuv-power=on or nuv-power=off";
        return OptionResult::Bad;
    }
    if (key == "nuv-cable") {
        if (value == "typeb" || value == "typea") {
            cable_ = value == "typeb" ? Cable::TypeB : Cable::TypeA;
            return OptionResult::Taken;
        }
        error = "nuv-cable must be nuv-cable=typeb or nuv-cable=typea";
        return OptionResult::Bad;
    }
    if (key == "nuv-id") {
        std::optional<uint64_t> id;
        const auto r = number(0, 0xFFFFFFFF, id);
        if (id) id_ = static_cast<uint32_t>(*id);
        return r;
    }
    if (key == "nuv-busy") {
        if (value == "forever") {
            busyForever_ = true;
            return OptionResult::Taken;
        }
        std::optional<uint64_t> polls;
        const auto r = number(0, 100000, polls);
        if (polls) busyPollsPerErase_ = *polls;
        if (r == OptionResult::Bad)
            error = "nuv-busy needs a number of polls (0-100000) or forever";
        return r;
    }
    constexpr uint64_t kMany = 1000000000;
    if (key == "nuv-silent-page") return number(1, kMany, silentAfterPage_);
    if (key == "nuv-silent-batch") return number(1, kMany, silentAtBatch_);
    if (key == "nuv-refuse") return number(1, kMany, refuseDataBatch_);
    if (key == "nuv-flip") return number(1, kPages, flipPage_);
    return OptionResult::NotMine;
}

std::string NuvotonJtag::checkOptions(int generation) const {
    if (generation == 2 && cable_ == Cable::TypeA)
        return "nuv-cable needs a third-generation JIG (the second has no flat-cable port)";
    return {};
}

std::string NuvotonJtag::optionHelp() const {
    return R"(Nuvoton JTAG controller ('J' commands on jig3 and on jig2=NPCE; 128 KB flash):
  nuv-power=on|off      off: no power on the board: every shift reads all ones
                        (ID FFFFFFFFh), pages read FFh, batches answer 21h
  nuv-id=N              the JTAG ID it answers after a TAP reset (default
                        0x0FE2201F: 1F 20 E2 0F on the wire)
  nuv-cable=typeb|typea jig3: the board is on the 30-pin cable one to one
                        (typeb, the default) or reversed (typea); the
                        controller answers only while the CPLD holds that
                        cable's routing
  nuv-busy=N|forever    after a sector erase the flash reports busy (status
                        03h) for N status reads (default 1), or for ever
  nuv-silent-page=N     the JIG falls silent after sending page N of the reads
                        since it started (until its reset button)
  nuv-silent-batch=N    the JIG falls silent instead of answering batch N
                        since it started (a write's 32 erase batches come first)
  nuv-refuse=N          batch N of mode FFh since it started is answered 21h
                        and not run (a write's set-up is 1, the data of page P
                        is P+1)
  nuv-flip=P            page P arrives in the helper's buffer with a bit
                        flipped: its CRC-8 does not match and the commit
                        answers 21h
  The JIG: 'J' 'X' / 'J' 'S' turn its SPI side off / on (the JTAG lines are
  driven only while it is off), 'J' '1' resets the TAP; each answers 'G'.
  'J' 'i' V and 'J' 'd' V shift 8 bits (one byte back), 'J' 'D' V0..V3 shifts
  32 bits (four bytes back, low first), 'J' 'T' M S V0..V3 shifts S, V, then
  selector 09h and M (one byte back). 'J' 'R' answers the next 256 flash
  bytes (from 0 after a TAP reset; FFh unless the bus is open and the core
  halted). 'J' 'W' L0 L1 MODE and (L-5)/5 records
  (selector, value low first) shifts each record and answers 22h, or 21h when
  the bus refused one; mode 22h then runs the helper's request (below). On
  jig2 'I', 'O', 'S' 'R' and 'S' 'W' REG VALUE are answered with one byte.
  The controller (made up): IR 02h is the ID code (after a TAP reset), IR 0Ah
  with the 32-bit key C3A5965Ah unlocks the debug bus, IR 0Ch opens it:
  selector 0Bh address, 0Dh data, 09h command (1 read into 0Ch, 3 write,
  6Bh/7EBh write and let further data words follow at the next addresses),
  0Ch shifts out what was read. RAM is 10000h-1FFFFh; writing 1 to FF0000h
  halts the core, which the flash interface FF0010h-FF001Fh needs: 06h/A0h
  enables writing, 20h/A8h erases the 4 KiB sector of FF0017h-FF0019h (the
  (0Dh, s x 16), (0Dh, s div 16) records put sector s there), 05h/81h reads
  the status into FF001Ah. Writing 10400h to the mailbox 107F0h starts the
  helper when 10400h holds its signature 48454C50h (refused otherwise). A
  commit batch (mode 22h) asks it to program page hi x 256 + j from buffer f
  (10800h, or 10900h when f is 1000000h) when the buffer's CRC-8 is c, else
  21h and nothing is programmed. Programming ANDs into the flash. A TAP reset
  locks the bus again. sim-firmware/NUVOTON.vss is a script that sets all
  this up.
)";
}

}  // namespace sim
