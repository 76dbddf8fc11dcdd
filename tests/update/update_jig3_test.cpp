// The third-generation update against a hand-written ATmega328 bootloader:
// block layout, wake answers, protocol faults, more than one device.
#include "update/update_jig3.h"

#include <gtest/gtest.h>

#include "update/scripted_jig.h"
#include "update/update_fixture.h"

namespace zjig {
namespace {

using test::ScriptedJig;

struct Atmega328 {
    std::string identity = "M328_EPM240_v12";
    // Answers to the first '+' bytes in turn; the last one opens the bootloader.
    std::vector<std::string> wakeAnswers = {"V\x01S1234"};
    std::string goAnswer = "G";
    std::string ackAnswer = "+";

    size_t wakes = 0;
    bool inBoot = false;

    void operator()(ScriptedJig& jig, const std::vector<uint8_t>& chunk) {
        const std::string s(chunk.begin(), chunk.end());
        if (!inBoot) {
            if (s == "B") jig.reply(identity + "\r\n");
            if (s == "+" && wakes < wakeAnswers.size()) {
                jig.reply(wakeAnswers[wakes++]);
                inBoot = wakes == wakeAnswers.size();
            }
            return;
        }
        if (s == "W")
            jig.reply(goAnswer);
        else if (s.size() == kJig3BlockSize)
            jig.reply(ackAnswer);
    }
};

std::vector<uint8_t> pattern(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    return bytes;
}

class ThirdGenerationScripted : public test::UpdateFixture {
  protected:
    void attach(ScriptedJig& jig, const Atmega328& model) {
        jig.setResponder(model);
        addPort(jig.port());
    }
    // What went to the bootloader after the wake: one entry per write.
    std::vector<std::vector<uint8_t>> afterWake(const ScriptedJig& jig) const {
        auto chunks = jig.chunks();
        size_t lastWake = 0;
        for (size_t i = 0; i < chunks.size(); ++i)
            if (chunks[i] == std::vector<uint8_t>{'+'}) lastWake = i + 1;
        return {chunks.begin() + static_cast<long>(lastWake), chunks.end()};
    }

