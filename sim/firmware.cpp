// The JIG's firmware and its two bootloaders, as sequential code on the JIG's
// own thread: each protocol reads like the firmware that runs it.
#include <algorithm>
#include <cstring>

#include "sim/jig_impl.h"

namespace sim {

namespace {

constexpr uint8_t kIdentify = 'B';
constexpr uint8_t kAck = 'G';
constexpr uint8_t kXon = 0x11;

// Second generation, running firmware.
constexpr uint8_t kGoToBoot = '?';
constexpr uint8_t kBootAnswer = '!';

// Second-generation bootloader.
constexpr uint8_t kSync = 'U';
constexpr const char* kGreeting = "BOOT_M88 1.2\r\x11";
constexpr const char* kFlashAnswer = "PF OK\r\x11";  // 7 bytes
constexpr const char* kEofAnswer = "EOF OK\x11";     // 7 bytes
constexpr const char* kRunAnswer = "RUN\r\x11";      // 5 bytes
constexpr const char* kLineGood = "OK\x11";
constexpr const char* kEofLine = ":00000001FF";
constexpr size_t kDataLineLength = 43;  // ':' and 42 digits, without the LF
constexpr size_t kMaxLine = 80;

// Third generation.
constexpr uint8_t kWake = '+';
constexpr const char* kWakeAnswer = "V3S1.05";
constexpr uint8_t kBlockRequest = 'W';
constexpr uint8_t kBlockGo = 'G';
constexpr uint8_t kBlockTaken = '+';
constexpr uint8_t kFinish = 'X';
constexpr size_t kJig3Block = 128;
constexpr uint8_t kCpld = 'S';
constexpr uint8_t kCpldReset = 'R';
constexpr uint8_t kCpldWrite = 'W';
constexpr uint8_t kResultGood = 'I';
constexpr uint8_t kResultBad = 'O';

constexpr size_t kMaxIdentity = 64;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // lower case is not what the program sends
}

}  // namespace

RunningFirmware firmwareFromImage(const std::vector<uint8_t>& image, size_t length,
                                  int generation) {
    length = std::min(length, image.size());
    const size_t markerLength = std::strlen(kIdentityMarker);
    auto begin = image.begin();
    auto end = image.begin() + static_cast<std::ptrdiff_t>(length);
    auto at = std::search(begin, end, kIdentityMarker, kIdentityMarker + markerLength);
    if (at == end) return {};  // runs, but says nothing
    std::string text;
    for (auto it = at + static_cast<std::ptrdiff_t>(markerLength);
         it != end && *it != 0 && text.size() < kMaxIdentity; ++it)
        text += static_cast<char>(*it);
    RunningFirmware fw;
    fw.answer = text + "\r\n";
    if (generation == 2) fw.family = familyFromIdentity(text);
    return fw;
}

bool SimJig::Impl::technicianWatches(uint8_t byte, uint32_t baud) const {
    // The update window asks for the button while the program sends 'U' at
    // the bootloader's speed; a bootloader already waiting for it, or already
    // answering it, needs no press.
    if (opts.generation != 2 || opts.silent || byte != kSync || baud != kJig2BootloaderBaud)
        return false;
    if (stage.load() != Stage::Jig2Bootloader) return true;
    return boot2Phase.load() == Boot2Phase::Lines;
}

void SimJig::Impl::run() {
    Stage next = opts.boot ? Stage::Jig2Bootloader : Stage::Firmware;
    for (;;) {
        try {
            switch (next) {
                case Stage::Firmware:
                    next = runFirmware();
                    break;
                case Stage::Jig2Bootloader:
                    next = runJig2Bootloader();
                    break;
                case Stage::Jig3Bootloader:
                    next = runJig3Bootloader();
                    break;
            }
        } catch (const ResetPressed&) {
            if (opts.silent)
                next = Stage::Firmware;
            else
                next = opts.generation == 2 ? Stage::Jig2Bootloader : Stage::Jig3Bootloader;
        } catch (const PoweredOff&) {
            return;
        }
    }
}

