#include "sim/edid_eeprom.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

constexpr uint8_t kRead = 'r';
constexpr uint8_t kWrite = 'w';
// What the JIG answers to 'E' 'w' before it takes the data (the PC does not
// look at the value).
constexpr uint8_t kWriteReady = '>';
constexpr std::array<uint8_t, 2> kOk = {'O', 'K'};
constexpr std::array<uint8_t, 2> kError = {'E', 'R'};
// An EEPROM that does not answer reads as all ones on the bus.
constexpr uint8_t kNoChip = 0xFF;
// The bytes a JIG with `edid-surplus=` sends beyond each answer.
constexpr uint8_t kSurplusByte = 0x55;
constexpr uint64_t kMaxSurplus = 64;

constexpr size_t kBlock = 128;

// One 18-byte display descriptor holding text (tag FC: name, FE: free text),
// ended by LF and padded with blanks.
void textDescriptor(std::vector<uint8_t>& edid, size_t at, uint8_t tag, const char* text) {
    const uint8_t head[5] = {0, 0, 0, tag, 0};
    std::copy(head, head + 5, edid.begin() + static_cast<long>(at));
    std::fill_n(edid.begin() + static_cast<long>(at + 5), 13, uint8_t{' '});
    const size_t n = std::min<size_t>(std::strlen(text), 12);
    std::copy_n(text, n, edid.begin() + static_cast<long>(at + 5));
    edid[at + 5 + n] = '\n';
}

void setChecksum(std::vector<uint8_t>& edid, size_t block) {
    unsigned sum = 0;
    for (size_t i = block * kBlock; i < block * kBlock + kBlock - 1; ++i) sum += edid[i];
    edid[block * kBlock + kBlock - 1] = static_cast<uint8_t>(0x100 - (sum & 0xFF));
}

}  // namespace

std::vector<uint8_t> EdidEeprom::defaultContent() {
    std::vector<uint8_t> e(kSize, 0);
    const uint8_t base[] = {
        0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00,              // header
        0x6A, 0xD8,                                                  // maker "ZVX"
        0x6F, 0x15,                                                  // product 0x156F
        0x01, 0x00, 0x00, 0x00,                                      // serial number
        9,    27,                                                    // week 9 of 2017
        1,    4,                                                     // EDID 1.4
        0xA5,                                                        // digital, 8 bits, DisplayPort
        34,   19,                                                    // 34 x 19 cm
        0x78,                                                        // gamma 2.2
        0x02,                                                        // preferred timing is native
        0xEE, 0x95, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54,  // colours
        0x00, 0x00, 0x00,                                            // no established timings
    };
    std::copy(std::begin(base), std::end(base), e.begin());
    std::fill_n(e.begin() + 38, 16, uint8_t{0x01});  // no standard timings
    // 1920x1080 at 60 Hz, 138.5 MHz, 344 x 194 mm.
    const uint8_t timing[18] = {0x1A, 0x36, 0x80, 0xA0, 0x70, 0x38, 0x1F, 0x40, 0x30,
                                0x20, 0x35, 0x00, 0x58, 0xC2, 0x10, 0x00, 0x00, 0x1A};
    std::copy(timing, timing + 18, e.begin() + 54);
    const uint8_t dummy[5] = {0, 0, 0, 0x10, 0};
    std::copy(dummy, dummy + 5, e.begin() + 72);
    textDescriptor(e, 90, 0xFE, "ZENTRAVOX");
    textDescriptor(e, 108, 0xFC, "ZJ156FHD-01");
    e[126] = 1;  // one extension block
    setChecksum(e, 0);
    // A CEA extension without data blocks.
    e[128] = 0x02;
    e[129] = 0x03;
    e[130] = 0x04;
    setChecksum(e, 1);
    return e;
}

EdidEeprom::EdidEeprom() : memory_(defaultContent()) {}

std::array<uint8_t, 2> EdidEeprom::status() const {
    if (otherStatus_) return *otherStatus_;
    return kOk;
}

void EdidEeprom::command(uint8_t cmd, Uart& uart, Context& ctx) {
    // The third generation hands over the byte after the prefix; the second
    // hands over the 'E' itself, and the command letter follows.
    const uint8_t sub = ctx.generation() == 2 ? uart.get() : cmd;
    if (sub == kRead)
        read(uart);
    else if (sub == kWrite)
        write(uart, ctx);
    // Anything else is not an EEPROM command: ignored, as by the firmware.
}

void EdidEeprom::read(Uart& uart) {
    std::vector<uint8_t> answer;
    if (absent_) {
        answer.assign(kSize, kNoChip);
        answer.insert(answer.end(), kError.begin(), kError.end());
    } else {
        answer = memory();
        const auto s = status();
        answer.insert(answer.end(), s.begin(), s.end());
    }
    if (readSilentAfter_) {
        uart.put(answer.data(), static_cast<size_t>(*readSilentAfter_));
        // The JIG hangs: nothing more comes until its reset button.
        for (;;) uart.get();
    }
    answer.insert(answer.end(), surplus_, kSurplusByte);
    uart.put(answer.data(), answer.size());
}

