// The .vss script parser: which shifts each line form becomes, the bytes the
// JIG is sent for them, and the lines that are refused before anything is
// sent.
#include "nuvoton_jtag_form/nuvjtag_script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zjig::nuvjtag {
namespace {

using Bytes = std::vector<uint8_t>;

ScriptParse parse(const std::string& text) {
    return parseScript(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// Every byte the replay sends for a script, in order.
Bytes wire(const Script& script) {
    Bytes out;
    for (const auto& c : script.commands) {
        const Bytes b = commandBytes(c);
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

TEST(NuvScript, LineFormsBecomeTheirShifts) {
    struct Case {
        const char* name;
        std::string text;
        Bytes bytes;
    } cases[] = {
        {"three lines",
         "i 0B\r\nd 02\r\nD 0000ABCD\r\n",
         {0x4A, 0x69, 0x0B, 0x4A, 0x64, 0x02, 0x4A, 0x44, 0xCD, 0xAB, 0x00, 0x00}},
        {"long d, CR at 15: two shifts",
         "d 0B   00FF0016\r\n",
         {0x4A, 0x64, 0x0B, 0x4A, 0x44, 0x16, 0x00, 0xFF, 0x00}},
        {"long d with a mode: one combined shift",
         "d 0B   00FF0016 03\r\n",
         {0x4A, 0x54, 0x03, 0x0B, 0x16, 0x00, 0xFF, 0x00}},
        {"a mode that is no hex pair: two shifts",
         "d 0B   00FF0016 x3\r\n",
         {0x4A, 0x64, 0x0B, 0x4A, 0x44, 0x16, 0x00, 0xFF, 0x00}},
        {"no space before the mode: two shifts",
         "d 0B   00FF0016-03\r\n",
         {0x4A, 0x64, 0x0B, 0x4A, 0x44, 0x16, 0x00, 0xFF, 0x00}},
        {"mode digits cut by the CR: two shifts",
         "d 0B   00FF0016 0\r\n",
         {0x4A, 0x64, 0x0B, 0x4A, 0x44, 0x16, 0x00, 0xFF, 0x00}},
        {"d with CR at 7: the 8-bit shift only", "d 5A   \r\n", {0x4A, 0x64, 0x5A}},
        {"d with CR before 7", "d 5A \r\n", {0x4A, 0x64, 0x5A}},
        {"unexamined positions",
         "dxA1zzz12345678\r\nqx\r\niQF0\r\n",
         {0x4A, 0x64, 0xA1, 0x4A, 0x44, 0x78, 0x56, 0x34, 0x12, 0x4A, 0x69, 0xF0}},
        {"comments, blank lines, other letters", "; i 0B\r\n\r\nI 0B\r\nx\r\n", {}},
        {"last line without LF is not sent", "i 01\r\ni 02\r", {0x4A, 0x69, 0x01}},
        {"text after the CR is ignored", "i 0C\r; note\r\n", {0x4A, 0x69, 0x0C}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ScriptParse p = parse(c.text);
        ASSERT_FALSE(p.refusal) << p.refusal->reason;
        EXPECT_EQ(wire(p.script), c.bytes);
    }
}

TEST(NuvScript, CommandsKeepTheirLinesAndTheLineCountIsTheLfCount) {
    const ScriptParse p = parse("; head\r\ni 0B\r\n\r\nd 0B   00FF0016\r\ntail without LF");
    ASSERT_FALSE(p.refusal);
    EXPECT_EQ(p.script.lineCount, 4u);
    ASSERT_EQ(p.script.commands.size(), 3u);
    EXPECT_EQ(p.script.commands[0], (ScriptCommand{1, ShiftKind::IR_SHIFT, 0x0B, 0, 0}));
    EXPECT_EQ(p.script.commands[1], (ScriptCommand{3, ShiftKind::DR_SHIFT, 0x0B, 0, 0}));
    EXPECT_EQ(p.script.commands[2], (ScriptCommand{3, ShiftKind::DR_SHIFT_32, 0, 0xFF0016, 0}));
    EXPECT_EQ(answerBytes(ShiftKind::DR_SHIFT_32), 4u);
    EXPECT_EQ(answerBytes(ShiftKind::COMBINED), 1u);

    EXPECT_EQ(parse("").script.lineCount, 0u);
    EXPECT_EQ(parse("\r\n\r\n\r\n\r\n\r\n").script.lineCount, 5u);
}

TEST(NuvScript, LinesOutsideTheFormatAreRefusedWithTheirNumber) {
    const std::string long1025 = "; " + std::string(1021, 'x') + "\r\n";  // 1025 bytes
    const std::string long1024 = "; " + std::string(1020, 'x') + "\r\n";
    struct Case {
        std::string text;
        uint32_t line;
        std::string reason;
    } cases[] = {
        {"i 0B\r\nd 02\n", 2, "no CR before its LF"},
        {"\n", 1, "no CR before its LF"},
        {"; fine\r\n" + long1025, 2, "longer than 1024 bytes"},
        {"i 0B\r\n" + std::string(1025, 'x'), 2, "longer than 1024 bytes"},
        {"i 0\r\n", 1, "the line ends at position 3, before its byte at positions 2-3"},
        {"d\r\n", 1, "the line ends at position 1, before its byte at positions 2-3"},
        {"D 0000ABC\r\n", 1, "the line ends at position 9, before its value at positions 2-9"},
        {"d 0B   00FF\r\n", 1, "the line ends at position 11, before its value at positions 7-14"},
        {"d 0B    \r\n", 1, "the line ends at position 8, before its value at positions 7-14"},
        {"i 0b\r\n", 1, "position 3 is not a hexadecimal digit (0-9 or upper-case A-F)"},
        {"i a0\r\n", 1, "position 2 is not a hexadecimal digit (0-9 or upper-case A-F)"},
        {"D 0000G000\r\n", 1, "position 6 is not a hexadecimal digit (0-9 or upper-case A-F)"},
        {"d 0B   00FF 016 03\r\n", 1,
         "position 11 is not a hexadecimal digit (0-9 or upper-case A-F)"},
        {"i 0B\r\n; ok\r\ni \x01"
         "0\r\n",
         3, "position 2 is not a hexadecimal digit (0-9 or upper-case A-F)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        const ScriptParse p = parse(c.text);
        ASSERT_TRUE(p.refusal);
        EXPECT_EQ(*p.refusal, (ScriptRefusal{c.line, c.reason}));
        EXPECT_TRUE(p.script.commands.empty());
    }
    // A line of exactly 1024 bytes, CR LF included, is within the format.
    EXPECT_FALSE(parse(long1024).refusal);
    EXPECT_FALSE(parse("i 0B\r\n" + std::string(1024, 'x')).refusal);
}

TEST(NuvScript, BinaryAndLargeInputsEndInARefusalOrInNothingToSend) {
    // Bytes of every value, no CR before the first LF: refused at once.
    Bytes binary(4096);
    for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<uint8_t>(i * 7);
    EXPECT_TRUE(parseScript(binary.data(), binary.size()).refusal);
    // A large file of blank lines is counted without keeping anything per line.
    const std::string blanks(2'000'000, '\n');
    EXPECT_EQ(parse(blanks).refusal->line, 1u);
    std::string crlf;
    for (int i = 0; i < 500'000; ++i) crlf += "\r\n";
    const ScriptParse p = parse(crlf);
    ASSERT_FALSE(p.refusal);
    EXPECT_EQ(p.script.lineCount, 500'000u);
    EXPECT_TRUE(p.script.commands.empty());
}

}  // namespace
}  // namespace zjig::nuvjtag
