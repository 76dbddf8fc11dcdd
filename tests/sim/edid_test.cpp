// The EDID EEPROM target through the JIG: read and write on both
// generations, the panel it starts with, its faults and its state file.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <numeric>

#include "sim_helpers.h"

namespace {

using namespace simtest;
namespace fs = std::filesystem;

constexpr size_t kSize = 256;

Bytes pattern(uint8_t seed) {
    Bytes b(kSize);
    for (size_t i = 0; i < kSize; ++i) b[i] = static_cast<uint8_t>(i * 7 + seed);
    return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class Edid : public testing::Test {
  protected:
    void open(const std::string& options) {
        j = std::make_unique<Jig>(options);
        ASSERT_TRUE(j->ok());
    }
    Bytes read() {
        j->send(Bytes{'E', 'r'});
        return j->take(kSize + 2);
    }
    // 'E' 'w', the one-byte answer, the data; returns the status.
    Bytes write(const Bytes& data) {
        j->send(Bytes{'E', 'w'});
        EXPECT_EQ(j->take(1).size(), 1u) << "the answer to 'E' 'w'";
        j->send(data);
        return j->take(2);
    }
    std::unique_ptr<Jig> j;
};

TEST_F(Edid, StartsWithAPanelWhoseBlocksHaveTheirChecksums) {
    open("jig3");
    const Bytes e = j->jig().edidEeprom();
    ASSERT_EQ(e.size(), kSize);
    EXPECT_EQ(Bytes(e.begin(), e.begin() + 8), (Bytes{0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0}));
    EXPECT_EQ(e[8], 0x6A) << "maker ZVX";
    EXPECT_EQ(e[9], 0xD8);
    EXPECT_EQ(e[126], 1) << "one extension block";
    for (size_t block : {0u, 1u}) {
        const auto from = e.begin() + static_cast<long>(block * 128);
        EXPECT_EQ(std::accumulate(from, from + 128, 0u) % 256, 0u) << "block " << block;
    }
}

TEST_F(Edid, ReadAndWriteOnBothGenerations) {
    for (const char* options : {"jig3", "jig2"}) {
        SCOPED_TRACE(options);
        open(options);
        EXPECT_EQ(read(), j->jig().edidEeprom() + bytes("OK"));
        const Bytes image = pattern(options[3]);
        EXPECT_EQ(write(image), bytes("OK"));
        EXPECT_EQ(j->jig().edidEeprom(), image);
        EXPECT_EQ(read(), image + bytes("OK"));
        EXPECT_TRUE(j->quiet().empty());
    }
}

TEST_F(Edid, OtherCommandsAndFirmwaresLeaveItAlone) {
    // An unknown command letter is dropped; the JIG still answers 'B'.
    open("jig3");
    j->send(Bytes{'E', 'x', 'B'});
    EXPECT_EQ(text(j->take(17)), "M328_EPM240_v16\r\n");
    // The MEC firmware does not carry the EEPROM commands ('r' and 'w' are
    // its own register commands there, so only the 'E' is sent).
    open("jig2=V42");
    j->send(Bytes{'E', 'B'});
    EXPECT_EQ(text(j->take(14)), "PCB2_M88_V42\r\n");
    EXPECT_TRUE(j->quiet().empty());
}

TEST_F(Edid, FaultsOfThePanel) {
    const Bytes image = pattern(3);
    struct Case {
        const char* options;
        bool readsBlank;  // a read answers 256 x FF instead of the content
        const char* readStatus;
        const char* writeStatus;
        bool stored;
    } cases[] = {
        {"jig3,edid=absent", true, "ER", "ER", false},
        {"jig2,edid-wp", false, "OK", "ER", false},
        {"jig3,edid-status=NO", false, "NO", "NO", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options);
        const Bytes before = j->jig().edidEeprom();
        EXPECT_EQ(read(), (c.readsBlank ? Bytes(kSize, 0xFF) : before) + bytes(c.readStatus));
        EXPECT_EQ(write(image), bytes(c.writeStatus));
        EXPECT_EQ(j->jig().edidEeprom(), c.stored ? image : before);
    }
}

TEST_F(Edid, SilenceAndSurplus) {
    open("jig3,edid-silent-read=100");
    const Bytes content = j->jig().edidEeprom();
    j->send(Bytes{'E', 'r'});
    EXPECT_EQ(j->take(100), Bytes(content.begin(), content.begin() + 100));
    EXPECT_TRUE(j->quiet().empty());

    open("jig3,edid-silent-read=0");
    j->send(Bytes{'E', 'r'});
    EXPECT_TRUE(j->quiet().empty());

    open("jig2,edid-silent-write=ready");
    j->send(Bytes{'E', 'w'});
    EXPECT_TRUE(j->quiet().empty());

    open("jig2,edid-silent-write=status");
    j->send(Bytes{'E', 'w'});
    EXPECT_EQ(j->take(1).size(), 1u);
    j->send(pattern(1));
    EXPECT_TRUE(j->quiet().empty());
    EXPECT_EQ(j->jig().edidEeprom(), content) << "a JIG that hung stored nothing";

    open("jig3,edid-surplus=3");
    EXPECT_EQ(read(), content + bytes("OK"));
    EXPECT_EQ(j->take(3), Bytes(3, 0x55));
    j->send(Bytes{'E', 'w'});
    EXPECT_EQ(j->take(4).size(), 4u) << "the answer and three more";
    j->send(pattern(2));
    EXPECT_EQ(j->take(5), bytes("OK") + Bytes(3, 0x55));
}

TEST_F(Edid, BadOptionsAreRefused) {
    for (const char* options :
         {"edid=gone", "edid-wp=1", "edid-status=N", "edid-status=NOT", "edid-silent-read=258",
          "edid-silent-read", "edid-silent-write=data", "edid-surplus=0", "edid-surplus=65"}) {
        std::string error;
        EXPECT_EQ(sim::SimDevice::create(options, error), nullptr) << options;
        EXPECT_NE(error.find("edid"), std::string::npos) << error;
    }
}

TEST_F(Edid, StateFolderKeepsTheEepromAndRefusesAnotherSize) {
    const fs::path dir =
        fs::temp_directory_path() /
        ("zjig_sim_edid_" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    const std::string options = "jig2,state=" + dir.string();
    const Bytes image = pattern(9);
    {
        Jig first(options);
        ASSERT_TRUE(first.ok());
        first.send(Bytes{'E', 'w'});
        ASSERT_EQ(first.take(1).size(), 1u);
        first.send(image);
        ASSERT_EQ(first.take(2), bytes("OK"));
    }
    {
        Jig second(options);
        ASSERT_TRUE(second.ok());
        EXPECT_EQ(second.jig().edidEeprom(), image);
        EXPECT_FALSE(second.jig().setEdidEeprom(Bytes(128, 0)));
        EXPECT_EQ(second.jig().targetMemory("EDID EEPROM"), image);
    }
    std::ofstream(dir / "edid_eeprom.bin", std::ios::binary | std::ios::trunc) << "short";
    std::string error;
    EXPECT_EQ(sim::SimDevice::create(options, error), nullptr);
    EXPECT_NE(error.find("edid_eeprom.bin"), std::string::npos) << error;
    fs::remove_all(dir);
}

}  // namespace
