// zjig ene apply|read|write in process against the simulated JIG: standard
// output is the ENE window's memo, the exit status tells how it ended.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "cli/cli_harness.h"

namespace zjig {
namespace {

using test::hasLine;

std::string image(size_t size, int seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 29 + (i >> 8) * 3 + seed) & 0xFF);
    return bytes;
}

constexpr size_t kFlash = 131072;

constexpr const char* kDatabase =
    "ZTB-100 demo board  KSO3=12 KSI4=5 KSI5=6 KSI6=7 KSI7=8\r\n"
    "ZTB-200 demo board  KSO3=1 KSI4=2 KSI5=3 KSI6=4 KSI7=9\r\n"
    "ZTB-300 demo board  KSO3=3 KSI4=10 KSI5=11 KSI6=12 KSI7=13\r\n"
    "ZTB-400 demo board  KSO3=20 KSI4=21 KSI5=22 KSI6=23 KSI7=24\r\n";

// Runs zjig in a temporary current directory holding the database.
class EneCli : public test::CliFixture {
  protected:
    void SetUp() override {
        CliFixture::SetUp();
        test::writeFile("MB connection ENE.txt", kDatabase);
    }
    // The simulated JIG's memory kept between runs, one folder per generation.
    std::string state(const std::string& generation) const {
        return "state=" + dir_.file("jig state " + generation);
    }
};

TEST_F(EneCli, ReadPrintsTheMemoAndSavesTheFlash) {
    auto r = zjig({"--port", "sim:jig3", "ene", "read", "dump.bin"});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(test::readFile("dump.bin").size(), kFlash);
    const auto out = test::outputLines(r.out);
    ASSERT_GE(out.size(), 4u);
    EXPECT_EQ(out.front(), "Number of VCOM ports found on the machine: 1");
    EXPECT_EQ(out[out.size() - 2], "Reading completed successfully.");
    EXPECT_EQ(out.back().rfind("Current time  ", 0), 0u);
    EXPECT_TRUE(hasLine(r.out, "dump.bin"));
    EXPECT_EQ(r.err, "");
}

TEST_F(EneCli, WriteThenReadBackOnBothGenerations) {
    for (const char* generation : {"jig3", "jig2"}) {
        SCOPED_TRACE(generation);
        const std::string port = std::string("sim:") + generation + "," + state(generation);
        const std::string data = image(kFlash, generation[3]);
        test::writeFile("image.bin", data);
        auto w = zjig({"--port", port, "ene", "write", "image.bin"});
        ASSERT_EQ(w.code, 0) << w.out << w.err;
        EXPECT_TRUE(hasLine(w.out, "Writing and verify is OK !"));
        auto r = zjig({"--port", port, "ene", "read", "back.bin"});
        ASSERT_EQ(r.code, 0) << r.out << r.err;
        EXPECT_TRUE(test::readFile("back.bin") == data);
    }
}