    ScriptedJig jig_;
};

TEST_F(ThirdGenerationScripted, ImageIsSentInBlocksEndingWithPadding) {
    struct Case {
        size_t length;
        size_t blocks;
        int gaugeMax;
    };
    const Case cases[] = {
        {300, 3, 2}, {256, 3, 2}, {100, 1, 0}, {128, 2, 1}, {kJig3ImageSize, 1025, 1024}};
    for (const auto& c : cases) {
        SCOPED_TRACE("file of " + std::to_string(c.length) + " bytes");
        ScriptedJig jig;
        DeviceList devices;
        devices.addPort(jig.port());
        jig.setResponder(Atmega328{});
        ShellConfig config;
        config.env.devices = &devices;
        config.firmwareDir = dir_.string() + "/";
        config.runLogPath = (dir_ / "Start_log.txt").string();
        Shell shell(config, ui_, loop_);
        writeFile("JFW_JIG3.vss", pattern(c.length));
        ui_.clear();

        UpdateHost host = shell.updateHost();
        EXPECT_EQ(UpdateJig3(host), kJig3Ok);
        const auto wire = afterWake(jig);
        ASSERT_EQ(wire.size(), c.blocks * 2 + 1);
        const auto image = pattern(c.length);
        for (size_t b = 0; b < c.blocks; ++b) {
            EXPECT_EQ(wire[2 * b], std::vector<uint8_t>{'W'});
            ASSERT_EQ(wire[2 * b + 1].size(), kJig3BlockSize);
            for (size_t i = 0; i < kJig3BlockSize; ++i) {
                const size_t at = b * kJig3BlockSize + i;
                const uint8_t expected = at < c.length ? image[at] : 0xFF;
                if (wire[2 * b + 1][i] != expected) {
                    ADD_FAILURE() << "block " << b << " byte " << i;
                    break;
                }
            }
        }
        EXPECT_EQ(wire.back(), std::vector<uint8_t>{'X'});
        EXPECT_EQ(ui_.gaugeMax(names::kGaugeUpdate), c.gaugeMax);
        EXPECT_EQ(ui_.gauge(names::kGaugeUpdate), static_cast<int>(c.blocks));
    }
}

TEST_F(ThirdGenerationScripted, SuccessfulUpdateOpensTheModeWindow) {
    writeFile("JFW_JIG3.vss", pattern(300));
    attach(jig_, Atmega328{});
    ASSERT_TRUE(pressStart("ENE KB90XX"));

    EXPECT_EQ(shownWindow_, names::kKb901xWindow);
    auto lines = memo();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[5].rfind("Current time  ", 0), 0u);
    lines.erase(lines.begin() + 5);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Loaded to buffer bytes (dec): 300",
                         "Founded FTDI device, wait answer. (RESET pushed?)",
                         "Readed bytes answer -> 7",
                         "Readed bytes (hex)  -> 560153 31323334",
                         "Bootloader M328 ANSWER_OK",
                         "UPDATE completed successfully.",
                     }));
    const auto log = runLog();
    const auto from = std::find(log.begin(), log.end(), "ReadThread_UPD start ... ");
    ASSERT_NE(from, log.end());
    EXPECT_EQ(std::vector<std::string>(from, log.end()),
              (std::vector<std::string>{"ReadThread_UPD start ... ", "JIG ver3 start update FW",
                                        "Bootloader answer OK", "UPDATE FW successfully.",
                                        "User select -> ENE KB90XX", "Go to application. End."}));
    EXPECT_FALSE(ui_.visible(names::kUpdateWindow));
    EXPECT_EQ(ui_.gauge(names::kGaugeUpdate), 0);
    EXPECT_EQ(count(ui_.messages(), "warning:  Please press the reset button on the JIG!"), 1);
}

TEST_F(ThirdGenerationScripted, BadWakeAnswerIsPurgedAndTheWakeGoesOn) {
    writeFile("JFW_JIG3.vss", pattern(10));
    Atmega328 model;
    model.wakeAnswers = {"S\x01V1234", "V\x02S0000xyz"};
    attach(jig_, model);
    ASSERT_TRUE(pressStart("MEC jtag"));

    EXPECT_EQ(shownWindow_, names::kMecWindow);
    EXPECT_GE(jig_.purges(), 1);
    const auto lines = memo();
    EXPECT_EQ(lines[2], "Readed bytes answer -> 10");
    EXPECT_EQ(lines[3], "Readed bytes (hex)  -> 560253 3030303078797A");
}

TEST_F(ThirdGenerationScripted, ProtocolFaultsEndTheUpdate) {
    struct Case {
        const char* name;
        std::string go, ack;
        std::vector<std::string> tail;
    };
    const Case cases[] = {
        {"E instead of G", "E", "+", {"ERROR protocol! Update stopped.(G)"}},
        {"no acknowledgement",
         "G",
         "",
         {"No answer from Bootloader M328 (timed out)", "ERROR protocol! Update stopped.(+)"}},
    };
    writeFile("JFW_JIG3.vss", pattern(500));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedJig jig;
        DeviceList devices;
        devices.addPort(jig.port());
        Atmega328 model;
        model.goAnswer = c.go;
        model.ackAnswer = c.ack;
        jig.setResponder(model);
        ShellConfig config;
        config.env.devices = &devices;
        config.env.userTimeout = std::chrono::milliseconds(300);
        config.firmwareDir = dir_.string() + "/";
        config.runLogPath = (dir_ / "Start_log.txt").string();
        Shell shell(config, ui_, loop_);
        ui_.clear();

        UpdateHost host = shell.updateHost();
        EXPECT_EQ(UpdateJig3(host), kJig3Error);
        const auto lines = memo();
        ASSERT_GE(lines.size(), c.tail.size());
        EXPECT_EQ(
            std::vector<std::string>(lines.end() - static_cast<long>(c.tail.size()), lines.end()),
            c.tail);
        EXPECT_EQ(runLog().back(), c.tail.back());
        EXPECT_NE(afterWake(jig).back(), std::vector<uint8_t>{'X'});
    }
}

