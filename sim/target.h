// A target: one kind of chip the JIG can reach (the ENE KB90XX flash, and
// later the EDID EEPROM, the keyboard matrix, ...). Each target is one class
// that plugs into the firmware: it names the mode prefix letter it answers to
// on the third generation, the second-generation firmware family that carries
// it and the command bytes it takes there, parses its own options and keeps
// its own memory.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/link.h"

namespace sim {

class Cpld;

// Second-generation firmware families (the identity substring that names them).
enum class Family { None, V41, V42, Ite, Npce };
const char* familyText(Family f);  // "V41", ... ; "" for None
Family familyFromIdentity(const std::string& identity);

// What a target may ask of the firmware it runs in.
class Context {
  public:
    virtual ~Context() = default;
    virtual int generation() const = 0;  // 2 or 3
    virtual const Cpld& cpld() const = 0;
    // The target's memory has changed and the change is complete: keep it.
    virtual void memoryChanged() = 0;
    // A target that left a loop of its own on a byte that is not one of its
    // commands gives the byte back: the firmware takes it as its next command.
    virtual void handBack(uint8_t byte) = 0;
};

enum class OptionResult { NotMine, Taken, Bad };

class Target {
  public:
    virtual ~Target() = default;

    virtual const char* name() const = 0;
    // Third generation: the letter sent ahead of this target's commands
    // (0: none).
    virtual uint8_t jig3Prefix() const = 0;
    // Third generation: a top-level byte this target takes without a letter
    // ahead of it; `command` then gets the byte itself.
    virtual bool takesJig3Command(uint8_t) const { return false; }
    // Second generation: the firmware family that carries this target, and
    // whether a top-level byte of that firmware is one of its commands.
    virtual Family jig2Family() const = 0;
    virtual bool takesJig2Command(uint8_t cmd) const = 0;
    // Runs one command: on the third generation `cmd` is the byte after the
    // prefix (or the bare byte it takes), on the second the top-level byte itself. Reads and
    // answers through `uart` as the real firmware would, sequentially.
    virtual void command(uint8_t cmd, Uart& uart, Context& ctx) = 0;

    // `key` or `key=value` (value empty optional for a bare key).
    virtual OptionResult parseOption(const std::string& key,
                                     const std::optional<std::string>& value,
                                     std::string& error) = 0;
    // After all options are parsed: an error text when they do not fit the
    // JIG generation, else empty.
    virtual std::string checkOptions(int generation) const = 0;
    virtual std::string optionHelp() const = 0;

    // Persistent memory (`state=DIR`): the file name inside DIR, its bytes.
    virtual std::string stateFileName() const = 0;
    virtual std::vector<uint8_t> saveState() const = 0;
    virtual bool loadState(const std::vector<uint8_t>& bytes, std::string& error) = 0;
};

// Every target the simulated JIG carries, fresh.
std::vector<std::unique_ptr<Target>> makeTargets();

// Decimal or 0x hexadecimal, whole text, at most `max`.
bool parseNumber(const std::string& text, uint64_t max, uint64_t& out);

}  // namespace sim
