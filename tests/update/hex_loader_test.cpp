#include "update/hex_loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/names.h"
#include "support/recorder_port.h"

namespace zjig {
namespace {

namespace fs = std::filesystem;

// One data record as the bootloader's toolchain writes it, CR LF included.
std::string dataRecord(unsigned address, const std::vector<uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string line = ":";
    uint8_t sum = 0;
    auto put = [&](uint8_t b) {
        line += digits[b >> 4];
        line += digits[b & 15];
        sum = static_cast<uint8_t>(sum + b);
    };
    put(static_cast<uint8_t>(bytes.size()));
    put(static_cast<uint8_t>(address >> 8));
    put(static_cast<uint8_t>(address));
    put(0);
    for (uint8_t b : bytes) put(b);
    put(static_cast<uint8_t>(0x100 - sum));
    return line + "\r\n";
}

const std::string kEof = ":00000001FF\r\n";

HexError parse(const std::string& text, FirmwareImage& image) {
    return ParseHexText(reinterpret_cast<const uint8_t*>(text.data()), text.size(), image);
}

TEST(HexDigits, HexPairToByteAndNibbleToHex) {
    struct Case {
        char first, second;
        uint8_t byte;
    };
    const Case cases[] = {
        {'0', '0', 0x00},
        {'F', 'F', 0xFF},
        {'1', 'A', 0x1A},
        {'A', '0', 0xA0},
        {'9', 'C', 0x9C},
        // Lower-case digits are not hexadecimal to the loader: 'a' counts 42.
        {'0', 'a', 42},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HexPairToByte(c.first, c.second), c.byte) << c.first << c.second;

    const std::string expected = "0123456789ABCDEF";
    for (unsigned v = 0; v < 16; ++v) {
        EXPECT_EQ(NibbleToHex(static_cast<uint8_t>(v)), expected[v]);
        EXPECT_EQ(NibbleToHex(static_cast<uint8_t>(0xF0 | v)), expected[v])
            << "only the low bits count";
    }
}

TEST(HexDigits, ModeToFirmwareFile) {
    const std::pair<const char*, const char*> table[] = {
        {"EDID lcd", "JFW_COMMON.hex"},
        {"Keyboard testing", "JFW_COMMON.hex"},
        {"ENE KB90XX", "JFW_COMMON.hex"},
        {"MEC jtag", "JFW_MECJTAG.hex"},
        {"ITE", "JFW_ITE.hex"},
        {"NUVOTON spi", "JFW_NUVOTON.hex"},
        {"NUVOTON jtag", "JFW_NUVOTON.hex"},
    };
    for (const auto& [mode, file] : table) EXPECT_STREQ(firmwareFileFor(mode), file) << mode;
    EXPECT_EQ(firmwareFileFor("ite"), nullptr);
    EXPECT_EQ(firmwareFileFor("Please select "), nullptr);
}

TEST(ParseHexText, DataLandsAtItsAddressesAndGapsStayBlank) {
    const std::string text =
        dataRecord(0x0000, {1, 2, 3, 4}) + dataRecord(0x0100, {0xAA, 0xBB}) + kEof;
    FirmwareImage image;
    image.bytes.fill(0);
    ASSERT_EQ(parse(text, image), HexError::None);
    EXPECT_EQ(image.bytes[0], 1);
    EXPECT_EQ(image.bytes[3], 4);
    EXPECT_EQ(image.bytes[4], 0xFF);
    EXPECT_EQ(image.bytes[0xFF], 0xFF);
    EXPECT_EQ(image.bytes[0x100], 0xAA);
    EXPECT_EQ(image.bytes[0x101], 0xBB);
    EXPECT_EQ(image.bytes[kFirmwareImageSize - 1], 0xFF);
    EXPECT_EQ(image.lastUsedAddress, 0x101);
}

TEST(ParseHexText, AcceptedAndRefusedTexts) {
    const std::string good = dataRecord(0x0010, {0x12, 0x34});
    std::string lfOnly;
    for (char c : good + kEof)
        if (c != '\r') lfOnly += c;
    std::string lowerCase = dataRecord(0x0000, {0xAB, 0xCD});
    for (auto& c : lowerCase)
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    std::string badSum = good;
    badSum[badSum.size() - 3] = badSum[badSum.size() - 3] == '0' ? '1' : '0';

    struct Case {
        const char* name;
        std::string text;
        HexError error;
        int lastUsed;
    };
    const Case cases[] = {
        {"no end-of-file record", good, HexError::None, 0x11},
        {"text after end of file ignored", good + kEof + "garbage\r\n:zz\n", HexError::None, 0x11},
        {"empty text", "", HexError::None, -1},
        {"LF-only line ends", lfOnly, HexError::NoRecordStart, -1},
        {"blank line", good + "\r\n" + kEof, HexError::NoRecordStart, -1},
        {"text after a data record", good + "x" + kEof, HexError::NoRecordStart, -1},
        {"lower-case digits", lowerCase + kEof, HexError::BadChecksum, -1},
        {"wrong checksum", badSum, HexError::BadChecksum, -1},
        {"extended address record", ":020000040000FA\r\n" + good, HexError::UnknownType, -1},
        {"record cut in its data", good.substr(0, 12), HexError::CutRecord, -1},
        {"end-of-file record cut", good + ":0000000", HexError::CutRecord, -1},
        {"last byte of the image", dataRecord(0x17F0, std::vector<uint8_t>(16, 0x5A)) + kEof,
         HexError::None, 0x17FF},
        {"data beyond the image", dataRecord(0x17F8, std::vector<uint8_t>(16, 0x5A)) + kEof,
         HexError::OutsideImage, -1},
        {"data far beyond the image", dataRecord(0x8000, {1}) + kEof, HexError::OutsideImage, -1},
        {"blank data at the top is not used", dataRecord(0x0000, {7, 0xFF, 0xFF}) + kEof,
         HexError::None, 0},
    };
    for (const auto& c : cases) {
        FirmwareImage image;
        EXPECT_EQ(parse(c.text, image), c.error) << c.name;
        if (c.error == HexError::None) {
            EXPECT_EQ(image.lastUsedAddress, c.lastUsed) << c.name;
        }
    }
}

class LoadFirmwareImageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("zjig_hex_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        folder_ = dir_.string() + "/";
    }
    void TearDown() override { fs::remove_all(dir_); }

