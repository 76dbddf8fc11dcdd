// zjig keyboard scan in process against the simulated JIG: one output line
// per shape painted, the status of a failed scan on standard error, and the
// exit status of each ending.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

namespace zjig {
namespace {

using test::outputLines;
using Lines = std::vector<std::string>;

class KeyboardCli : public test::CliFixture {};

TEST_F(KeyboardCli, PrintsEachPairAsItsShapeChangesAndStopsAfterTheTimeGiven) {
    auto r = zjig({"--port", "sim:jig3,kbd=3-7+3-9/12-20", "keyboard", "scan", "--seconds", "1"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(outputLines(r.out), (Lines{"3-7 red", "3-9 red", "12-20 red"}));
    EXPECT_EQ(r.err, "pairs seen: 3\n");
}

TEST_F(KeyboardCli, RepeatedReportsToggleOnTheSecondGeneration) {
    auto r = zjig({"--port", "sim:jig2,kbd=3-7/_3/3-7/3-7", "keyboard", "scan", "--seconds", "0.5",
                   "--buzzer-off"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(outputLines(r.out), (Lines{"3-7 red", "3-7 yellow", "3-7 red"}));
}

TEST_F(KeyboardCli, JsonGivesOneObjectPerChange) {
    auto r =
        zjig({"--port", "sim:jig3,kbd=1-32", "keyboard", "scan", "--seconds", "0.3", "--json"});
    EXPECT_EQ(r.code, 0) << r.err;
    const Lines out = outputLines(r.out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].rfind("{\"i\":1,\"j\":32,\"colour\":\"red\",\"ms\":", 0), 0u) << out[0];
    EXPECT_EQ(out[0].back(), '}');
}

TEST_F(KeyboardCli, FailuresSayWhyOnStandardErrorWithTheirExitStatus) {
    struct Case {
        const char* port;
        int code;
        const char* firstErrorLine;
    };
    for (const Case& c :
         {Case{"sim:silent", 3, "error: Device not found"},
          Case{"sim:jig2=V42", 3, "error: Please update FW"},
          Case{"sim:jig3,kbd-silent-after=2", 1, "error: Device not found"},
          Case{"sim:jig3,kbd=5-6,kbd-mute-buzzer=1", 1, "error: Device not found"}}) {
        SCOPED_TRACE(c.port);
        auto r = zjig({"--port", c.port, "keyboard", "scan", "--seconds", "3"});
        EXPECT_EQ(r.code, c.code);
        const Lines err = outputLines(r.err);
        ASSERT_FALSE(err.empty());
        EXPECT_EQ(err[0], c.firstErrorLine);
    }
}

TEST_F(KeyboardCli, BadSecondsIsAUsageError) {
    auto r = zjig({"--port", "sim", "keyboard", "scan", "--seconds", "-1"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("error: ", 0), 0u) << r.err;
}

}  // namespace
}  // namespace zjig
