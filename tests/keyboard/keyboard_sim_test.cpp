// The simulated keyboard matrix byte by byte, as the JIG's firmware answers:
// scan answers, the second generation's scan loop, and its options.
#include <gtest/gtest.h>

#include "sim/sim_helpers.h"

namespace {

using namespace simtest;

TEST(KeyboardSim, ThirdGenerationAnswersEachBareScanAndItsBuzzer) {
    Jig j("jig3,kbd=3-7+3-9/12-20");
    ASSERT_TRUE(j.ok());
    j.send('U');
    EXPECT_EQ(j.take(5), (Bytes{62, 3, 7, 9, 38}));
    j.send('I');
    EXPECT_EQ(j.take(1), Bytes{'G'});
    j.send('U');
    EXPECT_EQ(j.take(4), (Bytes{62, 12, 20, 38}));
    j.send('U');
    EXPECT_EQ(j.take(1), Bytes{'&'});
    EXPECT_EQ(j.jig().keyScans(), 3u);
    // The second generation's start byte means nothing here.
    j.send('u');
    EXPECT_TRUE(j.quiet().empty());
}

TEST(KeyboardSim, SecondGenerationScansUntilItsLeaveByte) {
    Jig j("jig2,kbd=1-2");
    ASSERT_TRUE(j.ok());
    j.send('u');
    EXPECT_EQ(j.take(4), (Bytes{62, 1, 2, 38}));
    j.send('I');  // beeps, answers nothing
    j.send('U');
    EXPECT_EQ(j.take(1), Bytes{'&'});
    j.send('Q');
    j.send('U');  // no longer scanning
    EXPECT_TRUE(j.quiet().empty());
    j.send('u');
    EXPECT_EQ(j.take(1), Bytes{'&'});
    // Left without 'Q', the next byte is a command again: 'B' is answered.
    j.send('B');
    EXPECT_EQ(text(j.take(11)), "PCB2_M88_V4");
}

TEST(KeyboardSim, ScriptedFaults) {
    {
        Jig j("jig3,kbd-cut=1,kbd=3-7");
        j.send('U');
        EXPECT_EQ(j.take(3), (Bytes{62, 3, 7}));
        EXPECT_TRUE(j.quiet().empty());  // no '&'
    }
    {
        Jig j("jig3,kbd-silent-after=1");
        j.send('U');
        EXPECT_EQ(j.take(1), Bytes{'&'});
        j.send('U');
        j.send('B');
        EXPECT_TRUE(j.quiet().empty());
    }
    {
        Jig j("jig3,kbd=1-2/1-3,kbd-mute-buzzer=1");
        j.send('U');
        EXPECT_EQ(j.take(4).size(), 4u);
        j.send('I');
        EXPECT_TRUE(j.quiet().empty());
        j.send('I');  // only the first after that scan
        EXPECT_EQ(j.take(1), Bytes{'G'});
    }
}

class RefusedKeyboardOption : public testing::TestWithParam<const char*> {};

TEST_P(RefusedKeyboardOption, CreateFailsNamingTheOption) {
    std::string error;
    EXPECT_EQ(sim::SimDevice::create(GetParam(), error), nullptr);
    EXPECT_NE(error.find("kbd"), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Keyboard, RefusedKeyboardOption,
                         testing::Values("kbd", "kbd=3-3", "kbd=7-3", "kbd=0-5", "kbd=1-33",
                                         "kbd=1-2+", "kbd=1+2", "kbd=_0", "kbd=_x",
                                         "kbd-scan-ms=1001", "kbd-cut=0",
                                         "jig2,kbd-mute-buzzer=1"));

}  // namespace