void EdidEeprom::write(Uart& uart, Context& ctx) {
    if (writeSilence_ == WriteSilence::InsteadOfReady)
        for (;;) uart.get();
    std::vector<uint8_t> ready(1 + surplus_, kSurplusByte);
    ready[0] = kWriteReady;
    uart.put(ready.data(), ready.size());
    std::vector<uint8_t> data(kSize);
    for (auto& b : data) b = uart.get();
    if (writeSilence_ == WriteSilence::InsteadOfStatus)
        for (;;) uart.get();  // hung before the EEPROM was written
    std::array<uint8_t, 2> s = kError;
    if (!absent_ && !writeProtected_) {
        setMemory(data);
        ctx.memoryChanged();
        s = status();
    }
    std::vector<uint8_t> answer(s.begin(), s.end());
    answer.insert(answer.end(), surplus_, kSurplusByte);
    uart.put(answer.data(), answer.size());
}

std::vector<uint8_t> EdidEeprom::memory() const {
    std::lock_guard lk(m_);
    return memory_;
}

bool EdidEeprom::setMemory(const std::vector<uint8_t>& bytes) {
    if (bytes.size() != kSize) return false;
    std::lock_guard lk(m_);
    memory_ = bytes;
    return true;
}

bool EdidEeprom::loadState(const std::vector<uint8_t>& bytes, std::string& error) {
    if (setMemory(bytes)) return true;
    error = "holds " + std::to_string(bytes.size()) + " bytes, not " + std::to_string(kSize);
    return false;
}

OptionResult EdidEeprom::parseOption(const std::string& key,
                                     const std::optional<std::string>& value, std::string& error) {
    if (key == "edid") {
        if (value == "absent" || value == "present") {
            absent_ = value == "absent";
            return OptionResult::Taken;
        }
        error = "edid must be edid=absent or edid=present";
        return OptionResult::Bad;
    }
    if (key == "edid-wp") {
        if (value) {
            error = "edid-wp takes no value";
            return OptionResult::Bad;
        }
        writeProtected_ = true;
        return OptionResult::Taken;
    }
    if (key == "edid-status") {
        if (!value || value->size() != 2) {
            error = "edid-status needs two characters, e.g. edid-status=NO";
            return OptionResult::Bad;
        }
        otherStatus_ = {static_cast<uint8_t>((*value)[0]), static_cast<uint8_t>((*value)[1])};
        return OptionResult::Taken;
    }
    if (key == "edid-silent-read") {
        uint64_t n = 0;
        if (!value || !parseNumber(*value, kSize + 1, n)) {
            error = "edid-silent-read needs a byte count from 0 to 257";
            return OptionResult::Bad;
        }
        readSilentAfter_ = n;
        return OptionResult::Taken;
    }
    if (key == "edid-silent-write") {
        if (value == "ready" || value == "status") {
            writeSilence_ =
                value == "ready" ? WriteSilence::InsteadOfReady : WriteSilence::InsteadOfStatus;
            return OptionResult::Taken;
        }
        error = "edid-silent-write must be edid-silent-write=ready or edid-silent-write=status";
        return OptionResult::Bad;
    }
    if (key == "edid-surplus") {
        uint64_t n = 0;
        if (!value || !parseNumber(*value, kMaxSurplus, n) || n < 1) {
            error = "edid-surplus needs a byte count from 1 to " + std::to_string(kMaxSurplus);
            return OptionResult::Bad;
        }
        surplus_ = n;
        return OptionResult::Taken;
    }
    return OptionResult::NotMine;
}

std::string EdidEeprom::checkOptions(int) const { return {}; }

std::string EdidEeprom::optionHelp() const {
    return R"(EDID EEPROM (256 bytes; 'E' 'r' / 'E' 'w' on jig3, and on jig2 with firmware V41):
  'E' 'r' answers the 256 bytes, then "OK". 'E' 'w' answers one byte ('>'),
  takes 256 bytes, stores them and answers "OK". The EEPROM starts with a
  made-up 15.6" panel of maker "ZVX" (base block and one extension block).
  edid=absent|present   absent: no EEPROM on the cable: a read answers 256 x
                        0xFF and "ER"; a write takes the bytes and answers
                        "ER"
  edid-wp               the EEPROM is write-protected: a write answers "ER"
                        and the content stays as it was
  edid-status=XY        the two letters XY answered instead of "OK" (a write
                        still stores the bytes)
  edid-silent-read=N    a read sends only its first N answer bytes (0-257),
                        then the JIG falls silent until its reset button
  edid-silent-write=ready|status
                        a write falls silent instead of its one-byte answer,
                        or, after taking the 256 bytes, instead of its status
                        (nothing is stored)
  edid-surplus=N        N more bytes (0x55) follow each answer: the 258 of a
                        read, the write's one byte and its status
)";
}

}  // namespace sim
