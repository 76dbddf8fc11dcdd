// The simulated MEC16xx's own rules, seen from the USB side: its options,
// its memory kept by `state=DIR`, and the third generation's JTAG side.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "sim/sim_jig.h"
#include "support/temp_dir.h"

namespace zjig::test {
namespace {

using namespace std::chrono_literals;

// Writes `out` to the simulated bridge and collects `expected` answer bytes.
std::vector<uint8_t> exchange(sim::SimDevice& d, const std::string& out, size_t expected) {
    d.write(reinterpret_cast<const uint8_t*>(out.data()), out.size());
    std::vector<uint8_t> in(expected);
    size_t got = 0;
    while (got < expected) {
        const size_t n = d.read(in.data() + got, expected - got);
        if (n == 0) break;
        got += n;
    }
    in.resize(got);
    return in;
}

std::unique_ptr<sim::SimDevice> openSim(const std::string& options) {
    std::string error;
    auto d = sim::SimDevice::create(options, error);
    EXPECT_TRUE(d) << error;
    if (!d) return d;
    d->open();
    d->setBaudRate(921600);
    d->setDataCharacteristics(8, 0, 0);
    d->setTimeouts(300, 300);
    return d;
}

TEST(MecSim, OptionsAreCheckedAndDocumented) {
    const struct {
        const char* options;
        bool valid;
    } cases[] = {
        {"mec=absent", true},           {"mec=gone", false},         {"mec-fwp", true},
        {"mec-fwp=1", false},           {"mec-busy=never", true},    {"mec-busy=3", true},
        {"mec-busy=soon", false},       {"mec-fail-block=0", false}, {"mec-stall-chunk=768", true},
        {"mec-short-regread=x", false},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(sim::SimDevice::create(c.options, error) != nullptr, c.valid) << c.options;
    }
    const std::string help = sim::helpText();
    for (const char* option :
         {"mec=absent|present", "mec-fwp", "mec-boot-lock", "mec-busy=N|never", "mec-fail-block=N",
          "mec-long-block=N", "mec-stall-block=N", "mec-stall-chunk=N", "mec-fail-chunk=N",
          "mec-fail-regwrite=N", "mec-short-regread=N", "'J' 'X'"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}

TEST(MecSim, StateFolderKeepsMainAndInfo) {
    TempDir dir;
    const std::string options = "jig2=V42,state=" + dir.file("st");
    std::vector<uint8_t> memory(196608 + 2048);
    for (size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<uint8_t>(i / 1024);
    {
        auto d = openSim(options);
        ASSERT_TRUE(d);
        EXPECT_FALSE(d->jig().setTargetMemory("MEC16xx", std::vector<uint8_t>(1000)));
        ASSERT_TRUE(d->jig().setTargetMemory("MEC16xx", memory));
    }
    auto d = openSim(options);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->jig().targetMemory("MEC16xx"), memory);
}

TEST(MecSim, ThirdGenerationJtagStepsAndBareCommandsAnswer) {
    auto d = openSim("jig3");
    ASSERT_TRUE(d);
    EXPECT_EQ(exchange(*d, "JX", 1).size(), 1u);
    EXPECT_EQ(exchange(*d, "JS", 1).size(), 1u);
    EXPECT_EQ(exchange(*d, "J1", 1).size(), 1u);
    EXPECT_EQ(exchange(*d, "1", 1).size(), 1u);
    EXPECT_EQ(exchange(*d, "j", 4), (std::vector<uint8_t>{0x5A, 0x16, 0xC3, 0x07}));
    EXPECT_EQ(exchange(*d, "Mj", 4), (std::vector<uint8_t>{0x5A, 0x16, 0xC3, 0x07}));
    // Register answers: most significant byte first, then one more byte.
    EXPECT_EQ(exchange(*d, "MrFFFD00", 5), (std::vector<uint8_t>{0x00, 0x16, 0xA0, 0x5C, 0x01}));
    // Lower-case hex is not what the PC sends: refused.
    EXPECT_EQ(exchange(*d, "MwFF3910000000ab", 1), (std::vector<uint8_t>{0x00}));
    // '0' lets the JTAG lines go and answers nothing.
    EXPECT_TRUE(exchange(*d, "0", 1).empty());
}

}  // namespace
}  // namespace zjig::test
