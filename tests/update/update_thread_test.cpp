// The second-generation path of the update thread against a hand-written JIG,
// for the answers the simulated JIG does not give (a wrong '?' answer, an odd
// greeting, a bootloader that stops answering).
#include <gtest/gtest.h>

#include "update/bootloader_upload.h"
#include "update/scripted_jig.h"
#include "update/update_fixture.h"

namespace zjig {
namespace {

using test::ScriptedJig;

// Hex text of a one-record firmware image: 16 bytes at address 0.
std::vector<uint8_t> oneRecordHex() {
    const std::string text = ":10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF\r\n";
    return {text.begin(), text.end()};
}

// An ATmega88 JIG: its firmware at 921600 baud, its bootloader at 115200.
struct Atmega88 {
    std::string identity = "PCB2_V41";
    std::string goToBootAnswer = "!";
    std::string greeting = "ABC\x11";
    bool answersRun = true;  // answers 'g'

    // Bootloader state.
    bool greeted = false;
    int purgesSeen = 0;

    void operator()(ScriptedJig& jig, const std::vector<uint8_t>& chunk) {
        const std::string s(chunk.begin(), chunk.end());
        if (jig.baud() == kLinkBaud) {
            if (s == "B") jig.reply(identity + "\r\n");
            if (s == "?") jig.reply(goToBootAnswer);
            return;
        }
        if (jig.purgesSoFar() != purgesSeen) {  // a new synchronisation attempt
            purgesSeen = jig.purgesSoFar();
            greeted = false;
        }
        if (s == "U") {
            if (!greeted) jig.reply(greeting);
            greeted = true;
        } else if (s == "pf\n") {
            jig.reply("PF-OK\r\x11");
        } else if (s.size() == kHexLineSize && s[0] == ':') {
            jig.reply("OK\x11");
        } else if (s == ":00000001FF\n") {
            jig.reply("EOF-OK\x11");
        } else if (s == "g\n" && answersRun) {
            jig.reply("RUN\r\n");
        }
    }
};

class SecondGenerationScripted : public test::UpdateFixture {
  protected:
    void attach(const Atmega88& model) {
        jig_.setResponder(model);
        addPort(jig_.port());
    }
    // Bytes the PC wrote after the identity query and the '?'.
    std::string bootloaderBytes() const {
        std::string all = jig_.hostText();
        const size_t u = all.find('U');
        const size_t after = u == std::string::npos ? u : all.find_first_not_of('U', u);
        return after == std::string::npos ? std::string() : all.substr(after);
    }

    ScriptedJig jig_;
};

TEST_F(SecondGenerationScripted, GreetingIsShownInHexAndAsText) {
    writeFile("JFW_MECJTAG.hex", oneRecordHex());
    attach(Atmega88{});
    ASSERT_TRUE(pressStart("MEC jtag"));

    EXPECT_EQ(shownWindow_, names::kMecWindow);
    EXPECT_EQ(memo(), (std::vector<std::string>{
                          "Current version of FW -> PCB2_V41  ",
                          "User select -> MEC jtag",
                          "Command go to BOOT ... ",
                          "41424311",
                          "BOOT M88 connected - ABC ",
                          "Update firmware ... ",
                          "UPGRADE file loaded to buffer (" + dir_.string() + "/JFW_MECJTAG.hex)",
                          "Bytes read from file 58",
                          "HEX position_buff 000F",
                          "отправлено EOF корректно",
                          "Exit from BOOT and RUN ... ",
                      }));
    EXPECT_EQ(bootloaderBytes(),
              "pf\n:10000000000102030405060708090A0B0C0D0E0F78\n:00000001FF\ng\n");
    EXPECT_FALSE(ui_.visible(names::kUpdateWindow));
    EXPECT_EQ(ui_.colour(names::kGaugeUpdate), kBlue);
    EXPECT_EQ(ui_.gaugeMax(names::kGaugeUpdate), 15);
    EXPECT_EQ(jig_.baud(), kBootloaderBaud);
}

TEST_F(SecondGenerationScripted, WrongAnswerToGoToBootAsksForTheResetButton) {
    writeFile("JFW_ITE.hex", oneRecordHex());
    Atmega88 model;
    model.goToBootAnswer = "?";
    attach(model);
    ASSERT_TRUE(pressStart("ITE"));

    const auto lines = memo();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[2], "Command go to BOOT ... ");
    EXPECT_EQ(lines[3], "*** FAULT ANSWER. PLEASE push reset button ***");
    EXPECT_EQ(shownWindow_, names::kIteWindow) << "the reset-button wait goes on";
}

TEST_F(SecondGenerationScripted, GreetingsWithoutXonWithinFifteenBytesEndTheUpdate) {
    writeFile("JFW_ITE.hex", oneRecordHex());
    Atmega88 model;
    model.greeting = std::string(15, 'x') + "\x11";  // the XON is the 16th byte
    attach(model);
    ASSERT_TRUE(pressStart("ITE"));

    EXPECT_TRUE(shownWindow_.empty());
    const auto lines = memo();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
              (std::vector<std::string>{
                  "*** PLEASE PUSH RESET BUTTON ! ***", "*** PLEASE PUSH RESET BUTTON ! ***",
                  "You did not press the reset button or error response BOOT_loader"}));
    EXPECT_TRUE(exitEnabled());
    EXPECT_TRUE(ui_.visible(names::kUpdateWindow));
    EXPECT_EQ(jig_.purges(), 3);
    EXPECT_EQ(bootloaderBytes(), "") << "nothing but 'U' went to the bootloader";
}

