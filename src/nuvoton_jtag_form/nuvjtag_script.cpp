#include "nuvoton_jtag_form/nuvjtag_script.h"

#include <cstring>

#include "nuvoton_jtag_form/nuvjtag_commands.h"

namespace zjig::nuvjtag {

namespace {

// Positions of the line forms.
constexpr size_t kBytePos = 2;        // the 8-bit value of 'i' and 'd', the start of 'D'
constexpr size_t kShortEnd = 4;       // a line must reach past its two digits
constexpr size_t kLongDrFrom = 7;     // 'd' with CR here or later is the long form
constexpr size_t kValuePos = 7;       // the long 'd' form's 32-bit value
constexpr size_t kLongDrEnd = 15;     // ... which the line must reach past
constexpr size_t kDr32End = 10;       // 'D': its eight digits end before here
constexpr size_t kModeSpacePos = 15;  // a space, then the combined shift's mode
constexpr size_t kModePos = 16;
constexpr size_t kCombinedEnd = 18;

int hexValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class LineParser {
  public:
    LineParser(const uint8_t* text, size_t cr, uint32_t line, Script& out)
        : text_(text), cr_(cr), line_(line), out_(out) {}

    // Empty text when the line was taken, else the reason it is refused.
    std::string parse() {
        switch (text_[0]) {
            case 'i':
                if (!reaches(kShortEnd, "its byte at positions 2-3")) return reason_;
                if (!byteAt(kBytePos, byte_)) return reason_;
                add(ShiftKind::IR_SHIFT);
                return {};
            case 'D':
                if (!reaches(kDr32End, "its value at positions 2-9")) return reason_;
                if (!wordAt(kBytePos, value_)) return reason_;
                add(ShiftKind::DR_SHIFT_32);
                return {};
            case 'd':
                return parseD();
            default:
                return {};  // a comment or a blank line
        }
    }

  private:
    std::string parseD() {
        if (!reaches(kShortEnd, "its byte at positions 2-3")) return reason_;
        if (!byteAt(kBytePos, byte_)) return reason_;
        if (cr_ <= kLongDrFrom) {
            add(ShiftKind::DR_SHIFT);
            return {};
        }
        if (!reaches(kLongDrEnd, "its value at positions 7-14")) return reason_;
        if (!wordAt(kValuePos, value_)) return reason_;
        if (cr_ >= kCombinedEnd && text_[kModeSpacePos] == ' ' && hexValue(text_[kModePos]) >= 0 &&
            hexValue(text_[kModePos + 1]) >= 0) {
            byteAt(kModePos, mode_);
            add(ShiftKind::COMBINED);
            return {};
        }
        // Not a mode after the value: the two shifts one by one.
        add(ShiftKind::DR_SHIFT);
        add(ShiftKind::DR_SHIFT_32);
        return {};
    }

    bool reaches(size_t end, const char* what) {
        if (cr_ >= end) return true;
        reason_ =
            std::string("the line ends at position ") + std::to_string(cr_) + ", before " + what;
        return false;
    }
    bool digitAt(size_t pos, int& value) {
        value = hexValue(text_[pos]);
        if (value >= 0) return true;
        reason_ = "position " + std::to_string(pos) +
                  " is not a hexadecimal digit (0-9 or upper-case A-F)";
        return false;
    }
    bool byteAt(size_t pos, uint8_t& out) {
        int hi = 0, lo = 0;
        if (!digitAt(pos, hi) || !digitAt(pos + 1, lo)) return false;
        out = static_cast<uint8_t>(hi * 16 + lo);
        return true;
    }
    bool wordAt(size_t pos, uint32_t& out) {
        uint32_t v = 0;
        for (size_t i = 0; i < 8; ++i) {
            int d = 0;
            if (!digitAt(pos + i, d)) return false;
            v = v << 4 | static_cast<uint32_t>(d);
        }
        out = v;
        return true;
    }
    void add(ShiftKind kind) {
        ScriptCommand c;
        c.line = line_;
        c.kind = kind;
        c.byte = byte_;
        c.value = kind == ShiftKind::DR_SHIFT ? 0 : value_;
        c.mode = kind == ShiftKind::COMBINED ? mode_ : 0;
        if (kind == ShiftKind::DR_SHIFT_32) c.byte = 0;
        out_.commands.push_back(c);
    }

    const uint8_t* text_;
    size_t cr_;
    uint32_t line_;
    Script& out_;
    uint8_t byte_ = 0;
    uint32_t value_ = 0;
    uint8_t mode_ = 0;
    std::string reason_;
};

}  // namespace

std::vector<uint8_t> commandBytes(const ScriptCommand& c) {
    const auto le = [](uint32_t v, int i) { return static_cast<uint8_t>(v >> (8 * i)); };
    switch (c.kind) {
        case ShiftKind::IR_SHIFT:
            return {kJtagPrefix, kCmdIrShift, c.byte};
        case ShiftKind::DR_SHIFT:
            return {kJtagPrefix, kCmdDrShift, c.byte};
        case ShiftKind::DR_SHIFT_32:
            return {kJtagPrefix,    kCmdDrShift32,  le(c.value, 0),
                    le(c.value, 1), le(c.value, 2), le(c.value, 3)};
        case ShiftKind::COMBINED:
            break;
    }
    return {kJtagPrefix,    kCmdCombinedShift, c.mode,         c.byte,
            le(c.value, 0), le(c.value, 1),    le(c.value, 2), le(c.value, 3)};
}

size_t answerBytes(ShiftKind kind) { return kind == ShiftKind::DR_SHIFT_32 ? 4 : 1; }

ScriptParse parseScript(const uint8_t* data, size_t size) {
    ScriptParse result;
    Script& script = result.script;
    size_t start = 0;
    uint32_t line = 0;
    while (start < size) {
        const auto* lf = static_cast<const uint8_t*>(std::memchr(data + start, '\n', size - start));
        const size_t end = lf ? static_cast<size_t>(lf - data) : size;  // the LF, or the end
        const size_t length = end - start + (lf ? 1 : 0);
        if (length > kMaxScriptLineBytes) {
            result.refusal = ScriptRefusal{
                line + 1, "longer than " + std::to_string(kMaxScriptLineBytes) + " bytes"};
            break;
        }
        if (!lf) break;  // text after the last LF is never sent
        const uint8_t* text = data + start;
        const auto* cr = static_cast<const uint8_t*>(std::memchr(text, '\r', end - start));
        if (!cr) {
            result.refusal = ScriptRefusal{line + 1, "no CR before its LF"};
            break;
        }
        const auto crPos = static_cast<size_t>(cr - text);
        if (crPos > 0) {
            const std::string reason = LineParser(text, crPos, line, script).parse();
            if (!reason.empty()) {
                result.refusal = ScriptRefusal{line + 1, reason};
                break;
            }
        }
        ++line;
        start = end + 1;
    }
    if (result.refusal)
        script = {};
    else
        script.lineCount = line;
    return result;
}

}  // namespace zjig::nuvjtag
