// The ENE KB90XX target through the JIG: version, read, write, the
// second generation's sum and CRC, the third generation's routing, faults.
#include <gtest/gtest.h>

#include "sim/checksum.h"
#include "sim_helpers.h"

namespace {

using namespace simtest;

constexpr size_t kFlash = 131072;
constexpr size_t kBlock = 256;
constexpr size_t kBlocks = 512;

Bytes pattern(uint8_t seed) {
    Bytes b(kFlash);
    for (size_t i = 0; i < kFlash; ++i) b[i] = static_cast<uint8_t>(i * 13 + (i >> 9) + seed);
    return b;
}

Bytes block(const Bytes& image, size_t n) {
    return Bytes(image.begin() + static_cast<std::ptrdiff_t>(n * kBlock),
                 image.begin() + static_cast<std::ptrdiff_t>((n + 1) * kBlock));
}

class Ene : public testing::Test {
  protected:
    void open(const std::string& options) {
        j = std::make_unique<Jig>(options);
        ASSERT_TRUE(j->ok());
        third = j->jig().generation() == 3;
    }
    void command(uint8_t c) {
        if (third) j->send('K');
        j->send(c);
    }
    uint8_t version() {
        command('V');
        const Bytes b = j->take(1);
        return b.empty() ? 0 : b[0];
    }
    // A whole read as the read worker does it (with '?' on the third
    // generation); the answers to '?' are collected.
    Bytes readAll(std::string* states = nullptr) {
        Bytes out;
        command('R');
        for (size_t n = 0; n < kBlocks; ++n) {
            const Bytes b = j->take(kBlock);
            EXPECT_EQ(b.size(), kBlock) << "block " << n + 1;
            out.insert(out.end(), b.begin(), b.end());
            if (third) {
                j->send('?');
                const Bytes s = j->take(1);
                if (states) *states += s.empty() ? '.' : static_cast<char>(s[0]);
            }
            j->send(n + 1 < kBlocks ? 'N' : 'X');
        }
        return out;
    }
    // The third generation's read-back after a write: 'K' 'R', then 'R'.
    Bytes readBack() {
        Bytes out;
        command('R');
        for (size_t n = 0; n < kBlocks; ++n) {
            const Bytes b = j->take(kBlock);
            out.insert(out.end(), b.begin(), b.end());
            j->send(n + 1 < kBlocks ? 'R' : 'X');
        }
        return out;
    }
    // Writes the first `blocks` blocks; returns the answer after each block.
    std::string writeBlocks(const Bytes& image, size_t blocks) {
        std::string answers;
        command('W');
        for (size_t n = 0; n < blocks; ++n) {
            EXPECT_EQ(j->take(1).size(), 1u) << "request before block " << n + 1;
            j->send(block(image, n));
            const Bytes a = j->take(1);
            answers += a.empty() ? '.' : static_cast<char>(a[0]);
            j->send(n + 1 < blocks ? 'N' : 'X');
        }
        return answers;
    }
    void writeRegisters(const std::vector<std::pair<uint8_t, uint8_t>>& regs) {
        for (auto [reg, value] : regs) {
            j->send(Bytes{'S', 'W', reg, value});
            ASSERT_EQ(j->take(1).size(), 1u);
        }
    }
    void wireMode() {
        j->send(Bytes{'S', 'R'});
        ASSERT_EQ(j->take(1).size(), 1u);
    }

    std::unique_ptr<Jig> j;
    bool third = false;
};

TEST_F(Ene, VersionByteOnBothGenerations) {
    open("jig2");
    const uint8_t v2 = version();
    EXPECT_NE(v2, 0xFF);
    open("jig3");
    EXPECT_EQ(version(), v2);
    open("jig3,ene-version=0x21");
    EXPECT_EQ(version(), 0x21);
    open("jig2,ene=absent");
    EXPECT_EQ(version(), 0xFF);
}

TEST_F(Ene, ReadDeliversTheFlashInOrderOnBothGenerations) {
    for (const char* options : {"jig2", "jig3"}) {
        open(options);
        const Bytes flash = j->jig().eneFlash();
        ASSERT_EQ(flash.size(), kFlash);
        EXPECT_NE(block(flash, 0), block(flash, 1)) << "blocks differ, so order shows";
        EXPECT_NE(block(flash, 1), block(flash, 257));
        std::string states;
        EXPECT_EQ(readAll(&states), flash) << options;
        if (third) {
            EXPECT_EQ(states, std::string(kBlocks, 'G'));
        }
        EXPECT_TRUE(j->quiet().empty()) << "nothing after 'X'";
    }
}

TEST_F(Ene, SecondGenerationWriteThenSumAndCrc) {
    open("jig2");
    const Bytes image = pattern(7);
    EXPECT_EQ(writeBlocks(image, kBlocks), std::string(kBlocks, 'G'));
    EXPECT_EQ(j->jig().eneFlash(), image);

    j->send('S');
    const Bytes ticks = j->take(512);
    EXPECT_EQ(ticks, Bytes(512, '-'));
    const Bytes result = j->take(4);
    ASSERT_EQ(result.size(), 4u);
    const uint16_t sum = sim::byteSum16(image.data(), image.size());
    const uint16_t crc = sim::crc16Arc(image.data(), image.size());
    EXPECT_EQ(result, (Bytes{static_cast<uint8_t>(sum), static_cast<uint8_t>(sum >> 8),
                             static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8)}));
}

