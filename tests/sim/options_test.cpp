#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "sim/sim_jig.h"

namespace {

struct BadOptions {
    const char* options;
    const char* errorHolds;  // a part of the error text that names the fault
};

class RefusedOptions : public testing::TestWithParam<BadOptions> {};

TEST_P(RefusedOptions, CreateFailsWithAnErrorThatNamesTheFault) {
    std::string error;
    EXPECT_EQ(sim::SimDevice::create(GetParam().options, error), nullptr);
    EXPECT_NE(error.find(GetParam().errorHolds), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Sim, RefusedOptions,
    testing::Values(
        BadOptions{"bogus", "bogus"}, BadOptions{"jig3,jig2", "only one"},
        BadOptions{"jig2=V43", "V43"}, BadOptions{"jig2=v41", "v41"},
        BadOptions{"jig3=1", "takes no value"}, BadOptions{"silent=yes", "takes no value"},
        BadOptions{"silent,silent", "twice"}, BadOptions{"boot", "jig2"},
        BadOptions{"jig3,boot", "jig2"}, BadOptions{"reset=soon", "reset"},
        BadOptions{"reset=-5", "reset"}, BadOptions{"speed=fast", "speed"},
        BadOptions{"driver=0x1G", "driver"}, BadOptions{"driver=4294967296", "driver"},
        BadOptions{"driver", "driver"}, BadOptions{"id=AB%4", "%XX"}, BadOptions{"id=%G0", "%XX"},
        BadOptions{"id", "id"}, BadOptions{"state=", "state"}, BadOptions{"ene=gone", "ene"},
        BadOptions{"ene-version=256", "ene-version"}, BadOptions{"ene-ffc=1:2:3:4", "ene-ffc"},
        BadOptions{"ene-ffc=1:2:3:4:33", "ene-ffc"}, BadOptions{"ene-ffc=1:2:3:4:4", "ene-ffc"},
        BadOptions{"ene-ffc=0:2:3:4:5", "ene-ffc"}, BadOptions{"ene-ffc=1:2:3:4:5:", "ene-ffc"},
        BadOptions{"jig2,ene-ffc=1:2:3:4:9", "third-generation"},
        BadOptions{"jig2,ene-fail-read=3", "third-generation"},
        BadOptions{"ene-fail-read=0", "ene-fail-read"}, BadOptions{"ene-stall=513", "ene-stall"},
        BadOptions{"ene-fail-write=x", "ene-fail-write"},
        BadOptions{"ene-stall-write=0", "ene-stall-write"}, BadOptions{"cpld=loud", "cpld"},
        BadOptions{"boot-stall=0", "boot-stall"}, BadOptions{"wirelog", "wirelog"},
        BadOptions{"drain=sometimes", "drain"},
        BadOptions{"wirelog=/nonexistent/folder/wire.bin", "wirelog"},
        BadOptions{"ene-corrupt=131072", "ene-corrupt"}));

TEST(SimOptions, AcceptedCombinationsCreateADevice) {
    for (const char* options : {"",
                                "jig3",
                                "jig3-old",
                                "jig2",
                                "jig2=V41",
                                "jig2=V42",
                                "jig2=ITE",
                                "jig2=NPCE",
                                "jig2,boot",
                                "silent",
                                "noopen",
                                "reset=never",
                                "reset=250",
                                "reset=auto",
                                "speed=real",
                                "speed=instant",
                                "driver=0x00020824",
                                "driver=131620",
                                "id=ABC%0D%0A",
                                "id=",
                                "ene=absent",
                                "ene-version=0x21",
                                "ene-ffc=1:2:3:4:9",
                                "ene-fail-read=3,ene-stall=5,ene-fail-write=7,ene-corrupt=0x1FFFF",
                                "cpld=silent,boot-stall=3,ene-stall-write=2,drain=never",
                                "jig3,,silent"}) {
        std::string error;
        EXPECT_NE(sim::SimDevice::create(options, error), nullptr) << options << ": " << error;
    }
}

TEST(SimOptions, DriverVersionDefaultsToARealisticWordAndFollowsTheOption) {
    std::string error;
    auto plain = sim::SimDevice::create("", error);
    auto given = sim::SimDevice::create("driver=0x00030102", error);
    ASSERT_TRUE(plain && given);
    ASSERT_TRUE(plain->open());
    ASSERT_TRUE(given->open());
    EXPECT_EQ(plain->driverVersion(), 0x00021228u);
    EXPECT_EQ(given->driverVersion(), 0x00030102u);
}

TEST(SimOptions, HelpTextDocumentsEveryOption) {
    const std::string help = sim::helpText();
    for (const char* key : {"jig3",
                            "jig3-old",
                            "jig2",
                            "V41",
                            "V42",
                            "ITE",
                            "NPCE",
                            "id=",
                            "%XX",
                            "silent",
                            "noopen",
                            "boot",
                            "reset=auto|never|MS",
                            "state=DIR",
                            "speed=instant|real",
                            "driver=",
                            "ZJIG-ID:",
                            "ene=absent",
                            "ene-version=",
                            "ene-ffc=",
                            "ene-fail-read=",
                            "ene-stall=",
                            "ene-fail-write=",
                            "ene-corrupt=",
                            "ene-stall-write=",
                            "cpld=silent",
                            "boot-stall=",
                            "wirelog=",
                            "drain=never"})
        EXPECT_NE(help.find(key), std::string::npos) << key;
}

// What the program sent reaches the wire log at once, in order, also after
// the device was closed and opened again; a silent CPLD takes its command
// without answering.
TEST(SimOptions, WireLogAndSilentCpld) {
    char dir[] = "/tmp/zjig_wirelog_XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string log = std::string(dir) + "/wire.bin";
    std::string error;
    auto sim = sim::SimDevice::create("jig3,cpld=silent,wirelog=" + log, error);
    ASSERT_TRUE(sim) << error;
    ASSERT_TRUE(sim->open());
    sim->setTimeouts(100, 100);
    const uint8_t reset[] = {'S', 'R'};
    EXPECT_EQ(sim->write(reset, 2), 2u);
    uint8_t answer = 0;
    EXPECT_EQ(sim->read(&answer, 1), 0u) << "a silent CPLD does not answer";
    sim->close();
    const uint8_t after[] = {'B'};
    EXPECT_EQ(sim->write(after, 1), 0u) << "a closed bridge takes nothing";
    ASSERT_TRUE(sim->open());
    EXPECT_EQ(sim->write(after, 1), 1u);
    std::ifstream in(log, std::ios::binary);
    const std::string logged((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
    EXPECT_EQ(logged, "SRB");
    sim.reset();
    std::filesystem::remove_all(dir);
}

}  // namespace
