#include "update/bootloader_upload.h"

#include <gtest/gtest.h>

#include <string>

#include "base/names.h"
#include "support/recorder_port.h"
#include "update/scripted_jig.h"

namespace zjig {
namespace {

using test::ScriptedJig;

std::string text(const std::array<uint8_t, kHexLineSize>& line) {
    return std::string(line.begin(), line.end());
}

FirmwareImage blankImage() {
    FirmwareImage image;
    image.bytes.fill(0xFF);
    return image;
}

TEST(HexLine, BlankBlockAt0010) {
    const std::string line = text(HexLineFor(blankImage(), 0x0010));
    ASSERT_EQ(line.size(), 44u);
    EXPECT_EQ(line, ":10001000" + std::string(32, 'F') + "F0\n");
}

TEST(HexLine, DataDigitsAndChecksumAreUpperCase) {
    FirmwareImage image = blankImage();
    for (unsigned i = 0; i < 16; ++i) image.bytes[0x1230 + i] = static_cast<uint8_t>(0xA0 + i);
    // 0x10 + 0x12 + 0x30 + (0xA0 * 16 + 120) = 0xACA -> checksum 0x100 - 0xCA = 0x36.
    EXPECT_EQ(text(HexLineFor(image, 0x1230)), ":10123000A0A1A2A3A4A5A6A7A8A9AAABACADAEAF36\n");
}

TEST(HexDump, TwoUpperCaseDigitsPerByteWithoutSeparators) {
    test::RecorderPort ui;
    const uint8_t bytes[] = {'A', 'B', 'C', 0x11, 0x0f, 0xe0};
    HexDumpToMemo(ui, bytes, sizeof bytes);
    EXPECT_EQ(ui.memo(names::kMemoUpdate), std::vector<std::string>{"414243110FE0"});
}

TEST(LineAnswer, RefusalRule) {
    struct Case {
        std::string answer;  // the bytes before XON
        bool refused;
    };
    const Case cases[] = {
        {"OK", false},
        {"O-", false},
        {"E-C", false},
        {"E-CS", true},
        {"E-", false},
        {"-", false},
        {"", false},
        {"OKAY", false},
        {"x-xxxxxxxxxxxxxx", true},
        {std::string(16, '.'), false},
        {std::string(17, '.'), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsLineRefused(reinterpret_cast<const uint8_t*>(c.answer.data()), c.answer.size()),
                  c.refused)
            << '"' << c.answer << '"';
    }
}

TEST(ModeFamily, ExpectedIdentitySubstrings) {
    EXPECT_EQ(firmwareFamilyFor("EDID lcd"), "V41");
    EXPECT_EQ(firmwareFamilyFor("Keyboard testing"), "V41");
    EXPECT_EQ(firmwareFamilyFor("ENE KB90XX"), "V41");
    EXPECT_EQ(firmwareFamilyFor("MEC jtag"), "V42");
    EXPECT_EQ(firmwareFamilyFor("ITE"), "ITE");
    EXPECT_EQ(firmwareFamilyFor("NUVOTON spi"), "NPCE");
    EXPECT_EQ(firmwareFamilyFor("NUVOTON jtag"), "NPCE");
    EXPECT_EQ(firmwareFamilyFor("nuvoton spi"), "");
}

// The upload stage against a hand-written bootloader.
class UploadTest : public ::testing::Test {
  protected:
    UploadTest() {
        devices_.addPort(jig_.port());
        LinkEnv env;
        env.devices = &devices_;
        // Silent-bootloader cases end in a fraction of a second.
        env.userTimeout = std::chrono::milliseconds(300);
        link_ = std::make_unique<JigLink>(env, 1000);
        EXPECT_TRUE(ftOk(link_->open(0)));
    }

    // A bootloader that answers "pf", EOF and 'g' as the JIG does and every
    // data line with `lineAnswer(n)` (n counts the lines from 0).
    void bootloader(std::function<std::string(int)> lineAnswer) {
        jig_.setResponder([this, lineAnswer](ScriptedJig& jig, const std::vector<uint8_t>& chunk) {
            const std::string s(chunk.begin(), chunk.end());
            if (s == "pf\n")
                jig.reply("PF OK\r\x11");
            else if (s == ":00000001FF\n")
                jig.reply("EOF OK\x11");
            else if (s.size() == kHexLineSize && s[0] == ':')
                jig.reply(lineAnswer(lines_++));
        });
    }

    // Every chunk written, as text.
    std::vector<std::string> wire() const {
        std::vector<std::string> out;
        for (const auto& c : jig_.chunks()) out.emplace_back(c.begin(), c.end());
        return out;
    }
    std::vector<std::string> memo() const { return ui_.memo(names::kMemoUpdate); }

