// Firmware switches end to end: the shell's "Start", the update thread and the
// simulated JIG with the sample firmware files.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "jiglink/backends/backends.h"
#include "sim/sim_jig.h"
#include "update/hex_loader.h"
#include "update/update_fixture.h"

namespace zjig {
namespace {

class UpdateWithSimulator : public test::UpdateFixture {
  protected:
    void SetUp() override {
        UpdateFixture::SetUp();
        copySampleFirmware();
    }

    // Attaches one simulated JIG and keeps it for inspection.
    sim::SimJig& attach(const std::string& options) {
        std::string error;
        std::shared_ptr<sim::SimDevice> device = sim::SimDevice::create(options, error);
        EXPECT_TRUE(device) << error;
        sims_.push_back(device);
        addPort(makeSimPort(device, options));
        return device->jig();
    }
    std::string hostText(sim::SimJig& jig) {
        const auto bytes = jig.takeHostBytes();
        return {bytes.begin(), bytes.end()};
    }
    std::vector<uint8_t> fileBytes(const std::string& name) {
        std::ifstream in(dir_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // The ATmega88 image a sample HEX file holds, as the bootloader's flash keeps it.
    std::vector<uint8_t> hexImage(const std::string& name) {
        const auto text = fileBytes(name);
        FirmwareImage image;
        EXPECT_EQ(ParseHexText(text.data(), text.size(), image), HexError::None);
        return {image.bytes.begin(), image.bytes.end()};
    }

    std::vector<std::shared_ptr<sim::SimDevice>> sims_;
};

TEST_F(UpdateWithSimulator, RightFamilyNeedsNoUpdate) {
    sim::SimJig& jig = attach("jig2=V41");
    ASSERT_TRUE(pressStart("Keyboard testing"));

    EXPECT_EQ(shownWindow_, names::kKeyboardWindow);
    EXPECT_EQ(hostText(jig), "B") << "nothing but the identity query";
    EXPECT_EQ(memo(), (std::vector<std::string>{"Current version of FW -> PCB2_M88_V41  ",
                                                "User select -> Keyboard testing"}));
    const auto calls = ui_.calls();
    const auto shown = std::find(calls.begin(), calls.end(), "show TUPDATE_FORM");
    const auto hidden = std::find(calls.begin(), calls.end(), "hide TUPDATE_FORM");
    EXPECT_TRUE(shown < hidden && hidden != calls.end()) << "the update window flashes up and goes";
    EXPECT_EQ(jig.resetPresses(), 0);
}

struct FamilySwitch {
    const char* from;
    const char* mode;
    const char* file;
    const char* identity;
    const char* window;
};

class FamilySwitchWithSimulator : public UpdateWithSimulator,
                                  public ::testing::WithParamInterface<FamilySwitch> {};

TEST_P(FamilySwitchWithSimulator, WrongFamilyIsSwitchedThroughTheBootloader) {
    const FamilySwitch& c = GetParam();
    sim::SimJig& jig = attach(c.from);
    ASSERT_TRUE(pressStart(c.mode));

    EXPECT_EQ(shownWindow_, c.window);
    EXPECT_EQ(jig.identity(), c.identity);
    EXPECT_EQ(jig.jig2BootFlash(), hexImage(c.file)) << "the flash holds the file's image";
    const auto lines = memo();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[2], "Command go to BOOT ... ");
    EXPECT_EQ(lines[3], "424F4F545F4D383820312E320D11");
    EXPECT_EQ(lines[4], "BOOT M88 connected - BOOT_M88 1.2  ");
    EXPECT_EQ(lines.back(), "Exit from BOOT and RUN ... ");
    EXPECT_FALSE(ui_.visible(names::kUpdateWindow));

    // The next "Start" finds the new firmware and changes nothing.
    jig.takeHostBytes();
    ASSERT_TRUE(pressStart(c.mode));
    EXPECT_EQ(shownWindow_, c.window);
    EXPECT_EQ(hostText(jig), "B");
    EXPECT_EQ(memo()[0], std::string("Current version of FW -> ") + c.identity + "  ");
}

INSTANTIATE_TEST_SUITE_P(EveryFirmwareFile, FamilySwitchWithSimulator,
                         ::testing::Values(FamilySwitch{"jig2=V41", "MEC jtag", "JFW_MECJTAG.hex",
                                                        "PCB2_V42_MECJTAG", names::kMecWindow},
                                           FamilySwitch{"jig2=V42", "ITE", "JFW_ITE.hex",
                                                        "PCB2_ITE_PARALLEL", names::kIteWindow},
                                           FamilySwitch{"jig2=ITE", "NUVOTON jtag",
                                                        "JFW_NUVOTON.hex", "PCB2_NPCE_NUVOTON",
                                                        names::kNuvotonJtagWindow},
                                           FamilySwitch{"jig2=NPCE", "EDID lcd", "JFW_COMMON.hex",
                                                        "PCB2_V41_COMMON", names::kEdidWindow}));

TEST_F(UpdateWithSimulator, SwitchOverARealTimeLink) {
    sim::SimJig& jig = attach("jig2=NPCE,speed=real");
    ASSERT_TRUE(pressStart("ITE", std::chrono::seconds(60)));
    EXPECT_EQ(shownWindow_, names::kIteWindow);
    EXPECT_EQ(jig.identity(), "PCB2_ITE_PARALLEL");
}

TEST_F(UpdateWithSimulator, JigInItsBootloaderIsAskedForTheResetButtonAndFlashed) {
    sim::SimJig& jig = attach("jig2,boot");
    ASSERT_TRUE(pressStart("ENE KB90XX"));

    EXPECT_EQ(shell().identity(), "FTDI found, ERROR answer");
    const auto lines = memo();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Current version of FW -> FTDI found, ERROR answer");
    EXPECT_EQ(lines[1], "User select -> ENE KB90XX");
    EXPECT_EQ(lines[2], "*** PLEASE PUSH RESET BUTTON ! ***");
    const std::string wire = hostText(jig);
    EXPECT_EQ(wire.find('?'), std::string::npos) << "no go-to-bootloader command";
    EXPECT_EQ(shownWindow_, names::kKb901xWindow);
    EXPECT_EQ(jig.identity(), "PCB2_V41_COMMON");
}

TEST_F(UpdateWithSimulator, MissingFirmwareFileLeavesTheOldFirmwareRunning) {
    std::filesystem::remove(dir_ / "JFW_MECJTAG.hex");
    sim::SimJig& jig = attach("jig2=V41");
    ASSERT_TRUE(pressStart("MEC jtag"));

    EXPECT_TRUE(shownWindow_.empty());
    EXPECT_EQ(memo().back(), "Not found .hex file -> " + dir_.string() +
                                 "/JFW_MECJTAG.hex for M88 in the program folder ");
    const std::string wire = hostText(jig);
    ASSERT_GE(wire.size(), 2u);
    EXPECT_EQ(wire.substr(wire.size() - 2), "g\n");
    EXPECT_EQ(wire.find("pf"), std::string::npos);
    EXPECT_EQ(jig.identity(), "PCB2_M88_V41") << "the bootloader started the old firmware again";
    EXPECT_TRUE(exitEnabled());
    EXPECT_TRUE(ui_.visible(names::kUpdateWindow));
}

// The one test that takes the real five seconds of the reset-button wait.
TEST_F(UpdateWithSimulator, SilentJigWhoseResetButtonIsNotPressed) {
    sim::SimJig& jig = attach("jig2,id=,reset=never");
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(pressStart("ITE", std::chrono::seconds(30)));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));