TEST_F(Ene, SumAndCrcOfKnownImages) {
    open("jig2");
    struct Case {
        Bytes image;
        Bytes result;  // sum lo, sum hi, crc lo, crc hi
    };
    for (const auto& c : {Case{Bytes(kFlash, 0xFF), {0x00, 0x00, 0x01, 0x94}},
                          Case{Bytes(kFlash, 0x00), {0x00, 0x00, 0x00, 0x00}}}) {
        ASSERT_TRUE(j->jig().setEneFlash(c.image));
        j->send('S');
        ASSERT_EQ(j->take(512).size(), 512u);
        EXPECT_EQ(j->take(4), c.result);
    }
}

TEST_F(Ene, ThirdGenerationWriteAndReadBack) {
    open("jig3");
    const Bytes image = pattern(99);
    EXPECT_EQ(writeBlocks(image, kBlocks), std::string(kBlocks, 'G'));
    EXPECT_EQ(j->jig().eneFlash(), image);
    EXPECT_EQ(readBack(), image);
}

TEST_F(Ene, WriteErasesTheFlashFirstSoAShortWriteLeavesTheRestBlank) {
    open("jig3");
    const Bytes image = pattern(1);
    EXPECT_EQ(writeBlocks(image, 2), "GG");
    const Bytes flash = j->jig().eneFlash();
    EXPECT_EQ(Bytes(flash.begin(), flash.begin() + 512), Bytes(image.begin(), image.begin() + 512));
    EXPECT_EQ(Bytes(flash.begin() + 512, flash.end()), Bytes(kFlash - 512, 0xFF));
}

TEST_F(Ene, OtherSecondGenerationFirmwaresDoNotKnowTheEneCommands) {
    open("jig2=V42");
    // 'R' is left out: on this firmware it starts the MEC block stream.
    j->send(Bytes{'V', 'S', 'B'});
    EXPECT_EQ(text(j->take(14)), "PCB2_M88_V42\r\n");
    EXPECT_TRUE(j->quiet().empty());
}

// Routing register writes in the order the ENE window sends them, and the
// board's cable pins (KSO3, KSI4, KSI5, KSI6, KSI7) they are made for.
struct RoutingCase {
    const char* name;
    const char* pins;
    std::vector<std::pair<uint8_t, uint8_t>> regs;
};

std::vector<std::pair<uint8_t, uint8_t>> routing(std::array<uint8_t, 4> high,
                                                 std::array<uint8_t, 4> low,
                                                 std::array<uint8_t, 4> drive, uint8_t input) {
    return {{0x24, high[0]},  {0x20, low[0]},   {0x25, high[1]}, {0x21, low[1]},   {0x26, high[2]},
            {0x22, low[2]},   {0x27, high[3]},  {0x23, low[3]},  {0x10, drive[0]}, {0x11, drive[1]},
            {0x12, drive[2]}, {0x13, drive[3]}, {0x40, input}};
}

class EneRouting : public Ene, public testing::WithParamInterface<RoutingCase> {};

TEST_P(EneRouting, ControllerAnswersOnlyThroughItsOwnRouting) {
    open(std::string("jig3,ene-ffc=") + GetParam().pins);
    EXPECT_EQ(version(), 0xFF) << "wire mode does not reach a board on a cable";
    writeRegisters(GetParam().regs);
    EXPECT_NE(version(), 0xFF);
    const Bytes flash = j->jig().eneFlash();
    EXPECT_EQ(readAll(), flash);

    // One bit off in any register group: a miswired chip.
    for (size_t i = 0; i < GetParam().regs.size(); ++i) {
        auto [reg, value] = GetParam().regs[i];
        writeRegisters({{reg, static_cast<uint8_t>(value ^ 0x10)}});
        EXPECT_EQ(version(), 0xFF) << "register 0x" << std::hex << int(reg);
        writeRegisters({{reg, value}});
    }
    EXPECT_NE(version(), 0xFF);
    wireMode();
    EXPECT_EQ(version(), 0xFF);
}