    ScriptedJig jig_;
    DeviceList devices_;
    std::unique_ptr<JigLink> link_;
    test::RecorderPort ui_;
    int lines_ = 0;
};

TEST_F(UploadTest, LastUsedAddressFiveSendsOneLineThenEndOfFile) {
    bootloader([](int) { return std::string("OK\x11"); });
    FirmwareImage image = blankImage();
    for (int i = 0; i <= 5; ++i) image.bytes[i] = static_cast<uint8_t>(i);
    image.lastUsedAddress = 5;

    EXPECT_EQ(UploadFirmwareImage(ui_, *link_, image), kResultUpgradeOk);
    EXPECT_EQ(wire(), (std::vector<std::string>{
                          "pf\n", ":10000000000102030405" + std::string(20, 'F') + "EB\n",
                          ":00000001FF\n"}));
    EXPECT_EQ(memo(), std::vector<std::string>{"отправлено EOF корректно"});
    EXPECT_EQ(ui_.gauge(names::kGaugeUpdate), 16);
}

TEST_F(UploadTest, EveryBlockUpToTheLastUsedOneIsSentBlankOnesToo) {
    bootloader([](int) { return std::string("OK\x11"); });
    FirmwareImage image = blankImage();
    image.bytes[0x30] = 0x00;
    image.lastUsedAddress = 0x30;

    EXPECT_EQ(UploadFirmwareImage(ui_, *link_, image), kResultUpgradeOk);
    const auto chunks = wire();
    ASSERT_EQ(chunks.size(), 6u);
    EXPECT_EQ(chunks[1].substr(0, 7), ":100000");
    EXPECT_EQ(chunks[2], ":10001000" + std::string(32, 'F') + "F0\n");
    EXPECT_EQ(chunks[3].substr(0, 7), ":100020");
    EXPECT_EQ(chunks[4].substr(0, 11), ":1000300000");
    EXPECT_EQ(ui_.gauge(names::kGaugeUpdate), 0x40);
}

TEST_F(UploadTest, RefusedLineStopsTheUploadWithoutEndOfFile) {
    // The first line is answered with two bytes whose second is '-' (taken),
    // the second with four such bytes (refused).
    bootloader([](int n) { return std::string(n == 0 ? "O-\x11" : "E-CS\x11"); });
    FirmwareImage image = blankImage();
    image.bytes[0x100] = 1;
    image.lastUsedAddress = 0x100;

    EXPECT_EQ(UploadFirmwareImage(ui_, *link_, image), kResultUpgradeError);
    EXPECT_EQ(wire().size(), 3u) << "pf and two lines, no end-of-file line";
    EXPECT_EQ(memo(), std::vector<std::string>{"ERROR FW upgrade!"});
    EXPECT_EQ(ui_.gauge(names::kGaugeUpdate), 16);
}

TEST_F(UploadTest, AnswerWithoutXonOrTooLongIsARefusal) {
    struct Case {
        const char* name;
        std::string answer;
        std::vector<std::string> memo;
    };
    const Case cases[] = {
        {"no XON",
         "OK",
         {"No answer from BOOT_loader after the line 0000 (timed out)", "ERROR FW upgrade!"}},
        {"17 bytes before XON", std::string(17, 'k') + "\x11", {"ERROR FW upgrade!"}},
        {"no answer",
         "",
         {"No answer from BOOT_loader after the line 0000 (timed out)", "ERROR FW upgrade!"}},
    };
    for (const auto& c : cases) {
        ui_.clear();
        bootloader([&](int) { return c.answer; });
        FirmwareImage image = blankImage();
        image.bytes[0] = 0;
        image.lastUsedAddress = 0;
        EXPECT_EQ(UploadFirmwareImage(ui_, *link_, image), kResultUpgradeError) << c.name;
        EXPECT_EQ(memo(), c.memo) << c.name;
        link_->purge(kPurgeRx | kPurgeTx);
    }
}

TEST_F(UploadTest, AnswerInPiecesIsCollectedUpToXon) {
    jig_.setResponder([](ScriptedJig& jig, const std::vector<uint8_t>& chunk) {
        const std::string s(chunk.begin(), chunk.end());
        jig.trickle(s.size() == kHexLineSize);
        if (s == "pf\n")
            jig.reply("PF OK\r\x11");
        else if (s == ":00000001FF\n")
            jig.reply("EOF OK\x11");
        else if (s.size() == kHexLineSize)
            jig.reply("E-CS\x11");
    });
    FirmwareImage image = blankImage();
    image.bytes[0] = 0;
    image.lastUsedAddress = 0;
    EXPECT_EQ(UploadFirmwareImage(ui_, *link_, image), kResultUpgradeError)
        << "the four bytes before XON, read one at a time, make a refusal";
    EXPECT_EQ(memo(), std::vector<std::string>{"ERROR FW upgrade!"});
}

TEST_F(UploadTest, SilentAfterProgrammingCommandSendsNoLine) {
    jig_.setResponder([](ScriptedJig&, const std::vector<uint8_t>&) {});
    FirmwareImage image = blankImage();
    image.bytes[0] = 0;
    image.lastUsedAddress = 0;
    EXPECT_EQ(UploadFirmwareImage(ui_, *link_, image), kResultUpgradeError);
    EXPECT_EQ(wire(), std::vector<std::string>{"pf\n"});
    EXPECT_EQ(memo(),
              std::vector<std::string>{"No answer from BOOT_loader after \"pf\" (timed out)"});
}

TEST_F(UploadTest, SilentAfterEndOfFileIsAFailure) {
    jig_.setResponder([this](ScriptedJig& jig, const std::vector<uint8_t>& chunk) {
        const std::string s(chunk.begin(), chunk.end());
        if (s == "pf\n")
            jig.reply("PF OK\r\x11");
        else if (s[0] == ':' && s.size() == kHexLineSize)
            jig.reply("OK\x11");
    });
    FirmwareImage image = blankImage();
    image.bytes[0] = 0;
    image.lastUsedAddress = 0;
    EXPECT_EQ(UploadFirmwareImage(ui_, *link_, image), kResultUpgradeError);
    EXPECT_EQ(memo(),
              (std::vector<std::string>{"отправлено EOF корректно",
                                        "No answer from BOOT_loader after EOF (timed out)"}));
}

}  // namespace
}  // namespace zjig