    EXPECT_TRUE(shownWindow_.empty());
    EXPECT_EQ(memo().back(), "You did not press the reset button or error response BOOT_loader");
    EXPECT_TRUE(exitEnabled());
    EXPECT_FALSE(shell().timer5Sec().enabled());

    // EXIT closes the window; the technician presses the button and tries again.
    shell().SpeedButton_UPD_EXITClick();
    EXPECT_FALSE(ui_.visible(names::kUpdateWindow));
    jig.pressResetButton();
    ASSERT_TRUE(pressStart("ITE"));
    EXPECT_EQ(shownWindow_, names::kIteWindow);
    EXPECT_EQ(jig.identity(), "PCB2_ITE_PARALLEL");
}

TEST_F(UpdateWithSimulator, OlderThirdGenerationIsUpdated) {
    sim::SimJig& jig = attach("jig3-old");
    ASSERT_TRUE(pressStart("NUVOTON spi"));

    EXPECT_EQ(shownWindow_, names::kNpceWindow);
    EXPECT_EQ(jig.identity(), "M328_EPM240_v16");
    const auto file = fileBytes("JFW_JIG3.vss");
    auto expected = file;
    expected.resize((file.size() / 128 + 1) * 128, 0xFF);
    EXPECT_EQ(jig.jig3BootImage(), expected);
    EXPECT_EQ(memo()[3], "Readed bytes (hex)  -> 563353 312E3035");
    EXPECT_EQ(ui_.gaugeMax(names::kGaugeUpdate), static_cast<int>(file.size() / 128));

    // Current firmware now: the next "Start" opens the mode without the update thread.
    ASSERT_TRUE(pressStart("NUVOTON spi"));
    EXPECT_EQ(shownWindow_, names::kNpceWindow);
    EXPECT_TRUE(memo().empty());
}

TEST_F(UpdateWithSimulator, OlderThirdGenerationOverARealTimeLink) {
    sim::SimJig& jig = attach("jig3-old,speed=real,reset=300");
    ASSERT_TRUE(pressStart("MEC jtag", std::chrono::seconds(60)));
    EXPECT_EQ(shownWindow_, names::kMecWindow);
    EXPECT_EQ(jig.identity(), "M328_EPM240_v16");
}

}  // namespace
}  // namespace zjig
