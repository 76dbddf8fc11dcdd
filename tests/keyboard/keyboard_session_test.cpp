// The keyboard matrix tester's session against the simulated JIG, on both
// generations: what each answer paints, the bytes the PC sends, hide mode,
// Clear, the ways a scan ends and how it lets the link go.
#include "keyboard/keyboard_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "jiglink/backends/backends.h"
#include "kb901x_form/ene_test_support.h"
#include "keyboard/keyboard_answer.h"
#include "keyboard/keyboard_commands.h"
#include "keyboard/keyboard_controls.h"
#include "keyboard_test_support.h"
#include "sim/sim_jig.h"
#include "support/mode_context.h"
#include "support/recorder_port.h"

namespace zjig::test {
namespace {

using namespace std::chrono_literals;
using namespace keyboard;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

std::string rgb(Rgb c) {
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

class KeyboardScan : public ::testing::Test {
  protected:
    // The session goes on the window thread, where its watchdog ticks.
    void TearDown() override {
        window.call([&] { session.reset(); });
    }
    void open(const std::string& options, std::optional<milliseconds> timeout = std::nullopt) {
        window.call([&] { session.reset(); });
        std::string error;
        sim = std::shared_ptr<sim::SimDevice>(sim::SimDevice::create(options, error));
        ASSERT_TRUE(sim) << error;
        devices = std::make_unique<DeviceList>();
        devices->addPort(makeSimPort(sim, options));
        ui.clear();
        ModeContext context = modeContext(LinkEnv{devices.get(), timeout}, ui);
        context.windowThread = &window.loop;
        session = std::make_unique<KeyboardSession>(context);
        window.call([&] { session->FormCreate(); });
    }
    sim::SimJig& jig() { return sim->jig(); }

    // START SCAN (or STOP) on the window thread.
    void press() {
        window.call([&] { session->START_SCANClick(); });
    }
    void start() {
        press();
        ASSERT_TRUE(session->busy()) << "the scan did not start";
    }
    // Answers 1..n have been handled once the PC has asked for scan n + 1.
    void handled(uint64_t n) {
        ASSERT_TRUE(eventually([&] { return jig().keyScans() > n; })) << "scan " << n + 1;
    }
    void stop() {
        press();
        ASSERT_TRUE(session->waitIdle(20s)) << "the scan did not end";
    }
    // The colours a shape was painted, in order.
    std::vector<std::string> paints(int key) const {
        std::vector<std::string> out;
        const std::string prefix = "colour " + shapeName(key) + " ";
        for (const auto& call : ui.calls())
            if (call.rfind(prefix, 0) == 0) out.push_back(call.substr(prefix.size()));
        return out;
    }
    size_t paintCount() const {
        const auto calls = ui.calls();
        return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), [](const auto& c) {
            return c.rfind("colour Shape", 0) == 0;
        }));
    }
    std::string status() const { return ui.text(kStatusLabel).value_or(""); }

    WindowThread window;
    RecorderPort ui;
    std::shared_ptr<sim::SimDevice> sim;
    std::unique_ptr<DeviceList> devices;
    std::unique_ptr<KeyboardSession> session;
};

const std::string kRed = rgb(kReported), kYellow = rgb(kReportedAgain), kBlack = rgb(kHidden),
                  kAqua = rgb(kNotReported);

// --- one generation at a time ---

class BothGenerations : public KeyboardScan, public testing::WithParamInterface<const char*> {
  protected:
    bool jig3() const { return std::string(GetParam()) == "jig3"; }
    uint8_t firstScan() const { return jig3() ? 'U' : 'u'; }
};

INSTANTIATE_TEST_SUITE_P(Keyboard, BothGenerations, testing::Values("jig3", "jig2"));

TEST_P(BothGenerations, APairReportedThreeTimesShowsRedYellowRed) {
    open(GetParam());
    for (int k = 0; k < 3; ++k) jig().queueKeyScan({{3, 7}});
    start();
    EXPECT_EQ(status(), "Ready to work");
    EXPECT_EQ(ui.colour(kStatusLabel), kStatusReadyColour);
    EXPECT_EQ(ui.text(kStartButton), "STOP");
    EXPECT_EQ(ui.enabled(kExitButton), false);
    EXPECT_EQ(ui.enabled(kHideBox), true);
    handled(3);
    stop();
    EXPECT_EQ(paints(71), (std::vector<std::string>{kRed, kYellow, kRed}));
    EXPECT_EQ(paintCount(), 3u);
    EXPECT_EQ(session->pairsSeen(), 1);
    EXPECT_EQ(session->lastOperationSucceeded(), std::optional<bool>(true));
}

