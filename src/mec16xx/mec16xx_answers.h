// The MEC16xx commands as bytes, and the JIG's answers to them as the memo
// shows them: register values as text, the status byte and its protection
// bits. Pure functions, no link.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zjig::mec16 {

// The answer text of a register that did not come back whole.
inline constexpr const char* kLost = "MEC_lost";

// Four bytes as the memo shows a register value or the ID: b0 b1, a space,
// b2 b3 and 'h' ("0000 0018h").
std::string registerValueText(const uint8_t* bytes);

// The answer to a register read: its text and status byte when all five
// bytes came, nothing otherwise.
struct RegisterValue {
    std::string text;
    uint8_t statusByte = 0;  // byte 3: meaningful for the status register
};
std::optional<RegisterValue> parseRegisterAnswer(const uint8_t* bytes, size_t count);

// A register write is done when exactly one byte came back and it is 1.
bool registerWriteDone(const uint8_t* bytes, size_t count);

// Register commands. The address is six characters ("FF390C"), the value
// goes out as eight upper-case hex digits; a third-generation JIG gets the
// mode prefix first.
std::vector<uint8_t> registerReadCommand(bool jig3, const std::string& address);
std::vector<uint8_t> registerWriteCommand(bool jig3, const std::string& address, uint32_t value);
// The start of a block stream from `address`.
std::vector<uint8_t> startReadCommand(bool jig3, const std::string& address);

// What the status byte says about the flash's write protection.
struct Protection {
    bool fwp = false;       // the FWP pin protects the flash
    bool bootLock = false;  // the boot block is locked
    bool busy = false;      // an erase is still running
};
Protection protectionOf(uint8_t statusByte);

}  // namespace zjig::mec16
