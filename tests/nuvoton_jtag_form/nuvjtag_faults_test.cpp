// The Nuvoton JTAG session against a scripted JIG, for what the simulated
// JIG does not do: an answer that arrives in parts, an answer cut short, a
// JIG that identifies itself and then says nothing.
#include <gtest/gtest.h>

#include <deque>
#include <utility>

#include "nuvjtag_test_support.h"
#include "support/fake_jig.h"

namespace zjig::test {
namespace {

constexpr milliseconds kWait{200};

// Answers each command the PC writes with the parts `answer` gives: the
// first part at once, each further part when the PC waits for more.
struct PartsJigState : FakeJigState {
    std::function<std::vector<Bytes>(const Bytes& command)> answer;
    Bytes host;
    std::deque<Bytes> later;

    void received(const uint8_t* data, uint32_t n) {
        const Bytes command(data, data + n);
        host.insert(host.end(), command.begin(), command.end());
        auto parts = answer(command);
        for (size_t i = 0; i < parts.size(); ++i) {
            if (i == 0)
                put(parts[0]);
            else
                later.push_back(parts[i]);
        }
    }
    bool arrive() {
        if (later.empty()) return false;
        put(later.front());
        later.pop_front();
        return true;
    }
    void closing() { later.clear(); }
};

class PartsJig : public FakeJig<PartsJigState> {
  public:
    using Answer = std::function<std::vector<Bytes>(const Bytes& command)>;

    explicit PartsJig(Answer answer) : FakeJig("scripted Nuvoton JIG") {
        state_->answer = std::move(answer);
    }
    Bytes hostBytes() {
        return locked([](PartsJigState& s) { return std::exchange(s.host, {}); });
    }
};

// A third-generation JIG that answers 'G' to everything but the ID shift,
// whose answer comes in the parts given.
PartsJig::Answer jigWithId(std::vector<Bytes> idParts) {
    return [idParts](const Bytes& c) -> std::vector<Bytes> {
        if (c == bytesOf("B")) return {bytesOf("M328_EPM240_v16\r\n")};
        if (c.size() == 6 && c[0] == 'J' && c[1] == 'D') return idParts;
        return {{'G'}};
    };
}

class NuvFaults : public NuvSessionFixture {
  protected:
    void start(PartsJig::Answer answer) {
        jig = std::make_unique<PartsJig>(std::move(answer));
        openOn(jig->devices(), kWait, dir.file("empty/"));
    }
    void TearDown() override { session.reset(); }
    std::unique_ptr<PartsJig> jig;
};

TEST_F(NuvFaults, AnIdInPartsIsReadWhole) {
    start(jigWithId({{0x1F, 0x20}, {0xE2}, {0x0F}}));
    check();
    const auto lines = memo();
    EXPECT_TRUE(hasLine(lines, "Read NUVOTON ID 0FE2201F"));
    // It went on to the script (there is none in this folder).
    EXPECT_TRUE(hasLine(lines, "Break! Open file (.vss) error or not found!"));
}

TEST_F(NuvFaults, AnIdCutShortIsNoIdAndNoLeftoverForTheNextAnswer) {
    start(jigWithId({{0x1F, 0x20, 0xE2}}));
    check();
    const auto lines = memo();
    EXPECT_TRUE(hasLine(lines, "DR_SHIFT_32: no answer from the programmer within 200 ms"));
    EXPECT_FALSE(hasLineStarting(lines, "Read NUVOTON ID"));
    EXPECT_FALSE(hasLineStarting(lines, "Sending start"));
    const Bytes expected = bytesOf("B") + Bytes{0x4A, 0x58, 0x4A, 0x31, 0x4A, 0x44, 0xFF,
                                                0xFF, 0xFF, 0xFF, 0x4A, 0x53, 0x4F};
    EXPECT_EQ(jig->hostBytes(), expected);
    EXPECT_EQ(ui.enabled("BitBtn_SETTINGS"), true);
    EXPECT_EQ(ui.enabled("BitBtn_NUV_JTAG_RD"), false);
    EXPECT_EQ(session->lastOperationSucceeded(), false);
    EXPECT_EQ(jig->openConnections(), 0);
}

TEST_F(NuvFaults, AJigSilentAfterItsIdentityEndsTheSettingsAtTheBound) {
    start([](const Bytes& c) -> std::vector<Bytes> {
        if (c == bytesOf("B")) return {bytesOf("M328_EPM240_v16\r\n")};
        return {};
    });
    const auto started = std::chrono::steady_clock::now();
    settings();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
    const auto lines = memo();
    EXPECT_EQ(lines.back(), "RESET_ALTERA: no answer from the programmer within 200 ms");
    EXPECT_FALSE(hasLine(lines, "Settings for NUVOTON send."));
    EXPECT_EQ(jig->hostBytes(), bytesOf("BSR"));
    EXPECT_EQ(ui.enabled("BitBtn_CONNECT"), false);
    EXPECT_EQ(ui.enabled("BitBtn_SETTINGS"), true);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(session->lastOperationSucceeded(), false);
    EXPECT_EQ(jig->openConnections(), 0);
}

}  // namespace
}  // namespace zjig::test
