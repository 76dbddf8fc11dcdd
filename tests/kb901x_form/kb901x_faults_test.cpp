// The ENE session against a scripted JIG: the failures the simulated JIG does
// not offer. Each ends the operation within its bound, sends the failure
// byte, lets the link go and keeps what the file holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "ene_test_support.h"
#include "fake_ene_jig.h"
#include "kb901x_form/kb901x_session.h"
#include "support/mode_context.h"
#include "support/recorder_port.h"

namespace zjig::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kMemo = "KB901X_Memo";
constexpr milliseconds kShortWait{200};

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}
bool hasLineStarting(const std::vector<std::string>& lines, const std::string& start) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const auto& l) { return l.rfind(start, 0) == 0; });
}

class EneFaults : public ::testing::Test {
  protected:
    using Setup = std::function<void(FakeEneJig::Options&)>;
    // The motherboard database is read from `dir` when a test wrote one there.
    void start(const Setup& setup, std::optional<milliseconds> timeout = kShortWait) {
        session.reset();
        FakeEneJig::Options options;
        setup(options);
        jig = std::make_unique<FakeEneJig>(std::move(options));
        session = std::make_unique<Kb901xSession>(modeContext(jig->env(timeout), ui, dir.file("")));
        session->FormCreate();
    }
    void finish() { ASSERT_TRUE(session->waitIdle(20s)); }
    std::vector<std::string> memo() const { return ui.memo(kMemo); }

    TempDir dir;
    RecorderPort ui;
    std::unique_ptr<FakeEneJig> jig;
    std::unique_ptr<Kb901xSession> session;
};

TEST_F(EneFaults, ReadWithMoreThanABlockQueuedStopsAndKeepsTheBlocksBefore) {
    start([](auto& o) { o.floodReadBlock = 3; });
    const std::string file = dir.file("dump.bin");
    ui.queueFile(file);
    session->KB901X_READClick();
    finish();

    EXPECT_EQ(readAll(file).size(), 2 * 256u);
    const auto lines = memo();
    EXPECT_TRUE(hasLine(lines, "Block 3 of 512: the programmer sent more bytes than expected"));
    EXPECT_TRUE(hasLine(lines, "Lost Communication with ENE or timeout!"));
    EXPECT_TRUE(endsWith(jig->hostBytes(), {'X', 'O'}));
    EXPECT_EQ(session->lastOperationSucceeded(), false);
    EXPECT_EQ(jig->openConnections(), 0);
    EXPECT_FALSE(session->busy());
    EXPECT_EQ(ui.enabled("KB901X_WRITE"), true);
    EXPECT_EQ(ui.enabled("EXIT_KB901X"), true);
}

TEST_F(EneFaults, JigSilentInTheMiddleOfAWriteEndsAtTheBound) {
    for (bool jig3 : {true, false}) {
        SCOPED_TRACE(jig3 ? "jig3" : "jig2");
        ui.clear();
        start([&](auto& o) {
            o.jig3 = jig3;
            o.silentAfterWrittenBlock = 2;
        });
        const std::string file = dir.file("image.bin");
        writeAll(file, patternImage(131072, 1));
        ui.queueFile(file);
        session->KB901X_WRITEClick();
        finish();

        const auto lines = memo();
        EXPECT_TRUE(hasLine(lines, "Block 2 of 512: no answer from the programmer within 200 ms"));
        EXPECT_TRUE(hasLine(lines, "!!! Lost Communication with ENE or timeout !!! "));
        EXPECT_TRUE(hasLineStarting(lines, "Current time  "));
        EXPECT_TRUE(endsWith(jig->hostBytes(), {'X', 'O'}));
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        EXPECT_EQ(jig->openConnections(), 0);
        EXPECT_EQ(ui.enabled("KB901X_READ"), true);
    }
}

// Second generation: the JIG's four result bytes, low byte first, against the
// sums of an all-0xFF image (sum 0x0000, CRC16 0x9401).
TEST_F(EneFaults, SecondGenerationSumAnswerIsReadLowByteFirst) {
    struct Case {
        std::vector<uint8_t> answer;
        const char* sumLine;
        const char* crcLine;
        bool ok;
    } cases[] = {
        {{0x00, 0x00, 0x01, 0x94}, "SUMM FLASH KB90XX -> 0000", "CRC16 FLASH KB90XX-> 9401", true},
        {{0x34, 0x12, 0x78, 0x56}, "SUMM FLASH KB90XX -> 1234", "CRC16 FLASH KB90XX-> 5678", false},
        {{0x00, 0x00, 0x94, 0x01}, "SUMM FLASH KB90XX -> 0000", "CRC16 FLASH KB90XX-> 0194", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.crcLine);
        ui.clear();
        start([&](auto& o) {
            o.jig3 = false;
            o.sumAnswer = c.answer;
        });
        const std::string file = dir.file("ff.bin");
        writeAll(file, std::vector<uint8_t>(131072, 0xFF));
        ui.queueFile(file);
        session->KB901X_WRITEClick();
        finish();

        const auto lines = memo();
        EXPECT_TRUE(hasLine(lines, "SUMM of data from a file  -> 0000"));
        EXPECT_TRUE(hasLine(lines, "CRC16 of data from a file -> 9401"));
        EXPECT_TRUE(hasLine(lines, c.sumLine));
        EXPECT_TRUE(hasLine(lines, c.crcLine));
        EXPECT_EQ(hasLine(lines, "Writing and verify is OK !"), c.ok);
        EXPECT_EQ(hasLine(lines, "!!! Data is written incorrectly !!! "), !c.ok);
        EXPECT_TRUE(endsWith(jig->hostBytes(), {'S', uint8_t(c.ok ? 'I' : 'O')}));
        EXPECT_EQ(session->lastOperationSucceeded(), c.ok);
    }
}

