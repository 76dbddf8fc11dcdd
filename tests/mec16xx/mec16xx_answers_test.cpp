// The MEC16xx answers as the memo shows them, and the register commands as
// bytes on the wire.
#include "mec16xx/mec16xx_answers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zjig::mec16 {
namespace {

std::vector<uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(MecAnswers, RegisterAnswerIsLostUnlessAllFiveBytesCame) {
    const struct {
        std::vector<uint8_t> answer;
        const char* text;  // nullptr: lost
        uint8_t status;
    } cases[] = {
        {{0x00, 0x00, 0x00, 0x18, 0x01}, "0000 0018h", 0x18},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "FFFF FFFFh", 0xFF},
        {{0x5A, 0x16, 0xC3, 0x07, 0x00}, "5A16 C307h", 0x07},
        {{0x00, 0x00, 0x00, 0x18}, nullptr, 0},              // four bytes: lost
        {{}, nullptr, 0},                                    // nothing came
        {{0x00, 0x00, 0x00, 0x18, 0x01, 0x01}, nullptr, 0},  // more than asked for
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.size());
        const auto value = parseRegisterAnswer(c.answer.data(), c.answer.size());
        ASSERT_EQ(value.has_value(), c.text != nullptr);
        if (!value) continue;
        EXPECT_EQ(value->text, c.text);
        EXPECT_EQ(value->statusByte, c.status);
    }
}

TEST(MecAnswers, RegisterWriteIsDoneOnlyOnOneByteOfOne) {
    const struct {
        std::vector<uint8_t> answer;
        bool done;
    } cases[] = {{{1}, true}, {{0}, false}, {{0xFF}, false}, {{}, false}, {{1, 1}, false}};
    for (const auto& c : cases)
        EXPECT_EQ(registerWriteDone(c.answer.data(), c.answer.size()), c.done);
}

TEST(MecAnswers, CommandsCarryAddressAndValueAsUpperCaseText) {
    EXPECT_EQ(registerReadCommand(true, "FF390C"), bytes("MrFF390C"));
    EXPECT_EQ(registerReadCommand(false, "FFFD00"), bytes("rFFFD00"));
    EXPECT_EQ(registerWriteCommand(true, "FF3910", 1), bytes("MwFF391000000001"));
    EXPECT_EQ(registerWriteCommand(false, "FF3908", 0x105), bytes("wFF390800000105"));
    EXPECT_EQ(registerWriteCommand(true, "FF3904", 0x00FC0000), bytes("MwFF390400FC0000"));
    EXPECT_EQ(registerWriteCommand(false, "FF3904", 0xABCDEF01), bytes("wFF3904ABCDEF01"));
    EXPECT_EQ(startReadCommand(true, "040000"), bytes("MR040000"));
    EXPECT_EQ(startReadCommand(false, "000000"), bytes("R000000"));
}

TEST(MecAnswers, StatusBitsGiveBusyBootLockAndFwp) {
    const struct {
        uint8_t status;
        bool fwp, bootLock, busy;
    } cases[] = {
        {0x00, false, false, false}, {0x08, false, true, false}, {0x10, true, false, false},
        {0x18, true, true, false},   {0x01, false, false, true}, {0xE6, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.status));
        const Protection p = protectionOf(c.status);
        EXPECT_EQ(p.fwp, c.fwp);
        EXPECT_EQ(p.bootLock, c.bootLock);
        EXPECT_EQ(p.busy, c.busy);
    }
}

}  // namespace
}  // namespace zjig::mec16
