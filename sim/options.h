// The option text of a `sim:` port.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/target.h"

namespace sim {

inline constexpr uint32_t kDefaultDriverVersion = 0x00021228;

struct Options {
    int generation = 3;
    bool jig3Old = false;
    Family family = Family::V41;          // second generation
    std::optional<std::string> identity;  // id=: the exact answer bytes to 'B'
    bool silent = false;
    bool noOpen = false;
    bool boot = false;  // second generation, in its bootloader
    // nullopt: the reset button is never pressed.
    std::optional<std::chrono::milliseconds> resetDelay = std::chrono::milliseconds(0);
    std::string stateDir;
    bool realSpeed = false;
    uint32_t driverVersion = kDefaultDriverVersion;
    // Fault injection for the program's stop paths.
    bool cpldSilent = false;            // 'S' commands get no answer
    std::optional<uint64_t> bootStall;  // the bootloader falls silent after data block N
    std::string wireLog;                // every byte the PC sends is appended here
    bool drainNever = false;            // the bridge's transmit queue never reads empty
};

// Parses "jig2=V41,state=/tmp/x"; target options go to the targets. Returns
// false and sets `error` on an unknown, repeated, malformed or conflicting one.
bool parseOptions(const std::string& text, Options& options,
                  const std::vector<std::unique_ptr<Target>>& targets, std::string& error);

// %XX escapes (two hexadecimal digits) to bytes; false on a broken escape.
bool unescapeBytes(const std::string& text, std::string& out);
// Bytes to text safe in an option or a state file: anything outside the
// printable ASCII range, and '%' and ',', as %XX.
std::string escapeBytes(const std::string& bytes);

// The identity the firmware of a generation and family answers by default
// (without CR LF).
std::string defaultIdentity(int generation, bool old, Family family);

}  // namespace sim