TEST_F(EneCli, ShortFileEndingWithSuccessIsExitZero) {
    test::writeFile("short.bin", image(300, 1));
    auto r = zjig({"--port", "sim:jig3", "ene", "write", "short.bin"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(hasLine(r.out, "Recorded file is less than 128*1024 byte"));
}

TEST_F(EneCli, ApplyAndReadThroughTheCableInOneSession) {
    auto apply = zjig(
        {"--port", "sim:jig3,ene-ffc=1:2:3:4:9", "ene", "apply", "--mb", "ZTB-200", "--ffc", "18"});
    EXPECT_EQ(apply.code, 0) << apply.out << apply.err;
    EXPECT_TRUE(hasLine(apply.out, "Settings sent successfully!"));

    // Record pins 3, 10, 11, 12, 13 on an 18-pin cable turned over.
    const std::string mirroredBoard = "sim:jig3,ene-ffc=16:9:8:7:6";
    auto read = zjig({"--port", mirroredBoard, "ene", "read", "dump.bin", "--mb", "ZTB-300",
                      "--ffc", "18", "--mirrored"});
    EXPECT_EQ(read.code, 0) << read.out << read.err;
    EXPECT_EQ(test::readFile("dump.bin").size(), kFlash);
    const auto out = test::outputLines(read.out);
    EXPECT_EQ(std::count(out.begin(), out.end(), "Version FW -> M328_EPM240_v16  "), 2)
        << "the apply's and the read's connection each identify the JIG cleanly";

    // Without --mirrored the routing misses the controller.
    auto wrong = zjig(
        {"--port", mirroredBoard, "ene", "read", "dump2.bin", "--mb", "ZTB-300", "--ffc", "18"});
    EXPECT_EQ(wrong.code, 1);
    EXPECT_TRUE(hasLine(wrong.out, "No connection to the KB90XX!"));
}

TEST_F(EneCli, FailuresAreExitOne) {
    struct Case {
        std::vector<std::string> args;
        const char* line;
    } cases[] = {
        {{"--port", "sim:jig3,ene-fail-read=3", "ene", "read", "dump.bin"},
         "Lost Communication with ENE or timeout!"},
        {{"--port", "sim:jig2,ene=absent", "ene", "read", "dump.bin"},
         "No connection to the KB90XX!"},
        {{"--port", "sim:jig2", "ene", "apply", "--mb", "ZTB-200", "--ffc", "18"},
         "Not for this version JIG!"},
        {{"--port", "sim:jig3", "ene", "apply", "--mb", "ZTB-400", "--ffc", "18"},
         "Please select big pins FFC!"},
        {{"--port", "sim:jig3,ene-corrupt=5", "ene", "write", "image.bin"},
         "!!! Data is written incorrectly !!! "},
    };
    test::writeFile("image.bin", image(kFlash, 3));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        auto r = zjig(c.args);
        EXPECT_EQ(r.code, 1) << r.out << r.err;
        EXPECT_TRUE(hasLine(r.out, c.line)) << r.out;
    }
}

TEST_F(EneCli, NoJigOrFirmwareToUpdateIsExitThree) {
    for (const char* port : {"sim:silent", "sim:jig2=V42"}) {
        SCOPED_TRACE(port);
        auto r = zjig({"--port", port, "ene", "read", "dump.bin"});
        EXPECT_EQ(r.code, 3) << r.out << r.err;
        EXPECT_FALSE(std::ifstream("dump.bin").good());
    }
}

TEST_F(EneCli, UsageErrorsAreExitTwoAndTouchNoJig) {
    struct Case {
        std::vector<std::string> args;
        const char* inError;
    } cases[] = {
        {{"ene", "apply", "--mb", "ZTB", "--ffc", "18"}, "matches 4 records:"},
        {{"ene", "apply", "--mb", "ZTB-9", "--ffc", "18"}, "matches no record"},
        {{"ene", "apply", "--mb", "ZTB-200", "--ffc", "19"}, "19"},
        {{"ene", "apply", "--mb", "ZTB-200"}, "--ffc"},
        {{"ene", "read", "dump.bin", "--mirrored"}, "--mb"},
        {{"ene", "read", "dump.bin", "--mb", "ZTB-200"}, "--ffc"},
        {{"ene", "write", "missing.bin"}, "missing.bin"},
        {{"ene"}, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--port", "sim:silent"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(args.back());
        auto r = zjig(args);
        EXPECT_EQ(r.code, 2) << r.out << r.err;
        EXPECT_NE(r.err.find(c.inError), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("Number of VCOM ports"), std::string::npos) << r.out;
    }
    // The candidates of an ambiguous --mb are listed, each line an error line.
    auto r = zjig({"--port", "sim:silent", "ene", "apply", "--mb", "ZTB", "--ffc", "18"});
    EXPECT_NE(r.err.find("\nerror:   ZTB-300 demo board  KSO3=3 KSI4=10 KSI5=11 KSI6=12 KSI7=13"),
              std::string::npos)
        << r.err;
    // Without a database no record can match.
    std::remove("MB connection ENE.txt");
    auto noBase = zjig({"--port", "sim:silent", "ene", "apply", "--mb", "ZTB-200", "--ffc", "18"});
    EXPECT_EQ(noBase.code, 2);
    EXPECT_NE(noBase.err.find("MB connection ENE.txt"), std::string::npos) << noBase.err;
}

}  // namespace
}  // namespace zjig
