// Where the programs look for the JIG firmware files without --firmware-dir.
#include "frontend/options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "support/temp_dir.h"

namespace zjig::frontend {
namespace {

class FirmwareSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* xdg = std::getenv("XDG_DATA_HOME")) savedXdg_ = xdg;
        ::setenv("XDG_DATA_HOME", dir.file("xdg").c_str(), 1);
    }
    void TearDown() override {
        if (savedXdg_)
            ::setenv("XDG_DATA_HOME", savedXdg_->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }
    CommonOptions withPorts(std::vector<std::string> ports) {
        CommonOptions options;
        options.ports = std::move(ports);
        return options;
    }

    test::TempDir dir;
    std::optional<std::string> savedXdg_;
};

TEST_F(FirmwareSearch, OrderIsProgramFolderThenUserDataThenTheInstallsShare) {
    const std::string share = programFolder() + "../share/zentravox-jig/";
    const std::string xdg = dir.file("xdg") + "/zentravox-jig/firmware/";
    const struct {
        std::vector<std::string> ports;
        std::vector<std::string> expected;
    } cases[] = {
        // The sample firmware is offered to simulated JIGs only.
        {{"sim"}, {programFolder(), xdg, share + "firmware/", share + "sim-firmware/"}},
        {{"sim:jig2", "sim:jig3"},
         {programFolder(), xdg, share + "firmware/", share + "sim-firmware/"}},
        {{"sim", "serial:/dev/ttyUSB0"}, {programFolder(), xdg, share + "firmware/"}},
        {{"d2xx"}, {programFolder(), xdg, share + "firmware/"}},
        {{}, {programFolder(), xdg, share + "firmware/"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ports.empty() ? "no --port" : c.ports.front());
        EXPECT_EQ(firmwareSearchPath(withPorts(c.ports)), c.expected);
    }
}

TEST_F(FirmwareSearch, TheFirstFolderHoldingAFirmwareFileWins) {
    // Nothing anywhere: the program's folder, as before.
    EXPECT_EQ(firmwareFolder(withPorts({"serial:/dev/ttyUSB0"})), programFolder());
    // A file in the user's data folder.
    const std::string xdg = dir.file("xdg") + "/zentravox-jig/firmware/";
    std::filesystem::create_directories(xdg);
    std::ofstream(xdg + "JFW_COMMON.hex") << ":00000001FF\n";
    EXPECT_EQ(firmwareFolder(withPorts({"serial:/dev/ttyUSB0"})), xdg);
    // --firmware-dir overrides the search, with a separator added.
    CommonOptions given = withPorts({"sim"});
    given.firmwareDir = dir.file("mine");
    EXPECT_EQ(firmwareFolder(given), dir.file("mine") + "/");
}

}  // namespace
}  // namespace zjig::frontend