SimJig::Stage SimJig::Impl::runFirmware() {
    stage = Stage::Firmware;
    link.setJigBaud(kFirmwareBaud);
    const RunningFirmware fw = running();
    if (opts.silent || fw.answer.empty()) {
        for (;;) {
            const uint8_t c = link.get();
            if (opts.generation == 3 && !opts.silent && c == kWake) link.askForReset();
        }
    }
    handedBack.reset();
    for (;;) {
        uint8_t c = 0;
        if (handedBack) {
            c = *handedBack;
            handedBack.reset();
        } else {
            c = link.get();
        }
        if (c == kIdentify) {
            link.put(reinterpret_cast<const uint8_t*>(fw.answer.data()), fw.answer.size());
            continue;
        }
        if (opts.generation == 2) {
            if (c == kGoToBoot) {
                boot2Phase = Boot2Phase::Sync;
                stage = Stage::Jig2Bootloader;
                link.putThenSetBaud(&kBootAnswer, 1, kJig2BootloaderBaud);
                return Stage::Jig2Bootloader;
            }
            dispatchJig2(c, fw.family);
        } else {
            dispatchJig3(c);
        }
    }
}

void SimJig::Impl::dispatchJig2(uint8_t c, Family family) {
    // 'I' and 'O' after an operation, and anything unknown, get no answer,
    // unless the family's target takes them.
    for (auto& t : targets) {
        if (family != Family::None && t->jig2Family() == family && t->takesJig2Command(c)) {
            t->command(c, link, *this);
            return;
        }
    }
}

void SimJig::Impl::dispatchJig3(uint8_t c) {
    if (c == kWake) {
        // The update asks for the reset button.
        link.askForReset();
        return;
    }
    if (c == kCpld) {
        const uint8_t sub = link.get();
        if (sub == kCpldReset) {
            cpld_.resetToWireMode();
            if (!opts.cpldSilent) link.put(kAck);
        } else if (sub == kCpldWrite) {
            const uint8_t reg = link.get();
            const uint8_t value = link.get();
            cpld_.write(reg, value);
            if (!opts.cpldSilent) link.put(kAck);
        }
        return;
    }
    for (auto& t : targets) {
        if (t->takesJig3Command(c)) {
            t->command(c, link, *this);
            return;
        }
    }
    if (c == kResultGood || c == kResultBad) {
        link.put(kAck);
        return;
    }
    for (auto& t : targets) {
        if (t->jig3Prefix() != 0 && t->jig3Prefix() == c) {
            t->command(link.get(), link, *this);
            return;
        }
    }
}