TEST_F(SecondGenerationScripted, MissingFirmwareFileStillStartsTheApplication) {
    attach(Atmega88{});
    ASSERT_TRUE(pressStart("NUVOTON spi"));

    EXPECT_TRUE(shownWindow_.empty());
    EXPECT_EQ(memo().back(), "Not found .hex file -> " + dir_.string() +
                                 "/JFW_NUVOTON.hex for M88 in the program folder ");
    EXPECT_EQ(bootloaderBytes(), "g\n");
    EXPECT_TRUE(exitEnabled());
}

TEST_F(SecondGenerationScripted, BlankFirmwareIsRefusedBeforeProgramming) {
    const std::string blank = ":10000000" + std::string(32, 'F') + "00\r\n:00000001FF\r\n";
    writeFile("JFW_COMMON.hex", {blank.begin(), blank.end()});
    Atmega88 model;
    model.identity = "PCB2_NPCE";
    attach(model);
    ASSERT_TRUE(pressStart("ENE KB90XX"));

    const auto lines = memo();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "No data for M88 in the .hex file (every byte is FF)!");
    EXPECT_EQ(lines.back(), "Error format .hex file for M88!");
    EXPECT_EQ(bootloaderBytes(), "g\n") << "no \"pf\", no line";
    EXPECT_TRUE(exitEnabled());
}

TEST_F(SecondGenerationScripted, SilenceAfterRunCommandIsAFailure) {
    writeFile("JFW_COMMON.hex", oneRecordHex());
    Atmega88 model;
    model.identity = "PCB2_ITE";
    model.answersRun = false;
    attach(model);
    shell(std::chrono::milliseconds(300));
    ASSERT_TRUE(pressStart("EDID lcd"));

    EXPECT_TRUE(shownWindow_.empty());
    const auto lines = memo();
    EXPECT_EQ(lines[lines.size() - 2], "Exit from BOOT and RUN ... ");
    EXPECT_EQ(lines.back(), "No answer from BOOT_loader after \"g\" (timed out)");
    EXPECT_TRUE(exitEnabled());
}

TEST_F(SecondGenerationScripted, ExitStopsTheWaitForTheResetButton) {
    Atmega88 model;
    model.identity = "PCB2_ITE";
    model.greeting = "";  // the bootloader never greets
    attach(model);
    Shell& s = shell();
    s.MAIN_CONNECTClick("EDID lcd");
    // Once the thread waits for the bootloader, the technician presses EXIT.
    ASSERT_TRUE(runWindowThread([&] { return jig_.hostText().find('U') != std::string::npos; },
                                std::chrono::seconds(10)));
    s.SpeedButton_UPD_EXITClick();
    ASSERT_TRUE(runWindowThread([&] { return !s.updateRunning(); }, std::chrono::seconds(10)));

    EXPECT_EQ(memo().back(), "Update stopped by the user.");
    EXPECT_TRUE(exitEnabled());
    // The next EXIT, with nothing running, closes the window.
    s.SpeedButton_UPD_EXITClick();
    EXPECT_FALSE(ui_.visible(names::kUpdateWindow));
    EXPECT_FALSE(exitEnabled());
}

}  // namespace
}  // namespace zjig