    void writeFile(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }
    std::string load(const std::string& mode) {
        return LoadFirmwareImage(ui_, folder_, mode, image_);
    }
    std::vector<std::string> memo() const { return ui_.memo(names::kMemoUpdate); }

    fs::path dir_;
    std::string folder_;
    test::RecorderPort ui_;
    FirmwareImage image_;
};

TEST_F(LoadFirmwareImageTest, FullImageReportsItsLastAddressInUpperCase) {
    std::string text;
    for (unsigned a = 0; a < kFirmwareImageSize; a += 16)
        text += dataRecord(a, std::vector<uint8_t>(16, 0x3C));
    text += kEof;
    writeFile("JFW_MECJTAG.hex", text);

    EXPECT_EQ(load("MEC jtag"), "");
    const std::string path = folder_ + "JFW_MECJTAG.hex";
    EXPECT_EQ(memo(),
              (std::vector<std::string>{"UPGRADE file loaded to buffer (" + path + ")",
                                        "Bytes read from file " + std::to_string(text.size()),
                                        "HEX position_buff 17FF"}));
    EXPECT_EQ(ui_.gaugeMax(names::kGaugeUpdate), 0x17FF);
    EXPECT_EQ(image_.bytes[0x17FF], 0x3C);
}

TEST_F(LoadFirmwareImageTest, HexAddressDigitsAreUpperCase) {
    writeFile("JFW_ITE.hex", dataRecord(0x0AB0, std::vector<uint8_t>(15, 1)) + kEof);
    EXPECT_EQ(load("ITE"), "");
    EXPECT_EQ(memo().back(), "HEX position_buff 0ABE");
}

TEST_F(LoadFirmwareImageTest, MissingFileNamesThePath) {
    EXPECT_EQ(load("NUVOTON jtag"), kResultFileSearch);
    EXPECT_EQ(memo(), (std::vector<std::string>{"Not found .hex file -> " + folder_ +
                                                "JFW_NUVOTON.hex for M88 in the program folder "}));
    EXPECT_FALSE(ui_.gaugeMax(names::kGaugeUpdate).has_value());
}

TEST_F(LoadFirmwareImageTest, MalformedFileIsAFormatError) {
    writeFile("JFW_COMMON.hex", ":10000000\r\n");
    EXPECT_EQ(load("EDID lcd"), kResultFileFormat);
    EXPECT_EQ(memo().back(), "Wrong file format!");
    EXPECT_FALSE(ui_.gaugeMax(names::kGaugeUpdate).has_value());
}

TEST_F(LoadFirmwareImageTest, BlankImageIsRefused) {
    writeFile("JFW_COMMON.hex", dataRecord(0, std::vector<uint8_t>(16, 0xFF)) + kEof);
    EXPECT_EQ(load("Keyboard testing"), kResultFileFormat);
    EXPECT_EQ(memo().back(), "No data for M88 in the .hex file (every byte is FF)!");
    EXPECT_FALSE(ui_.gaugeMax(names::kGaugeUpdate).has_value());
}

// The text is read in one go of at most 32768 bytes. A longer file is taken
// only when its end-of-file record lies inside that buffer; a file of the
// buffer's size or less is taken as it is, end-of-file record or not.
TEST_F(LoadFirmwareImageTest, TextBeyondTheBufferLimit) {
    const std::string record = dataRecord(0x0000, std::vector<uint8_t>(16, 0x42));  // 45 bytes
    const std::string last = dataRecord(0x0010, std::vector<uint8_t>(20, 0x43));    // 53 bytes
    ASSERT_NE(kHexTextSize % record.size(), 0u);
    std::string cutInARecord;
    while (cutInARecord.size() < kHexTextSize + 100) cutInARecord += record;
    // 727 records and one longer one fill the buffer exactly, without an
    // end-of-file record.
    std::string exactlyFull;
    for (int i = 0; i < 727; ++i) exactlyFull += record;
    exactlyFull += last;
    ASSERT_EQ(exactlyFull.size(), kHexTextSize);

    struct Case {
        const char* name;
        std::string text;
        std::string result;
        std::string lastLine;
    };
    const Case cases[] = {
        {"cut inside a record", cutInARecord, kResultFileFormat, "Wrong file format!"},
        {"cut between records", exactlyFull + record + kEof, kResultFileFormat,
         "Wrong file format!"},
        {"exactly the buffer", exactlyFull, "", "HEX position_buff 0023"},
        {"end of file inside the buffer", record + kEof + std::string(kHexTextSize, ';'), "",
         "HEX position_buff 000F"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui_.clear();
        writeFile("JFW_COMMON.hex", c.text);
        EXPECT_EQ(load("ENE KB90XX"), c.result);
        ASSERT_GE(memo().size(), 2u);
        EXPECT_EQ(memo()[1], "Bytes read from file " +
                                 std::to_string(std::min(c.text.size(), kHexTextSize)));
        EXPECT_EQ(memo().back(), c.lastLine);
    }
}

// A firmware file that is there but is no regular file is refused at once
// (a FIFO would block the update in open()), with the reason.
TEST_F(LoadFirmwareImageTest, FileThatIsNoRegularFileIsRefusedWithItsReason) {
    const std::string path = folder_ + "JFW_COMMON.hex";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(load("EDID lcd"), kResultFileSearch);
    EXPECT_EQ(memo(),
              (std::vector<std::string>{
                  "Not found .hex file -> " + path + " for M88 in the program folder ",
                  path + ": is a pipe (FIFO), not a regular file"}));
}

}  // namespace
}  // namespace zjig