SimJig::Stage SimJig::Impl::runJig2Bootloader() {
    boot2Phase = Boot2Phase::Sync;
    stage = Stage::Jig2Bootloader;
    link.setJigBaud(kJig2BootloaderBaud);
    while (link.get() != kSync) {
    }
    link.put(kGreeting);
    boot2Phase = Boot2Phase::Greeted;

    bool erased = false;
    uint64_t dataLines = 0;  // data lines taken, for boot-stall
    auto refuse = [&](const char* code) {
        const uint8_t answer[5] = {'E', '-', static_cast<uint8_t>(code[0]),
                                   static_cast<uint8_t>(code[1]), kXon};
        link.put(answer, sizeof answer);
    };
    for (;;) {
        std::string line;
        bool overlong = false;
        for (;;) {
            const uint8_t c = link.get();
            if (c == '\n') break;
            // 'U's still on their way from the synchronisation.
            if (line.empty() && !overlong && c == kSync) continue;
            if (line.size() < kMaxLine)
                line += static_cast<char>(c);
            else
                overlong = true;
        }
        if (line.empty()) continue;
        boot2Phase = Boot2Phase::Lines;
        if (overlong) {
            refuse("FM");
        } else if (line == "pf") {
            {
                std::lock_guard lk(m);
                std::fill(boot2Flash.begin(), boot2Flash.end(), uint8_t{0xFF});
            }
            erased = true;
            link.put(kFlashAnswer);
        } else if (line == kEofLine) {
            link.put(kEofAnswer);
        } else if (line == "g") {
            RunningFirmware next = running();
            if (erased) {
                std::lock_guard lk(m);
                next = firmwareFromImage(boot2Flash, boot2Flash.size(), 2);
            }
            setRunning(next);
            stage = Stage::Firmware;
            link.putThenSetBaud(reinterpret_cast<const uint8_t*>(kRunAnswer),
                                std::strlen(kRunAnswer), kFirmwareBaud);
            if (erased) saveState();
            return Stage::Firmware;
        } else if (line[0] == ':') {
            if (line.size() != kDataLineLength) {
                refuse("FM");
                continue;
            }
            uint8_t record[21];
            bool hex = true;
            for (size_t i = 0; i < sizeof record; ++i) {
                const int hi = hexDigit(line[1 + 2 * i]);
                const int lo = hexDigit(line[2 + 2 * i]);
                hex = hex && hi >= 0 && lo >= 0;
                record[i] = static_cast<uint8_t>((hi << 4) | (lo & 0xF));
            }
            uint8_t sum = 0;
            for (uint8_t b : record) sum = static_cast<uint8_t>(sum + b);
            const size_t address = (size_t{record[1]} << 8) | record[2];
            if (!hex || record[0] != 0x10 || record[3] != 0x00)
                refuse("FM");
            else if (sum != 0)
                refuse("CS");
            else if (!erased)
                refuse("PF");
            else if (address + 16 > kJig2BootFlashSize)
                refuse("AD");
            else {
                {
                    std::lock_guard lk(m);
                    std::copy(record + 4, record + 20,
                              boot2Flash.begin() + static_cast<std::ptrdiff_t>(address));
                }
                // The bootloader hangs: nothing more until the reset button.
                if (opts.bootStall && ++dataLines == *opts.bootStall)
                    for (;;) link.get();
                link.put(kLineGood);
            }
        } else {
            refuse("CM");
        }
    }
}

SimJig::Stage SimJig::Impl::runJig3Bootloader() {
    stage = Stage::Jig3Bootloader;
    link.setJigBaud(kFirmwareBaud);
    while (link.get() != kWake) {
    }
    link.put(kWakeAnswer);
    bool uploading = false;
    size_t offset = 0;
    for (;;) {
        const uint8_t c = link.get();
        if (c == kBlockRequest) {
            if (!uploading) {
                std::lock_guard lk(m);
                std::fill(boot3Image.begin(), boot3Image.end(), uint8_t{0xFF});
                boot3Length = 0;
                uploading = true;
            }
            link.put(kBlockGo);
            uint8_t block[kJig3Block];
            for (auto& b : block) b = link.get();
            {
                // Blocks past the image's room (the program's all-0xFF tail
                // block after a full image) are taken and dropped.
                std::lock_guard lk(m);
                if (offset < kJig3ImageSize) {
                    const size_t n = std::min(kJig3Block, kJig3ImageSize - offset);
                    std::copy(block, block + n,
                              boot3Image.begin() + static_cast<std::ptrdiff_t>(offset));
                    boot3Length = offset + n;
                }
            }
            offset += kJig3Block;
            if (opts.bootStall && offset / kJig3Block == *opts.bootStall)
                for (;;) link.get();
            link.put(kBlockTaken);
        } else if (c == kFinish) {
            RunningFirmware next = running();
            if (uploading) {
                std::lock_guard lk(m);
                next = firmwareFromImage(boot3Image, boot3Length, 3);
            }
            setRunning(next);
            if (uploading) saveState();
            return Stage::Firmware;
        }
        // Further '+' from the wake loop, and anything else: ignored.
    }
}

}  // namespace sim