TEST_F(ThirdGenerationScripted, FailedUpdateShowsTheMainWindowAndEnablesExit) {
    writeFile("JFW_JIG3.vss", pattern(500));
    Atmega328 model;
    model.goAnswer = "N";
    attach(jig_, model);
    ASSERT_TRUE(pressStart("ITE"));

    EXPECT_TRUE(shownWindow_.empty());
    EXPECT_TRUE(exitEnabled());
    EXPECT_TRUE(ui_.visible(names::kMainWindow));
    EXPECT_TRUE(ui_.visible(names::kUpdateWindow));
}

TEST_F(ThirdGenerationScripted, TwoDevicesAreRefused) {
    writeFile("JFW_JIG3.vss", pattern(500));
    ScriptedJig other;
    attach(jig_, Atmega328{});
    attach(other, Atmega328{});
    ASSERT_TRUE(pressStart("EDID lcd"));

    EXPECT_EQ(memo().back(), "Please disconnect other device and replay!");
    EXPECT_EQ(count(runLog(), "JIG ver3 start update FW"), 2);
    EXPECT_EQ(jig_.hostText(), "") << "device 0 is never woken";
    EXPECT_EQ(other.hostText(), "B") << "only the shell's identity query";
    EXPECT_TRUE(exitEnabled());
}

TEST_F(ThirdGenerationScripted, FileProblemsAreReportedBeforeAnyDeviceIsOpened) {
    attach(jig_, Atmega328{});
    ASSERT_TRUE(pressStart("ITE"));
    EXPECT_EQ(memo(), std::vector<std::string>{"ERROR open file."});

    writeFile("JFW_JIG3.vss", {});
    ASSERT_TRUE(pressStart("ITE"));
    EXPECT_EQ(memo(), std::vector<std::string>{"ERROR short file."});
    EXPECT_EQ(jig_.hostText(), "BB") << "the shell's two identity queries only";
    EXPECT_EQ(count(runLog(), "JIG ver3 start update FW"), 0);
}

TEST_F(ThirdGenerationScripted, ExitEndsTheWaitForTheBootloader) {
    writeFile("JFW_JIG3.vss", pattern(500));
    Atmega328 model;
    model.wakeAnswers.clear();  // the reset button is never pressed
    attach(jig_, model);
    Shell& s = shell();
    s.MAIN_CONNECTClick("ITE");
    ASSERT_TRUE(runWindowThread([&] { return exitEnabled(); }, std::chrono::seconds(10)));
    s.SpeedButton_UPD_EXITClick();
    ASSERT_TRUE(runWindowThread([&] { return !s.updateRunning(); }, std::chrono::seconds(10)));

    EXPECT_EQ(memo().back(), "Update stopped by the user.");
    EXPECT_EQ(runLog().back(), "Update stopped by the user.");
    EXPECT_TRUE(exitEnabled());
    EXPECT_TRUE(ui_.visible(names::kMainWindow));
}

TEST_F(ThirdGenerationScripted, WakeLimitIsOneMinuteOrTheUsersLargerLimit) {
    using std::chrono::milliseconds;
    const std::pair<std::optional<milliseconds>, milliseconds> cases[] = {
        {std::nullopt, milliseconds(60000)},
        {milliseconds(2000), milliseconds(60000)},
        {milliseconds(120000), milliseconds(120000)},
    };
    for (const auto& [user, limit] : cases) {
        ShellConfig config;
        config.env.userTimeout = user;
        config.runLogPath = (dir_ / "Start_log.txt").string();
        Shell shell(config, ui_, loop_);
        EXPECT_EQ(jig3WakeLimit(shell.updateHost()), limit);
    }
}

}  // namespace
}  // namespace zjig
