// zjig ite apply|check|read|write in process against the simulated JIG:
// standard output is one of the two memos, the exit status tells how the
// press ended, the mapping lives in the simulated JIG between runs.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"
#include "ite_test_support.h"

namespace zjig::test {
namespace {

class IteCli : public CliFixture {
  protected:
    void SetUp() override {
        CliFixture::SetUp();
        writeFile("MB connection ITE.txt", kIteDatabase);
    }
    std::string port(const std::string& options) const {
        return "sim:" + options + ",state=" + dir_.file("jig " + options.substr(0, 4));
    }
};

TEST_F(IteCli, ApplyThenCheckInTwoRuns) {
    for (const char* generation : {"jig3", "jig2=ITE"}) {
        SCOPED_TRACE(generation);
        const std::string p = port(generation);
        auto a = zjig({"--port", p, "ite", "apply", "--mb", "ZTI-100"});
        ASSERT_EQ(a.code, 0) << a.out << a.err;
        EXPECT_EQ(outputLines(a.out).back(), "All settings sent.");
        EXPECT_EQ(outputLines(a.out).front().rfind("Current time  ", 0), 0u);
        // The instructions the window opens with are not output.
        EXPECT_FALSE(hasLine(a.out, "__ Step by step __"));

        auto c = zjig({"--port", p + ",ite-id=0x1234,ite-rev=5", "ite", "check"});
        ASSERT_EQ(c.code, 0) << c.out << c.err;
        EXPECT_EQ(outputLines(c.out).back(), "Received ITE ID  -> 1234 rev -> 05");
        EXPECT_EQ(c.err, "");
    }
}

TEST_F(IteCli, RussianMemoWithLangRu) {
    auto r = zjig({"--port", "sim:jig3", "ite", "check", "--mb", "ZTI-100", "--lang", "ru"});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(hasLine(r.out, "Настройки все отправлены."));
    EXPECT_TRUE(hasLine(r.out, "Проверка связи ..."));
    EXPECT_TRUE(hasLine(r.out, "Версия FW программатора -> M328_EPM240_v16  "));
    EXPECT_FALSE(hasLine(r.out, "All settings sent."));
}

TEST_F(IteCli, PinsByHandMatchTheBoard) {
    auto r = zjig({"--port",  "sim:jig3", "ite",    "check",   "--pin",  "PD0=1",  "--pin",
                   "PD1=2",   "--pin",    "PD2=3",  "--pin",   "PD3=4",  "--pin",  "PD4=5",
                   "--pin",   "PD5=6",    "--pin",  "PD6=7",   "--pin",  "PD7=8",  "--pin",
                   "BUSY=10", "--pin",    "STB=20", "--pin",   "AFD=21", "--pin",  "INIT=22",
                   "--pin",   "SLIN=23",  "--pin",  "KSI4=24", "--pin",  "KSI5=25"});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(hasLine(r.out, "Received ITE ID  -> 5A71 rev -> 02"));
    // One signal left NC: the controller is not reached.
    auto nc = zjig({"--port", "sim:jig3", "ite", "check", "--pin", "PD0=1"});
    EXPECT_EQ(nc.code, 1);
    EXPECT_TRUE(hasLine(
        nc.out, "ITE we do not respond, check the connection and settings. MB powered? (00)"));
}

TEST_F(IteCli, WriteThenReadBackInTwoRunsOnBothGenerations) {
    for (const char* generation : {"jig3", "jig2=ITE"}) {
        SCOPED_TRACE(generation);
        const std::string p = port(generation);
        const Bytes image = iteImage(65536, generation[3]);
        writeAllBytes("image.bin", image);
        auto w = zjig({"--port", p, "ite", "write", "image.bin", "--mb", "ZTI-100"});
        ASSERT_EQ(w.code, 0) << w.out << w.err;
        EXPECT_TRUE(hasLine(w.out, "WRITE complete."));
        EXPECT_NE(w.err.find("warning: image.bin is 65536 bytes, 65536 bytes shorter"),
                  std::string::npos)
            << w.err;
        auto r = zjig({"--port", p, "ite", "read", "back.bin"});
        ASSERT_EQ(r.code, 0) << r.out << r.err;
        Bytes expected = image;
        expected.resize(kIteFlash, 0xFF);
        EXPECT_TRUE(readAllBytes("back.bin") == expected);
    }
}

TEST_F(IteCli, ALongImageIsCutWithAWarning) {
    const Bytes image = iteImage(2 * kIteFlash, 4);
    writeAllBytes("big.bin", image);
    const std::string p = port("jig3");
    auto w = zjig({"--port", p, "ite", "write", "big.bin", "--mb", "ZTI-100"});
    ASSERT_EQ(w.code, 0) << w.out << w.err;
    EXPECT_NE(w.err.find("warning: big.bin is 262144 bytes, 131072 bytes longer than the flash"),
              std::string::npos)
        << w.err;
    auto r = zjig({"--port", p, "ite", "read", "back.bin"});
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(readAllBytes("back.bin") == Bytes(image.begin(), image.begin() + kIteFlash));
}

TEST_F(IteCli, ExitStatusTellsHowItEnded) {
    writeFile("empty.bin", "");
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* line;  // in the output or on standard error
    } cases[] = {
        {{"--port", "sim:jig3", "ite", "apply", "--mb", "ZTI-4"},
         2,
         "error: --mb \"ZTI-4\" matches no record"},
        {{"--port", "sim:jig3", "ite", "apply", "--mb", "ZTI"},
         2,
         "error: --mb \"ZTI\" matches 3 records:"},
        {{"--port", "sim:jig3", "ite", "apply", "--mb", "ZTI-100", "--pin", "PD0=1"}, 2, "error: "},
        {{"--port", "sim:jig3", "ite", "apply", "--pin", "PD0=1", "--reversed"}, 2, "error: "},
        {{"--port", "sim:jig3", "ite", "apply", "--pin", "PD8=1"}, 2, "error: --pin \"PD8=1\""},
        {{"--port", "sim:jig3", "ite", "apply", "--pin", "PD0=33"}, 2, "error: --pin \"PD0=33\""},
        {{"--port", "sim:jig3", "ite", "apply"},
         2,
         "error: ite apply needs --mb TEXT or --pin SIGNAL=N"},
        {{"--port", "sim:jig3", "ite", "apply", "--mb", "no AFD"},
         1,
         "Information about the contact number AFD is not found!"},
        {{"--port", "sim:jig3", "ite", "apply", "--mb", "small", "--reversed"},
         1,
         "Wrong number of keyboard connector contacts (23 < acceptable <33)!"},
        // A reversed cable on a board wired forward reaches nothing.
        {{"--port", "sim:jig3", "ite", "check", "--mb", "ZTI-100", "--reversed"},
         1,
         "ITE we do not respond, check the connection and settings. MB powered? (00)"},
        {{"--port", "sim:jig3", "ite", "write", "empty.bin", "--mb", "ZTI-100"},
         1,
         "The file cannot be written: empty.bin: the file is empty (WR_SIZE)"},
        {{"--port", "sim:jig3,ite-bad-block=7", "ite", "read", "d.bin", "--mb", "ZTI-100"},
         1,
         "ERROR reading block ->7"},
        {{"--port", "sim:jig3,silent", "ite", "check"},
         3,
         "The programmer is not found or does not respond"},
        {{"--port", "sim:jig2=V41", "ite", "check"},
         3,
         "It is necessary to update the firmware programmer!"},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        auto r = zjig(c.args);
        EXPECT_EQ(r.code, c.code) << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.line), std::string::npos) << r.out << r.err;
    }
}

TEST_F(IteCli, ARecordThatDoesNotCompleteSendsNothing) {
    auto r = zjig({"--port", port("jig3"), "ite", "apply", "--mb", "no AFD"});
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(hasLine(r.out, "Send the settings for MB."));
    EXPECT_FALSE(hasLine(r.out, "Number of VCOM ports found on the machine: 1"));
}

}  // namespace
}  // namespace zjig::test