TEST_P(BothGenerations, StopEndsAfterTheNextCompleteAnswer) {
    open(GetParam());
    jig().queueKeyScan({{3, 7}, {3, 9}, {12, 20}});
    start();
    handled(2);
    stop();
    const Bytes wire = jig().takeHostBytes();
    ASSERT_GE(wire.size(), 4u);
    EXPECT_EQ(wire[0], 'B');
    EXPECT_EQ(wire[1], firstScan());
    // The first answer changed shapes: the buzzer, then a scan per answer.
    EXPECT_EQ(wire[2], 'I');
    const Bytes scans(wire.begin() + 3, wire.end() - (jig3() ? 0 : 1));
    EXPECT_TRUE(std::all_of(scans.begin(), scans.end(), [](uint8_t b) { return b == 'U'; }));
    if (!jig3()) {
        EXPECT_EQ(wire.back(), 'Q');
    }
    for (int key : {71, 73, 372}) EXPECT_EQ(ui.colour(shapeName(key)), kReported) << key;

    EXPECT_EQ(status(), "Press start scan");
    EXPECT_EQ(ui.colour(kStatusLabel), kStatusProblemColour);
    EXPECT_EQ(ui.text(kStartButton), "START SCAN");
    EXPECT_EQ(ui.enabled(kExitButton), true);
    EXPECT_EQ(ui.checked(kBuzzerBox), false);
    EXPECT_EQ(ui.checked(kHideBox), false);
    EXPECT_EQ(ui.enabled(kHideBox), false);
    EXPECT_FALSE(sim->isOpen());
}

TEST_P(BothGenerations, AnAnswerOfTheEndMarkAloneChangesNothing) {
    open(GetParam());
    start();
    handled(3);
    stop();
    const Bytes wire = jig().takeHostBytes();
    EXPECT_EQ(std::count(wire.begin(), wire.end(), 'I'), 0);
    EXPECT_EQ(wire[2], 'U');
    EXPECT_EQ(paintCount(), 0u);
}

TEST_P(BothGenerations, TheBuzzerSoundsOnlyForAnAnswerThatChangedAShapeAndNotWhenOff) {
    open(GetParam());
    jig().queueKeyScan({{1, 2}});
    jig().queueKeyScanBytes({62, 0, 40, 38});  // nothing with a shape
    start();
    handled(2);
    window.call([&] { session->Buzzer_boxClick(true); });
    jig().queueKeyScan({{1, 3}});
    const uint64_t queuedAt = jig().keyScans();
    handled(queuedAt + 2);
    stop();
    EXPECT_EQ(ui.colour("Shape3"), kReported);
    EXPECT_EQ(ui.colour("Shape8"), std::nullopt);  // pins 0 and 40 did not reach it
    const Bytes wire = jig().takeHostBytes();
    EXPECT_EQ(std::count(wire.begin(), wire.end(), 'I'), 1);
    EXPECT_EQ(wire[2], 'I');
    // The box is unticked again by the scan's end.
    EXPECT_EQ(ui.checked(kBuzzerBox), false);
}

TEST_P(BothGenerations, HiddenPairsStayBlackUntilHideCurrentIsCleared) {
    open(GetParam());
    start();
    handled(1);
    window.call([&] { session->CheckBox_HIDEClick(true); });
    jig().queueKeyScan({{5, 6}, {5, 9}});
    jig().queueKeyScan({{5, 6}, {5, 9}, {7, 8}});
    const uint64_t at = jig().keyScans();
    handled(at + 2);
    EXPECT_EQ(paints(134), std::vector<std::string>{kBlack});
    EXPECT_EQ(paints(137), std::vector<std::string>{kBlack});
    EXPECT_EQ(ui.colour("Shape200"), kReported);  // (7,8) still toggles
    // The hidden pairs alone: nothing changes, no buzzer.
    jig().takeHostBytes();
    jig().queueKeyScan({{5, 6}, {5, 9}});
    handled(jig().keyScans() + 1);
    Bytes wire = jig().takeHostBytes();
    EXPECT_EQ(std::count(wire.begin(), wire.end(), 'I'), 0);
    EXPECT_EQ(paints(134).size(), 1u);

    window.call([&] { session->CheckBox_HIDEClick(false); });
    jig().queueKeyScan({{5, 6}});
    handled(jig().keyScans() + 1);
    stop();
    EXPECT_EQ(paints(134), (std::vector<std::string>{kBlack, kRed}));
    EXPECT_EQ(paints(137), std::vector<std::string>{kBlack});
    EXPECT_EQ(session->pairsSeen(), 3);
}

