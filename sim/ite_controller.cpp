#include "sim/ite_controller.h"

#include <algorithm>
#include <sstream>

namespace sim {

namespace {

// Commands, after the prefix on the third generation.
constexpr uint8_t kConnect = 'T';
constexpr uint8_t kSetAddress = 'A';
constexpr uint8_t kWriteDataJig2 = 'W';
constexpr uint8_t kWriteDataJig3 = 'D';
constexpr uint8_t kReadData = 'R';
constexpr uint8_t kSetup = 'S';
constexpr uint8_t kReadBlock = 'r';
constexpr uint8_t kWriteAddress = 'Y';
constexpr uint8_t kWriteChunk = 'w';
// Answers.
constexpr uint8_t kDone = 'o';
constexpr uint8_t kError = 'e';
constexpr uint8_t kSetupMode = '*';
constexpr uint8_t kItemTaken = '+';
constexpr uint8_t kItemRefused = '-';
constexpr uint8_t kEndItem = 'Q';

// Flash interface registers of the controller.
constexpr uint8_t kRegControl = 0x05;
constexpr uint8_t kRegData = 0x08;
constexpr uint8_t kSelect = 0xFD;
constexpr uint8_t kDeselect = 0xFE;
// SPI flash opcodes.
constexpr uint8_t kWriteEnable = 0x06;
constexpr uint8_t kChipErase = 0x60;
constexpr uint8_t kChipErase2 = 0xC7;
constexpr uint8_t kFastRead = 0x0B;
constexpr size_t kFastReadLength = 5;  // opcode, three address bytes, dummy

// A block whose answer stops after this many bytes (silence inside a block).
constexpr size_t kCutBlockBytes = 100;

// The setup codes of the fifteen signals, in the order of Contacts.
constexpr std::array<std::array<uint8_t, 2>, IteController::kSignals> kCodes = {{
    {'d', '0'},
    {'d', '1'},
    {'d', '2'},
    {'d', '3'},
    {'d', '4'},
    {'d', '5'},
    {'d', '6'},
    {'d', '7'},
    {'B', 'L'},
    {'W', 'R'},
    {'D', 'S'},
    {'I', 'N'},
    {'A', 'S'},
    {'K', '4'},
    {'K', '5'},
}};

// The made-up board of the sample database's first record.
constexpr IteController::Contacts kDefaultBoard = {1,  2,  3,  4,  5,  6,  7, 8,
                                                   10, 20, 21, 22, 23, 24, 25};

std::vector<uint8_t> initialFlash() {
    std::vector<uint8_t> f(IteController::kFlashSize);
    for (size_t i = 0; i < f.size(); ++i)
        f[i] = static_cast<uint8_t>((i * 29 + (i >> 8) * 7 + (i >> 12)) ^ 0x3C);
    return f;
}

bool parseBoard(const std::string& text, IteController::Contacts& board) {
    std::vector<uint8_t> v;
    std::stringstream ss(text);
    std::string part;
    while (std::getline(ss, part, ':')) {
        uint64_t n = 0;
        if (!parseNumber(part, 32, n) || n < 1) return false;
        v.push_back(static_cast<uint8_t>(n));
    }
    if (v.size() != IteController::kSignals || text.back() == ':') return false;
    std::copy(v.begin(), v.end(), board.begin());
    return true;
}

}  // namespace

IteController::IteController() : flash_(initialFlash()), board_(kDefaultBoard) {}

bool IteController::takesJig2Command(uint8_t cmd) const {
    switch (cmd) {
        case kConnect:
        case kSetAddress:
        case kWriteDataJig2:
        case kReadData:
        case kSetup:
        case kReadBlock:
        case kWriteAddress:
        case kWriteChunk:
            return true;
        default:
            return false;
    }
}

void IteController::command(uint8_t cmd, Uart& uart, Context& ctx) {
    const uint8_t dataCommand = ctx.generation() == 3 ? kWriteDataJig3 : kWriteDataJig2;
    if (cmd == kConnect) return connect(uart);
    if (cmd == kSetAddress) return setAddress(uart, uart.get());
    if (cmd == dataCommand) return writeData(uart, uart.get(), ctx);
    if (cmd == kReadData) {
        uart.put(connected_ ? registers_[address_] : uint8_t{0xFF});
        return;
    }
    if (cmd == kSetup) return setup(uart, ctx);
    if (cmd == kReadBlock) return readBlock(uart);
    if (cmd == kWriteAddress) return setWriteAddress(uart);
    if (cmd == kWriteChunk) return writeChunk(uart, ctx);
    // Anything else is no ITE command: ignored, as by the firmware.
}

void IteController::connect(Uart& uart) {
    // The JIG reaches the controller only through the board's own wiring.
    bool mapped = false;
    {
        std::lock_guard lk(m_);
        mapped = mapped_ == board_;
    }
    connected_ = !absent_ && mapped;
    address_ = 0;
    registerWrites_ = 0;
    blocksSent_ = 0;
    chunksTaken_ = 0;
    selected_ = closing_ = writeEnabled_ = false;
    flashCommand_.clear();
    streamAt_.reset();
    writeAt_.reset();
    registers_.fill(0);
    registers_[0] = id1_;
    registers_[1] = id2_;
    registers_[2] = revision_;
    uart.put(connected_ ? kDone : kError);
}

void IteController::setAddress(Uart& uart, uint8_t reg) {
    if (!connected_ || (addressError_ && reg == *addressError_)) {
        uart.put(kError);
        return;
    }
    address_ = reg;
    uart.put(kDone);
}

void IteController::writeData(Uart& uart, uint8_t value, Context& ctx) {
    ++registerWrites_;
    if (!connected_ ||
        (refuseRegister_ && static_cast<uint64_t>(registerWrites_) == *refuseRegister_)) {
        uart.put(kError);
        return;
    }
    registers_[address_] = value;
    if (address_ == kRegControl) flashControl(value);
    if (address_ == kRegData) flashData(value, ctx);
    uart.put(kDone);
}

void IteController::flashControl(uint8_t value) {
    if (value == kSelect) {
        selected_ = true;
        closing_ = false;
        flashCommand_.clear();
        streamAt_.reset();
    } else if (value == kDeselect) {
        // The chip select rises with the next data byte.
        closing_ = true;
    }
}

void IteController::flashData(uint8_t value, Context& ctx) {
    if (closing_) return endFlashCommand(ctx);
    if (!selected_ || streamAt_) return;
    flashCommand_.push_back(value);
    if (flashCommand_[0] == kFastRead && flashCommand_.size() == kFastReadLength) {
        const size_t at =
            (size_t{flashCommand_[1]} << 16) | (size_t{flashCommand_[2]} << 8) | flashCommand_[3];
        streamAt_ = at % kFlashSize;
    }
}

void IteController::endFlashCommand(Context& ctx) {
    const bool wasSelected = selected_;
    selected_ = closing_ = false;
    streamAt_.reset();
    if (!wasSelected || flashCommand_.size() != 1) return;
    const uint8_t op = flashCommand_[0];
    if (op == kWriteEnable) {
        writeEnabled_ = true;
    } else if ((op == kChipErase || op == kChipErase2) && writeEnabled_) {
        writeEnabled_ = false;
        {
            std::lock_guard lk(m_);
            std::fill(flash_.begin(), flash_.end(), uint8_t{0xFF});
        }
        ctx.memoryChanged();
    }
}

void IteController::setup(Uart& uart, Context& ctx) {
    if (refuseSetup_) {
        uart.put(kItemRefused);
        return;
    }
    uart.put(kSetupMode);
    // In setup mode every three bytes are an item, whatever they look like
    // ('I' 'N' is INIT's item, not a result byte), until 'Q' 'Q' 'Q'.
    uint64_t items = 0;
    for (;;) {
        uint8_t item[3];
        for (auto& b : item) b = uart.get();
        ++items;
        const bool refused = refuseItem_ && items == *refuseItem_;
        if (!refused && item[0] == kEndItem && item[1] == kEndItem && item[2] == kEndItem) {
            uart.put(kItemTaken);
            break;
        }
        const auto code =
            std::find(kCodes.begin(), kCodes.end(), std::array<uint8_t, 2>{item[0], item[1]});
        if (refused || code == kCodes.end() || item[2] > 32) {
            uart.put(kItemRefused);
            break;
        }
        {
            std::lock_guard lk(m_);
            mapped_[static_cast<size_t>(code - kCodes.begin())] = item[2];
        }
        uart.put(kItemTaken);
    }
    ctx.memoryChanged();
}

void IteController::fallSilent(Uart& uart) {
    // The JIG hangs: nothing more comes until its reset button.
    for (;;) uart.get();
}

void IteController::readBlock(Uart& uart) {
    ++blocksSent_;
    const auto n = static_cast<uint64_t>(blocksSent_);
    uint8_t answer[kBlockSize + 1];
    {
        std::lock_guard lk(m_);
        for (size_t i = 0; i < kBlockSize; ++i) {
            // Without a streaming read nothing drives the data lines.
            answer[i] = connected_ && streamAt_ ? flash_[(*streamAt_ + i) % kFlashSize] : 0xFF;
        }
    }
    if (connected_ && streamAt_) streamAt_ = (*streamAt_ + kBlockSize) % kFlashSize;
    answer[kBlockSize] = connected_ && !(badBlock_ && n == *badBlock_) ? kDone : kError;
    if (silentInBlock_ && n == *silentInBlock_) {
        uart.put(answer, kCutBlockBytes);
        fallSilent(uart);
    }
    uart.put(answer, sizeof answer);
    if (silentAfterBlock_ && n == *silentAfterBlock_) fallSilent(uart);
}

void IteController::setWriteAddress(Uart& uart) {
    uint8_t address[3];
    for (auto& b : address) b = uart.get();
    if (!connected_ || refuseWriteAddress_) {
        uart.put(kError);
        return;
    }
    writeAt_ = ((size_t{address[0]} << 16) | (size_t{address[1]} << 8) | address[2]) % kFlashSize;
    uart.put(kDone);
}

void IteController::writeChunk(Uart& uart, Context& ctx) {
    uint8_t data[kChunkSize];
    for (auto& b : data) b = uart.get();
    ++chunksTaken_;
    const auto n = static_cast<uint64_t>(chunksTaken_);
    if (!connected_ || !writeAt_ || (refuseChunk_ && n == *refuseChunk_)) {
        uart.put(kError);
        return;
    }
    bool wrapped = false;
    {
        // Programming only clears bits: a chunk written over an unerased
        // flash shows.
        std::lock_guard lk(m_);
        for (size_t i = 0; i < kChunkSize; ++i) flash_[*writeAt_ + i] &= data[i];
        writeAt_ = (*writeAt_ + kChunkSize) % kFlashSize;
        wrapped = *writeAt_ == 0;
    }
    if (wrapped) ctx.memoryChanged();
    uart.put(kDone);
    if (silentAfterChunk_ && n == *silentAfterChunk_) fallSilent(uart);
}

std::vector<uint8_t> IteController::saveState() const {
    std::lock_guard lk(m_);
    std::vector<uint8_t> state = flash_;
    state.insert(state.end(), mapped_.begin(), mapped_.end());
    return state;
}

bool IteController::loadState(const std::vector<uint8_t>& bytes, std::string& error) {
    if (bytes.size() != kFlashSize && bytes.size() != kStateSize) {
        error = "holds " + std::to_string(bytes.size()) + " bytes, not " +
                std::to_string(kFlashSize) + " or " + std::to_string(kStateSize);
        return false;
    }
    Contacts mapped{};
    if (bytes.size() == kStateSize) {
        std::copy(bytes.begin() + kFlashSize, bytes.end(), mapped.begin());
        if (std::any_of(mapped.begin(), mapped.end(), [](uint8_t c) { return c > 32; })) {
            error = "maps a contact beyond 32";
            return false;
        }
    }
    std::lock_guard lk(m_);
    flash_.assign(bytes.begin(), bytes.begin() + kFlashSize);
    if (bytes.size() == kStateSize) mapped_ = mapped;
    return true;
}

OptionResult IteController::parseOption(const std::string& key,
                                        const std::optional<std::string>& value,
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
    if (key == "ite") {
        if (value == "absent" || value == "present") {
            absent_ = value == "absent";
            return OptionResult::Taken;
        }
        error = "ite must be ite=absent or ite=present";
        return OptionResult::Bad;
    }
    if (key == "ite-id") {
        std::optional<uint64_t> id;
        const auto r = number(0, 0xFFFF, id);
        if (id) {
            id1_ = static_cast<uint8_t>(*id >> 8);
            id2_ = static_cast<uint8_t>(*id & 0xFF);
        }
        return r;
    }
    if (key == "ite-rev") {
        std::optional<uint64_t> rev;
        const auto r = number(0, 0xFF, rev);
        if (rev) revision_ = static_cast<uint8_t>(*rev);
        return r;
    }
    if (key == "ite-board") {
        if (!value || value->empty() || !parseBoard(*value, board_)) {
            error =
                "ite-board needs fifteen contacts 1-32: "
                "PD0:PD1:PD2:PD3:PD4:PD5:PD6:PD7:BUSY:STB:AFD:INIT:SLIN:KSI4:KSI5";
            return OptionResult::Bad;
        }
        return OptionResult::Taken;
    }
    if (key == "ite-address-error") return number(0, 255, addressError_);
    if (key == "ite-refuse-register") return number(1, 1'000'000, refuseRegister_);
    if (key == "ite-refuse-setup") return flag(refuseSetup_);
    if (key == "ite-refuse-item") return number(1, 16, refuseItem_);
    if (key == "ite-silent-after-block") return number(1, 1'000'000, silentAfterBlock_);
    if (key == "ite-silent-in-block") return number(1, 1'000'000, silentInBlock_);
    if (key == "ite-bad-block") return number(1, 1'000'000, badBlock_);
    if (key == "ite-refuse-address") return flag(refuseWriteAddress_);
    if (key == "ite-refuse-chunk") return number(1, 1'000'000, refuseChunk_);
    if (key == "ite-silent-after-chunk") return number(1, 1'000'000, silentAfterChunk_);
    return OptionResult::NotMine;
}

std::string IteController::checkOptions(int) const { return {}; }

std::string IteController::optionHelp() const {
    return R"(ITE controller (128 KB SPI flash; mode prefix 'T' on jig3, firmware ITE on jig2,
that is jig2=ITE):
  ite=absent|present    absent: the connect command is answered 'e'
  ite-id=N              the two ID bytes in registers 0 and 1 (default 0x5A71)
  ite-rev=N             the revision byte in register 2 (default 2)
  ite-board=C1:...:C15  the board's contacts (1-32) of PD0..PD7, BUSY, STB, AFD,
                        INIT, SLIN, KSI4, KSI5 (default 1:2:3:4:5:6:7:8:10:20:21:
                        22:23:24:25). The connect command is answered 'o' only
                        when the mapping the JIG holds is exactly this one; any
                        other reads as a miswired chip ('e').
  ite-address-error=REG the set-address command for register REG is answered 'e'
  ite-refuse-register=N the Nth register data write after a connect is answered
                        'e' (not stored)
  ite-refuse-setup      the setup command is answered '-', not '*'
  ite-refuse-item=N     the Nth setup item (the closing 'Q' 'Q' 'Q' included) is
                        answered '-'; setup mode ends there
  ite-silent-after-block=N
                        the JIG falls silent after sending block N of a read
  ite-silent-in-block=N block N stops after 100 bytes and the JIG falls silent
  ite-bad-block=N       the 257th byte of block N is 'e', not 'o'
  ite-refuse-address    the write address command is answered 'e'
  ite-refuse-chunk=N    write chunk N is answered 'e' (not stored)
  ite-silent-after-chunk=N
                        the JIG answers chunk N, then falls silent
  Blocks and chunks count from 1 after each connect. The mapping set by the
  setup items is the JIG's RAM; state=DIR keeps it with the flash in ite.bin
  (flash, then the fifteen contacts). Register 05h opens (FDh) and closes (FEh,
  then a byte in 08h) a flash command whose bytes go through register 08h:
  06h write enable, 60h or C7h chip erase, 0Bh + address + dummy a streaming
  read that each 'r' takes 256 bytes of. 'Y' sets the write address; each 'w'
  chunk only clears bits (program without erase shows).
)";
}

}  // namespace sim