INSTANTIATE_TEST_SUITE_P(
    Sim, EneRouting,
    testing::Values(
        // Pins 1, 2, 3, 4, 9: drive 0x0F, high 0x03, low 0x09, input 0x88.
        RoutingCase{"OneToOne", "1:2:3:4:9",
                    routing({0x03, 0, 0, 0}, {0x09, 0, 0, 0}, {0x0F, 0, 0, 0}, 0x88)},
        // KSO3=3 KSI4=10 KSI5=11 KSI6=12 KSI7=13 on a mirrored 18-pin cable
        // arrive on pins 16, 9, 8, 7, 6.
        RoutingCase{"Mirrored18", "16:9:8:7:6",
                    routing({0x00, 0x81, 0, 0}, {0x40, 0x80, 0, 0}, {0xC0, 0x81, 0, 0}, 0x85)},
        RoutingCase{"HighPins", "32:25:17:24:31",
                    routing({0, 0, 0, 0x81}, {0, 0, 0x80, 0x80}, {0, 0, 0x81, 0x81}, 0x9E)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Ene, SolderedWiresNeedWireMode) {
    open("jig3");
    EXPECT_NE(version(), 0xFF);
    writeRegisters({{0x10, 0x00}});
    EXPECT_EQ(version(), 0xFF);
    const Bytes read = readAll();
    EXPECT_EQ(read, Bytes(kFlash, 0xFF)) << "a miswired chip reads 0xFF";
    // A write through the wrong routing does not reach the chip.
    const Bytes before = j->jig().eneFlash();
    writeBlocks(pattern(3), 4);
    EXPECT_EQ(j->jig().eneFlash(), before);
    wireMode();
    EXPECT_NE(version(), 0xFF);
}

TEST_F(Ene, AbsentControllerReadsAsBlankAndKeepsItsFlash) {
    open("jig2,ene=absent");
    const Bytes before = j->jig().eneFlash();
    EXPECT_EQ(readAll(), Bytes(kFlash, 0xFF));
    writeBlocks(pattern(5), kBlocks);
    EXPECT_EQ(j->jig().eneFlash(), before);
    j->send('S');
    ASSERT_EQ(j->take(512).size(), 512u);
    EXPECT_EQ(j->take(4), (Bytes{0x00, 0x00, 0x01, 0x94}));
}

TEST_F(Ene, FailedReadStateAfterTheChosenBlock) {
    open("jig3,ene-fail-read=3");
    std::string states;
    readAll(&states);
    EXPECT_EQ(states.substr(0, 4), "GGEG");
    EXPECT_EQ(std::count(states.begin(), states.end(), 'E'), 1);
}

TEST_F(Ene, StallAfterTheChosenBlockSilencesTheJig) {
    for (const char* options : {"jig2,ene-stall=2", "jig3,ene-stall=2"}) {
        open(options);
        command('R');
        EXPECT_EQ(j->take(kBlock).size(), kBlock);
        j->send('N');
        EXPECT_EQ(j->take(kBlock).size(), kBlock);
        j->send(Bytes{'N', 'X', 'B'});
        EXPECT_TRUE(j->quiet().empty()) << options;
    }
}

TEST_F(Ene, FailedWriteAnswersEAndDoesNotStoreThatBlock) {
    for (const char* options : {"jig2,ene-fail-write=2", "jig3,ene-fail-write=2"}) {
        open(options);
        const Bytes image = pattern(11);
        EXPECT_EQ(writeBlocks(image, 3), "GEG") << options;
        const Bytes flash = j->jig().eneFlash();
        EXPECT_EQ(block(flash, 0), block(image, 0));
        EXPECT_EQ(block(flash, 1), Bytes(kBlock, 0xFF));
        EXPECT_EQ(block(flash, 2), block(image, 2));
    }
}

TEST_F(Ene, CorruptByteIsStoredWrongEveryTime) {
    open("jig3,ene-corrupt=0x1234");
    for (uint8_t seed : {0, 1}) {
        const Bytes image = pattern(seed);
        writeBlocks(image, kBlocks);
        Bytes expected = image;
        expected[0x1234] ^= 0x01;
        EXPECT_EQ(j->jig().eneFlash(), expected);
        EXPECT_EQ(readBack(), expected);
    }
}

}  // namespace