// --- faults: the scan ends after the watchdog's time, sending nothing more ---

struct FaultCase {
    const char* options;
    uint8_t lastByte;  // the last byte the PC sent
    std::optional<milliseconds> timeout;
};

class ScanFault : public KeyboardScan, public testing::WithParamInterface<FaultCase> {};

TEST_P(ScanFault, EndsWithDeviceNotFoundAfterTheWatchdog) {
    const FaultCase& c = GetParam();
    open(c.options, c.timeout);
    const auto limit = c.timeout.value_or(1000ms);
    const auto started = Clock::now();
    start();
    ASSERT_TRUE(session->waitIdle(20s));
    const auto took = Clock::now() - started;
    EXPECT_GE(took, limit - 5ms);
    EXPECT_LT(took, limit + 3s);  // generous: the machine is shared
    EXPECT_EQ(status(), "Device not found");
    EXPECT_EQ(session->lastOperationSucceeded(), std::optional<bool>(false));
    EXPECT_EQ(ui.text(kStartButton), "START SCAN");
    EXPECT_EQ(ui.enabled(kExitButton), true);
    EXPECT_EQ(ui.enabled(kHideBox), false);
    const Bytes wire = jig().takeHostBytes();
    ASSERT_FALSE(wire.empty());
    EXPECT_EQ(wire.back(), c.lastByte);
    EXPECT_FALSE(sim->isOpen());
}

INSTANTIATE_TEST_SUITE_P(Keyboard, ScanFault,
                         testing::Values(FaultCase{"jig3,kbd-silent-after=2", 'U', std::nullopt},
                                         FaultCase{"jig2,kbd-silent-after=2", 'U', std::nullopt},
                                         FaultCase{"jig3,kbd-cut=1,kbd=3-7", 'U', std::nullopt},
                                         FaultCase{"jig2,kbd-cut=2", 'U', std::nullopt},
                                         FaultCase{"jig3,kbd=3-7,kbd-mute-buzzer=1", 'I',
                                                   std::nullopt},
                                         FaultCase{"jig3,kbd-silent-after=1", 'U', 300ms}));

TEST_F(KeyboardScan, AnAnswerLongerThanItsBufferIsABrokenLink) {
    open("jig3");
    jig().queueKeyScanBytes(Bytes(kAnswerBufferSize + 1, 62));
    start();
    ASSERT_TRUE(session->waitIdle(20s));
    EXPECT_EQ(status(), "Device not found");
    EXPECT_EQ(paintCount(), 0u);
}

TEST_F(KeyboardScan, OneAnswerPerScanWhateverFollowsItsEndMark) {
    open("jig3");
    // A full-size answer is taken; what comes after an end mark is dropped.
    Bytes full(kAnswerBufferSize - 1, 62);
    full.push_back('&');
    jig().queueKeyScanBytes(full);
    jig().queueKeyScanBytes({62, 3, 7, 38, 62, 3, 9, 38});
    start();
    handled(3);
    stop();
    EXPECT_EQ(status(), "Press start scan");
    EXPECT_EQ(paints(71), std::vector<std::string>{kRed});
    EXPECT_TRUE(paints(73).empty());
}

TEST_F(KeyboardScan, ATickForAnAnswerAlreadyHandledDoesNotEndTheScan) {
    open("jig3");
    start();
    handled(2);
    // The watchdog's tick arrives late, just after an answer was handled.
    window.call([&] { session->Timer_KEYBTimer(); });
    const uint64_t at = jig().keyScans();
    handled(at + 3);
    EXPECT_TRUE(session->busy());
    stop();
    EXPECT_EQ(session->lastOperationSucceeded(), std::optional<bool>(true));
}

