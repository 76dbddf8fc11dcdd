// The ITE session against a JIG whose answers the test writes: answers the
// simulated JIG never gives, a flooded block, and that every command goes
// out in one write.
#include <gtest/gtest.h>

#include <algorithm>

#include "ite/ite_session.h"
#include "ite_test_support.h"
#include "scripted_ite_jig.h"
#include "support/mode_context.h"
#include "support/recorder_port.h"
#include "support/temp_dir.h"

namespace zjig::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kEn = "ITE_Memo_ENG";
constexpr const char* kRu = "ITE_Memo1";

class IteFaults : public ::testing::Test {
  protected:
    void open(ScriptedIteJig::Responder responder,
              std::optional<milliseconds> timeout = std::nullopt) {
        session.reset();
        jig = std::make_unique<ScriptedIteJig>(std::move(responder));
        ui.clear();
        session = std::make_unique<IteSession>(modeContext(jig->env(timeout), ui, dir.file("")));
        session->FormCreate();
        ui.clear();
    }
    std::vector<std::string> en() const { return ui.memo(kEn); }
    bool hasLine(const std::string& line) const {
        const auto lines = en();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    TempDir dir;
    RecorderPort ui;
    std::unique_ptr<ScriptedIteJig> jig;
    std::unique_ptr<IteSession> session;
};

TEST_F(IteFaults, OnlyOToTheConnectCountsAndOnlyEToAnAddressFails) {
    struct Case {
        uint8_t toConnect, toAddress;
        bool ok;
    } cases[] = {{'o', 'x', true}, {'x', 'o', false}, {'o', 'e', false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, char(c.toConnect)) + char(c.toAddress));
        open(goodJig3([&](const Bytes& cmd) -> std::optional<Bytes> {
            if (cmd == Bytes{'T', 'T'}) return Bytes{c.toConnect};
            if (cmd.size() == 3 && cmd[1] == 'A') return Bytes{c.toAddress};
            return std::nullopt;
        }));
        session->ITE_CHECK_CON_BitBtnClick();
        EXPECT_EQ(session->lastOperationSucceeded(), c.ok);
        const std::string label = c.toConnect != 'o' ? "(00)" : "(01)";
        EXPECT_EQ(hasLine("Received ITE ID  -> 1212 rev -> 12"), c.ok);
        EXPECT_EQ(hasLine("ITE we do not respond, check the connection and settings. MB powered? " +
                          label),
                  !c.ok);
        EXPECT_EQ(jig->writes().back(), Bytes{uint8_t(c.ok ? 'I' : 'O')});
    }
}

TEST_F(IteFaults, ARefusedAddressSendsNoDataCommand) {
    open(goodJig3([](const Bytes& cmd) -> std::optional<Bytes> {
        if (cmd == Bytes{'T', 'A', 0x04}) return Bytes{'e'};
        return std::nullopt;
    }));
    ui.queueFile(dir.file("dump.bin"));
    session->ITE_READ_BitBtnClick();
    ASSERT_TRUE(session->waitIdle(10s));
    const auto writes = jig->writes();
    const auto refused = std::find(writes.begin(), writes.end(), Bytes{'T', 'A', 0x04});
    ASSERT_NE(refused, writes.end());
    EXPECT_EQ(*(refused + 1), (Bytes{'O'}));
    EXPECT_TRUE(
        hasLine("ITE we do not respond, check the connection and settings. MB powered? (R003)"));
}

TEST_F(IteFaults, EveryCommandGoesOutInOneWrite) {
    open(goodJig3());
    ui.queueFile(dir.file("dump.bin"));
    session->ITE_READ_BitBtnClick();
    ASSERT_TRUE(session->waitIdle(10s));
    ASSERT_EQ(session->lastOperationSucceeded(), true);
    auto writes = jig->writes();
    EXPECT_EQ(writes[1], (Bytes{'T', 'T'}));
    EXPECT_EQ(std::count(writes.begin(), writes.end(), Bytes{'T', 'r'}), 512);
    EXPECT_EQ(readAllBytes(dir.file("dump.bin")), Bytes(kIteFlash, 0x5A));

    const Bytes image = iteImage(kIteFlash, 5);
    writeAllBytes(dir.file("image.bin"), image);
    ui.queueFile(dir.file("image.bin"));
    session->ITE_WRITE_BitBtnClick();
    ASSERT_TRUE(session->waitIdle(10s));
    ASSERT_EQ(session->lastOperationSucceeded(), true);
    writes = jig->writes();
    EXPECT_NE(std::find(writes.begin(), writes.end(), Bytes{'T', 'Y', 0, 0, 0}), writes.end());
    int chunks = 0;
    for (const Bytes& w : writes) {
        if (w.size() < 2 || w[0] != 'T' || w[1] != 'w') continue;
        ASSERT_EQ(w.size(), 130u);
        EXPECT_TRUE(std::equal(w.begin() + 2, w.end(), image.begin() + chunks * 128));
        ++chunks;
    }
    EXPECT_EQ(chunks, 1024);
}

TEST_F(IteFaults, MoreThanABlockIsAnErrorNotAnotherBlock) {
    open(goodJig3([](const Bytes& cmd) -> std::optional<Bytes> {
        if (cmd == Bytes{'T', 'r'}) return Bytes(300, 'o');
        return std::nullopt;
    }));
    ui.queueFile(dir.file("dump.bin"));
    session->ITE_READ_BitBtnClick();
    ASSERT_TRUE(session->waitIdle(10s));
    EXPECT_TRUE(hasLine("Block 1: the programmer sent more bytes than expected"));
    EXPECT_TRUE(hasLine("ERROR reading block ->1"));
    EXPECT_EQ(ui.memo(kRu).back().rfind("Текущее время  ", 0), 0u);
    EXPECT_EQ(jig->writes().back(), Bytes{'O'});
    EXPECT_EQ(session->lastOperationSucceeded(), false);
}

TEST_F(IteFaults, AJigSilentAfterTheEraseCommandsEndsTheWriteWithinTheTimeout) {
    open(goodJig3([](const Bytes& cmd) -> std::optional<Bytes> {
             if (cmd == Bytes{'T', 'Y', 0, 0, 0}) return Bytes{};
             return std::nullopt;
         }),
         200ms);
    writeAllBytes(dir.file("image.bin"), iteImage(kIteFlash, 5));
    ui.queueFile(dir.file("image.bin"));
    session->ITE_WRITE_BitBtnClick();
    ASSERT_TRUE(session->waitIdle(10s));
    EXPECT_TRUE(hasLine("(Y): no answer from the programmer within 200 ms"));
    EXPECT_TRUE(hasLine("Protocol error while sending addresses in a flash."));
    EXPECT_EQ(jig->writes().back(), Bytes{'O'});
}

}  // namespace
}  // namespace zjig::test
