// The JTAG script (.vss) the mode replays to the controller before a read or
// a write: CR LF lines of IR and DR shifts in upper-case hexadecimal. The
// parser is pure: the file's bytes become the shifts to send, or a refusal
// that names the line, so that a broken script is caught before its first
// shift reaches the controller.
//
// A line is split at LF and read up to its first CR; positions count from 0.
//   "i HH"                  IR shift of HH (positions 2-3)
//   "D HHHHHHHH"            32-bit DR shift (positions 2-9, most significant first)
//   "d HH"                  8-bit DR shift (CR before position 7)
//   "d HH...VVVVVVVV"       8-bit DR shift of HH, then a 32-bit DR shift of the
//                           value at positions 7-14 (CR at 15 or later; exactly
//                           at 7: the 8-bit shift only)
//   "d HH...VVVVVVVV MM"    one combined shift 'J' 'T' with mode MM, when position
//                           15 is a space and 16-17 are hexadecimal digits;
//                           otherwise the two shifts above
//   anything else           a comment or a blank line: nothing is sent
// Position 1 and positions 4-6 of the long 'd' form are not looked at.
// Bytes after the last LF are no line and are never sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zjig::nuvjtag {

enum class ShiftKind {
    IR_SHIFT,     // 'J' 'i' byte
    DR_SHIFT,     // 'J' 'd' byte
    DR_SHIFT_32,  // 'J' 'D' value, least significant byte first
    COMBINED,     // 'J' 'T' mode byte value
};

struct ScriptCommand {
    uint32_t line = 0;  // index of the line it comes from, from 0
    ShiftKind kind = ShiftKind::IR_SHIFT;
    uint8_t byte = 0;    // the 8-bit shift's value (IR, DR or the combined selector)
    uint32_t value = 0;  // the 32-bit value
    uint8_t mode = 0;    // the combined shift's mode byte
    bool operator==(const ScriptCommand&) const = default;
};

// The bytes the JIG is sent for one command.
std::vector<uint8_t> commandBytes(const ScriptCommand& command);
// How many answer bytes the JIG sends back for it.
size_t answerBytes(ShiftKind kind);

struct Script {
    std::vector<ScriptCommand> commands;  // in file order
    uint32_t lineCount = 0;               // LF bytes in the file
};

// Why a script was refused, and where: `line` counts from 1.
struct ScriptRefusal {
    uint32_t line = 0;
    std::string reason;
    bool operator==(const ScriptRefusal&) const = default;
};

struct ScriptParse {
    Script script;                         // valid when `refusal` is empty
    std::optional<ScriptRefusal> refusal;  // the first line that is outside the format
};

// Refused: a line without a CR before its LF, a line longer than 1024 bytes
// (CR LF included; also text after the last LF), a shift whose digits would
// lie at or past the line's CR, and a digit outside '0'-'9', 'A'-'F'.
ScriptParse parseScript(const uint8_t* data, size_t size);

}  // namespace zjig::nuvjtag