TEST_F(KeyboardScan, ClearDuringAScanPaintsEveryShapeAquaInPairOrder) {
    open("jig3");
    jig().queueKeyScan({{3, 7}});
    start();
    handled(1);
    window.call([&] { session->ClearClick(); });
    ASSERT_TRUE(eventually([&] { return paints(992).size() == 1; }));
    stop();
    std::vector<std::string> cleared;
    for (const auto& call : ui.calls())
        if (call.rfind("colour Shape", 0) == 0 && call.find(kAqua) != std::string::npos)
            cleared.push_back(call.substr(7, call.find(' ', 7) - 7));
    ASSERT_EQ(cleared.size(), static_cast<size_t>(kPairCount));
    EXPECT_EQ(cleared.front(), "Shape2");
    EXPECT_EQ(cleared[1], "Shape3");
    EXPECT_EQ(cleared[31], "Shape35");  // (2,3) after (1,32)
    EXPECT_EQ(cleared.back(), "Shape992");
    EXPECT_EQ(session->pairsSeen(), 0);
}

TEST_F(KeyboardScan, ClearWhileIdleIsHandledWhenTheNextScanStarts) {
    open("jig3");
    jig().queueKeyScan({{3, 7}});
    start();
    handled(1);
    stop();
    window.call([&] { session->ClearClick(); });
    EXPECT_EQ(paints(71), std::vector<std::string>{kRed});
    // The next scan clears first, then shows its first answer.
    jig().queueKeyScan({{3, 7}});
    start();
    handled(jig().keyScans());
    stop();
    EXPECT_EQ(paints(71), (std::vector<std::string>{kRed, kAqua, kRed}));
}

TEST_F(KeyboardScan, NoJigOrForeignFirmwareEndsThePressWithItsStatus) {
    for (const auto& [options, text, result] :
         {std::tuple{"silent", "Device not found", ConnectResult::NoJig},
          std::tuple{"jig2=V42", "Please update FW", ConnectResult::NeedsUpdate}}) {
        SCOPED_TRACE(options);
        open(options);
        press();
        EXPECT_FALSE(session->busy());
        EXPECT_EQ(status(), text);
        EXPECT_EQ(session->lastConnectResult(), result);
        EXPECT_EQ(ui.text(kStartButton), std::nullopt);  // still START SCAN
        EXPECT_FALSE(sim->isOpen());
    }
}

TEST_F(KeyboardScan, ANewPressFindsTheLinkClosedOnceTheScanIsIdle) {
    open("jig2");
    start();
    handled(1);
    press();  // STOP
    // The mode is idle only after its link is closed: a START then cannot
    // reach a link the ending scan still uses.
    while (session->busy()) std::this_thread::yield();
    EXPECT_FALSE(sim->isOpen());
    start();
    handled(jig().keyScans());
    stop();
    const Bytes wire = jig().takeHostBytes();
    const auto q = std::find(wire.begin(), wire.end(), 'Q');
    ASSERT_NE(q, wire.end());
    EXPECT_EQ(*(q + 1), 'B');
    EXPECT_EQ(*(q + 2), 'u');
}

TEST_F(KeyboardScan, HideCurrentClickedWhileAnswersArriveIsSafe) {
    open("jig3,kbd-scan-ms=0");
    start();
    for (int round = 0; round < 200; ++round) {
        jig().queueKeyScan({{1 + round % 30, 32}, {2, 3}});
        window.call([&] { session->CheckBox_HIDEClick(round % 2 == 0); });
    }
    handled(jig().keyScans());
    stop();
    EXPECT_EQ(session->lastOperationSucceeded(), std::optional<bool>(true));
}

TEST_F(KeyboardScan, ClosingStopsTheScanSendsItsLastByteAndClosesTheLink) {
    open("jig2");
    start();
    handled(1);
    session->shutdown();
    EXPECT_FALSE(session->busy());
    EXPECT_FALSE(sim->isOpen());
    EXPECT_EQ(jig().takeHostBytes().back(), 'Q');
}

}  // namespace
}  // namespace zjig::test
