#include "sim/options.h"

#include <cctype>
#include <set>
#include <sstream>

#include "sim/sim_jig.h"

namespace sim {

const char* familyText(Family f) {
    switch (f) {
        case Family::V41:
            return "V41";
        case Family::V42:
            return "V42";
        case Family::Ite:
            return "ITE";
        case Family::Npce:
            return "NPCE";
        case Family::None:
            break;
    }
    return "";
}

Family familyFromIdentity(const std::string& identity) {
    for (Family f : {Family::V41, Family::V42, Family::Ite, Family::Npce})
        if (identity.find(familyText(f)) != std::string::npos) return f;
    return Family::None;
}

std::string defaultIdentity(int generation, bool old, Family family) {
    if (generation == 3) return old ? "M328_EPM240_v12" : "M328_EPM240_v16";
    return std::string("PCB2_M88_") + familyText(family);
}

bool parseNumber(const std::string& text, uint64_t max, uint64_t& out) {
    if (text.empty()) return false;
    int base = 10;
    size_t i = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        i = 2;
    }
    uint64_t v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0) return false;
        v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (v > max) return false;
    }
    out = v;
    return true;
}

bool unescapeBytes(const std::string& text, std::string& out) {
    out.clear();
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        const int hi = hex(text[i + 1]);
        const int lo = hex(text[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

std::string escapeBytes(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x21 || c > 0x7E || c == '%' || c == ',' || c == '=') {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

bool parseOptions(const std::string& text, Options& options,
                  const std::vector<std::unique_ptr<Target>>& targets, std::string& error) {
    std::set<std::string> seen;
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ',')) {
        if (item.empty()) continue;
        std::string key = item;
        std::optional<std::string> value;
        if (auto eq = item.find('='); eq != std::string::npos) {
            key = item.substr(0, eq);
            value = item.substr(eq + 1);
        }
        const bool isGeneration = key == "jig3" || key == "jig3-old" || key == "jig2";
        const std::string slot = isGeneration ? "generation" : key;
        if (!seen.insert(slot).second) {
            error = isGeneration ? "sim: give only one of jig3, jig3-old, jig2"
                                 : "sim: option '" + key + "' given twice";
            return false;
        }
        auto bare = [&]() {
            if (!value) return true;
            error = "sim: option '" + key + "' takes no value";
            return false;
        };
        if (key == "jig3" || key == "jig3-old") {
            if (!bare()) return false;
            options.generation = 3;
            options.jig3Old = key == "jig3-old";
        } else if (key == "jig2") {
            options.generation = 2;
            options.family = Family::V41;
            if (value) {
                options.family = Family::None;
                for (Family f : {Family::V41, Family::V42, Family::Ite, Family::Npce})
                    if (*value == familyText(f)) options.family = f;
                if (options.family == Family::None) {
                    error = "sim: jig2 family must be V41, V42, ITE or NPCE, not '" + *value + "'";
                    return false;
                }
            }
        } else if (key == "id") {
            std::string bytes;
            if (!value || !unescapeBytes(*value, bytes)) {
                error = "sim: id=TEXT needs a text; write a byte as %XX (two hexadecimal digits)";
                return false;
            }
            options.identity = bytes;
        } else if (key == "silent" || key == "noopen" || key == "boot") {
            if (!bare()) return false;
            (key == "silent"   ? options.silent
             : key == "noopen" ? options.noOpen
                               : options.boot) = true;
        } else if (key == "reset") {
            uint64_t ms = 0;
            if (value == "auto")
                options.resetDelay = std::chrono::milliseconds(0);
            else if (value == "never")
                options.resetDelay.reset();
            else if (value && parseNumber(*value, 3'600'000, ms))
                options.resetDelay = std::chrono::milliseconds(ms);
            else {
                error = "sim: reset must be auto, never or a delay in milliseconds";
                return false;
            }
        } else if (key == "state") {
            if (!value || value->empty()) {
                error = "sim: state=DIR needs a folder";
                return false;
            }
            options.stateDir = *value;
        } else if (key == "speed") {
            if (value == "instant" || value == "real")
                options.realSpeed = value == "real";
            else {
                error = "sim: speed must be instant or real";
                return false;
            }
        } else if (key == "cpld") {
            if (value != "silent") {
                error = "sim: cpld takes only cpld=silent";
                return false;
            }
            options.cpldSilent = true;
        } else if (key == "boot-stall") {
            uint64_t n = 0;
            if (!value || !parseNumber(*value, 1'000'000, n) || n < 1) {
                error = "sim: boot-stall needs a block or line number from 1";
                return false;
            }
            options.bootStall = n;
        } else if (key == "drain") {
            if (value != "never") {
                error = "sim: drain takes only drain=never";
                return false;
            }
            options.drainNever = true;
        } else if (key == "wirelog") {
            if (!value || value->empty()) {
                error = "sim: wirelog=FILE needs a file";
                return false;
            }
            options.wireLog = *value;
        } else if (key == "driver") {
            uint64_t v = 0;
            if (!value || !parseNumber(*value, 0xFFFFFFFF, v)) {
                error = "sim: driver needs a 32-bit number (decimal or 0x hexadecimal)";
                return false;
            }
            options.driverVersion = static_cast<uint32_t>(v);
        } else {
            OptionResult r = OptionResult::NotMine;
            std::string targetError;
            for (const auto& t : targets) {
                r = t->parseOption(key, value, targetError);
                if (r != OptionResult::NotMine) break;
            }
            if (r == OptionResult::Bad) {
                error = "sim: " + targetError;
                return false;
            }
            if (r == OptionResult::NotMine) {
                error = "sim: unknown option '" + key + "' (zjig --help-sim lists them)";
                return false;
            }
        }
    }
    if (options.boot && options.generation != 2) {
        error = "sim: boot needs a second-generation JIG (jig2)";
        return false;
    }
    for (const auto& t : targets) {
        if (auto e = t->checkOptions(options.generation); !e.empty()) {
            error = "sim: " + e;
            return false;
        }
    }
    return true;
}

std::string helpText() {
    std::string text = R"(Simulated JIG: --port sim or --port sim:OPTION,OPTION,...

One FTDI bridge with a JIG behind it, run inside the program. Options:

JIG and firmware
  jig3                  third generation (ATmega328 + EPM240 CPLD) running the
                        current firmware "M328_EPM240_v16" (the default)
  jig3-old              third generation running older firmware "M328_EPM240_v12"
  jig2, jig2=FAMILY     second generation (ATmega88) running the firmware of
                        FAMILY: V41 (the default: EDID, keyboard, ENE), V42
                        (MEC), ITE or NPCE; identity "PCB2_M88_<FAMILY>"
  id=TEXT               the exact bytes answered to 'B' instead of the identity
                        and its CR LF (nothing is added: write %0D%0A for a line
                        end). %XX is the byte XX in hexadecimal, e.g. %C0; write
                        ',' as %2C and '%' as %25. An empty text is a silent
                        firmware.
  silent                the device opens but the JIG never answers anything
  noopen                the device is listed but cannot be opened
  boot                  jig2 only: the JIG sits in its bootloader (silent at
                        921600 baud, waiting for 'U' at 115200)
  reset=auto|never|MS   the technician at the JIG's reset button: auto (the
                        default) presses it as soon as the program asks for
                        it, MS presses it that many milliseconds later, never
                        does not press. The program asks when it sends 'U' at
                        115200 baud to a second-generation JIG that is not
                        waiting for it in its bootloader, or '+' to a
                        third-generation JIG's running firmware. A press
                        starts the bootloader, which then waits for the
                        program as long as it takes.

Link
  speed=instant|real    instant (default): bytes arrive at once. real: each
                        byte takes 10 bit times at its sender's baud rate, and
                        an answer reaches the program only when the bridge's
                        latency timer (16 ms until the program sets it) has run
                        past its arrival
  driver=N              the driver version word (decimal or 0x hexadecimal;
                        default 0x00021228)
  wirelog=FILE          every byte the program sends to the JIG is appended
                        to FILE (made empty when the port is made), as the
                        bridge takes it
  A byte sent while the program's and the JIG's line speeds (or line formats,
  the JIG uses 8 data bits, 1 stop bit, no parity) differ is lost. The bridge
  starts at 9600 baud with its latency timer at 16 ms when it is opened. A read
  time-out of 0 returns at once with what has arrived.

Stalls (the JIG stops answering; the program's waits and stop are tested)
  cpld=silent           jig3: 'S' 'R' and 'S' 'W' are taken but never answered
  boot-stall=N          a bootloader falls silent after data block N (jig3) or
                        data line N (jig2) of an upload, until the reset button
  drain=never           the bridge never reports its transmit queue empty (a
                        stuck line): every wait for it runs to its limit

State
  state=DIR             keep the JIG's firmware identity and every target's
                        memory in folder DIR (made when missing): loaded when
                        the port is made, saved after every change that
                        completes and when the program ends. A folder saved
                        for one JIG generation is refused for the other.

Firmware updates
  Second generation: '?' at 921600 answers '!' and starts the bootloader at
  115200. It greets the first 'U' with "BOOT_M88 1.2" CR XON (0x11) and ignores
  further 'U's. "pf" LF erases its 6144-byte flash and answers 7 bytes; each
  data line ':' "10" AAAA "00" <32 hex digits> CC LF (upper-case hex) is
  answered "OK" XON, or with 4 bytes "E-xx" XON when refused (CS bad checksum,
  FM malformed, AD beyond the flash, PF before "pf"); ":00000001FF" LF answers 7
  bytes; "g" LF answers 5 bytes and starts the uploaded firmware at 921600.
  Third generation: while the program sends '+' after a reset press, the
  bootloader answers "V3S1.05" once; 'W' -> 'G', then 128 data bytes -> '+';
  'X' starts the uploaded firmware (at most 131072 bytes are kept).
  The identity of uploaded firmware is written in its image: the ASCII marker
  "ZJIG-ID:" followed by the identity text, ended by a NUL byte; it answers
  that text and CR LF to 'B'. An image without the marker runs but stays
  silent. A second-generation firmware's family is the first of V41, V42, ITE,
  NPCE its identity contains. Without an upload ("pf" or 'W'), leaving the
  bootloader restarts the firmware that ran before.

Third-generation CPLD
  'S' 'R' resets the routing to wire mode, 'S' 'W' REG VALUE writes a routing
  register; each is answered 'G'. A top-level 'I' or 'O' is answered 'G' (the
  second generation does not answer them).

Third-generation JTAG side
  'J' 'X' (SPI side off), 'J' 'S' (SPI side on) and 'J' '1' (TAP reset) are
  each answered with one byte.

)";
    for (const auto& t : makeTargets()) text += t->optionHelp() + "\n";
    return text;
}

}  // namespace sim
