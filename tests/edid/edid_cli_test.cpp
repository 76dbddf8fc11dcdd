// zjig edid read|write in process against the simulated JIG: standard output
// is the EDID window's memo, dialogs go to standard error, the exit status
// tells how it ended.
#include <gtest/gtest.h>

#include <fstream>

#include "cli/cli_harness.h"

namespace zjig {
namespace {

using test::hasLine;

std::string image(size_t size, int seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 13 + seed) & 0xFF);
    return bytes;
}

bool exists(const char* path) { return std::ifstream(path).good(); }

class EdidCli : public test::CliFixture {
  protected:
    std::string state(const std::string& generation) const {
        return "state=" + dir_.file("jig state " + generation);
    }
};

TEST_F(EdidCli, ReadPrintsTheMemoWithTheHexViewAndSavesTheEeprom) {
    auto r = zjig({"--port", "sim:jig3", "edid", "read", "panel.bin"});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    const auto out = test::outputLines(r.out);
    ASSERT_EQ(out.size(), 3u + 2 + 17 + 3);
    EXPECT_EQ(out[3], "Reading EEPROM ...");
    EXPECT_EQ(out[4], "Reading from the EEPROM is completed successfully.");
    EXPECT_EQ(out[6], ": 00 FF FF FF FF FF FF 00 6A D8 6F 15 01 00 00 00 ........j.o.....");
    EXPECT_EQ(out[out.size() - 2], "Save the file: ");
    EXPECT_EQ(out.back(), "panel.bin");
    EXPECT_EQ(test::readFile("panel.bin").size(), 256u);
    EXPECT_EQ(r.err, "");
}

TEST_F(EdidCli, WriteThenReadBackOnBothGenerations) {
    for (const char* generation : {"jig3", "jig2"}) {
        SCOPED_TRACE(generation);
        const std::string port = std::string("sim:") + generation + "," + state(generation);
        const std::string data = image(256, generation[3]);
        test::writeFile("a.bin", data);
        auto w = zjig({"--port", port, "edid", "write", "a.bin"});
        ASSERT_EQ(w.code, 0) << w.out << w.err;
        EXPECT_TRUE(hasLine(w.out, "Writing data to EEPROM is completed successfully."));
        auto r = zjig({"--port", port, "edid", "read", "b.bin"});
        ASSERT_EQ(r.code, 0) << r.out << r.err;
        EXPECT_TRUE(test::readFile("b.bin") == data);
    }
}

TEST_F(EdidCli, DecodePrintsTheSummaryOnStandardError) {
    auto r = zjig({"--port", "sim:jig3", "edid", "read", "panel.bin", "--decode"});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(r.err,
              "EDID header: present\nChecksum of bytes 0-127: valid\nManufacturer: ZVX\n"
              "Product code: 156Fh\n");
    test::writeFile("blank.bin", std::string(256, '\xFF'));
    auto w = zjig({"--port", "sim:jig3", "edid", "write", "blank.bin", "--decode"});
    EXPECT_EQ(w.code, 0) << w.out << w.err;
    EXPECT_NE(w.err.find("EDID header: missing\n"), std::string::npos) << w.err;
}

TEST_F(EdidCli, AShortFileIsWrittenWithAWarning) {
    test::writeFile("base.bin", image(128, 1));
    auto r = zjig({"--port", "sim:jig3", "edid", "write", "base.bin"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(r.err,
              "warning: base.bin is 128 bytes, 128 bytes shorter than the EEPROM (256 bytes); the "
              "rest is padded with FF.\n");
}

TEST_F(EdidCli, FailuresAreExitOne) {
    test::writeFile("a.bin", image(256, 3));
    test::writeFile("empty.bin", "");
    struct Case {
        std::vector<std::string> args;
        const char* line;   // on standard output, or "" for none
        const char* error;  // at the start of standard error, or "" for none
    } cases[] = {
        {{"--port", "sim:jig3,edid=absent", "edid", "read", "b.bin"},
         "EEPROM does not respond, check the connection !!!",
         ""},
        {{"--port", "sim:jig2,edid-wp", "edid", "write", "a.bin"},
         "EEPROM does not respond, or write error! WP 7 pin = '0' ?",
         ""},
        {{"--port", "sim:jig3,edid-status=NO", "edid", "read", "b.bin"}, "Reading EEPROM ...", ""},
        {{"--port", "sim:jig3,edid-status=NO", "edid", "write", "a.bin"}, "", ""},
        {{"--timeout", "0.3", "--port", "sim:jig3,edid-silent-read=100", "edid", "read", "b.bin"},
         "EEPROM does not respond, check the connection !!!",
         ""},
        {{"--port", "sim:jig3", "edid", "write", "empty.bin"},
         "The file is empty, nothing written to the EEPROM.",
         ""},
        {{"--port", "sim:jig3", "edid", "read", "no folder/b.bin"},
         "",
         "error: Ошибка создания файла.\nerror: no folder/b.bin.part: No such file or directory\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[c.args.size() - 3]);
        auto r = zjig(c.args);
        EXPECT_EQ(r.code, 1) << r.out << r.err;
        if (*c.line) {
            EXPECT_TRUE(hasLine(r.out, c.line)) << r.out;
        }
        EXPECT_EQ(r.err.rfind(c.error, 0), 0u) << r.err;
        EXPECT_FALSE(exists("b.bin"));
    }
}

TEST_F(EdidCli, NoJigOrFirmwareToUpdateIsExitThree) {
    struct Case {
        const char* port;
        const char* line;
    } cases[] = {
        {"sim:silent", "-->  The programmer is not found or does not respond"},
        {"sim:jig2=V42", "It is necessary to update the firmware programmer!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        auto r = zjig({"--port", c.port, "edid", "read", "b.bin"});
        EXPECT_EQ(r.code, 3) << r.out << r.err;
        EXPECT_EQ(test::outputLines(r.out).back(), c.line);
        EXPECT_FALSE(exists("b.bin"));
    }
}

TEST_F(EdidCli, UsageErrorsAreExitTwoAndTouchNoJig) {
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"edid", "write", "missing.bin"}, {"edid", "read"}, {"edid"}}) {
        args.insert(args.begin(), {"--port", "sim:jig3"});
        SCOPED_TRACE(args.back());
        auto r = zjig(args);
        EXPECT_EQ(r.code, 2) << r.out << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("error: ", 0), 0u) << r.err;
    }
}

}  // namespace
}  // namespace zjig