// Bytes between the sum ticks are skipped, but a stream of them does not
// keep the verification waiting for ever.
TEST_F(EneFaults, NoiseBetweenSumTicksIsSkippedUpToALimit) {
    struct Case {
        int noisePerTick;
        bool ok;
    } cases[] = {{0, true}, {1, true}, {3, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.noisePerTick);
        ui.clear();
        start([&](auto& o) {
            o.jig3 = false;
            o.sumNoisePerTick = c.noisePerTick;
        });
        const std::string file = dir.file("image.bin");
        writeAll(file, patternImage(131072, 7));
        ui.queueFile(file);
        session->KB901X_WRITEClick();
        finish();
        const auto lines = memo();
        EXPECT_EQ(hasLine(lines, "Writing and verify is OK !"), c.ok);
        EXPECT_EQ(hasLine(lines, "!!! Lost Communication with ENE or timeout !!! "), !c.ok);
        EXPECT_EQ(session->lastOperationSucceeded(), c.ok);
        EXPECT_EQ(jig->flash(), patternImage(131072, 7));
    }
}

TEST_F(EneFaults, ApplyStopsWhenTheCpldFallsSilent) {
    writeFile(dir.file(kEneDatabaseName), "Board KSO3=1 KSI4=2 KSI5=3 KSI6=4 KSI7=9\n");
    start([](auto& o) { o.cpldAnswers = 5; });
    session->ComboBox_KB901XSelect("Board KSO3=1 KSI4=2 KSI5=3 KSI6=4 KSI7=9");
    session->ComboBox_KB901X_FFCSelect("18 pin");
    session->SpeedButton1Click();

    EXPECT_EQ(jig->cpldCommands(), 6);  // the reset, four writes answered, the sixth not
    EXPECT_TRUE(hasLine(memo(), "(WR_ALTERA_REG): no answer from the programmer within 200 ms"));
    EXPECT_FALSE(hasLine(memo(), "Settings sent successfully!"));
    EXPECT_NE(jig->hostBytes().back(), 'I');
    EXPECT_FALSE(session->routingApplied());
    EXPECT_EQ(session->lastOperationSucceeded(), false);
    EXPECT_EQ(jig->openConnections(), 0);
}

// A third-generation JIG answers the byte that ends a press; that answer is
// taken before the link is let go, or it would land in the next identity.
TEST_F(EneFaults, AnswerToTheClosingResultByteIsTakenBeforeTheLinkCloses) {
    writeFile(dir.file(kEneDatabaseName), "Board KSO3=1 KSI4=2 KSI5=3 KSI6=4 KSI7=9\n");
    writeAll(dir.file("image.bin"), patternImage(131072, 2));
    struct Case {
        const char* name;
        std::function<void(Kb901xSession&)> press;
        bool ok;
    } cases[] = {
        {"apply",
         [](Kb901xSession& s) {
             s.ComboBox_KB901XSelect("Board KSO3=1 KSI4=2 KSI5=3 KSI6=4 KSI7=9");
             s.ComboBox_KB901X_FFCSelect("18 pin");
             s.SpeedButton1Click();
         },
         true},
        {"read", [](Kb901xSession& s) { s.KB901X_READClick(); }, true},
        {"write", [](Kb901xSession& s) { s.KB901X_WRITEClick(); }, true},
        {"read refused", [](Kb901xSession& s) { s.KB901X_READClick(); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.clear();
        start([&](auto& o) { o.version = c.ok ? 0x0C : 0xFF; });
        ui.queueFile(dir.file(std::string(c.name) == "write" ? "image.bin" : "dump.bin"));
        c.press(*session);
        finish();
        EXPECT_EQ(session->lastOperationSucceeded(), c.ok);
        EXPECT_EQ(jig->openConnections(), 0);
        EXPECT_EQ(jig->unreadAtClose(), 0);
    }
}

// Quitting in the middle of a read: the read stops at once although the JIG's
// silence would only end it at the (long) user limit; the file keeps the
// blocks read, and the link is let go.
TEST_F(EneFaults, ShutdownAndDestructionStopARunningRead) {
    for (bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destructor" : "shutdown");
        ui.clear();
        start([](auto& o) { o.silentAfterReadBlock = 3; }, 600s);
        const std::string file = dir.file("dump.bin");
        ui.queueFile(file);
        session->KB901X_READClick();
        ASSERT_TRUE(session->busy());
        ASSERT_TRUE(eventually([&] { return ui.gauge("CGauge_KB901X") == 3 * 64; }));

        const auto before = std::chrono::steady_clock::now();
        if (destroy)
            session.reset();
        else
            session->shutdown();
        EXPECT_LT(std::chrono::steady_clock::now() - before, 60s);

        EXPECT_EQ(readAll(file).size(), 3 * 256u);
        EXPECT_TRUE(endsWith(jig->hostBytes(), {'X', 'O'}));
        EXPECT_EQ(jig->openConnections(), 0);
        EXPECT_TRUE(hasLineStarting(memo(), "Block 3 of 512: stopped"));
        if (session) {
            EXPECT_FALSE(session->busy());
            EXPECT_EQ(session->lastOperationSucceeded(), false);
        }
    }
}

}  // namespace
}  // namespace zjig::test
