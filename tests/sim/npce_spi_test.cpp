// The Nuvoton SPI flash through the JIG: what the program's whole operations
// do not show on their own — programming that only clears bits, a blank check
// that looks at the flash, the second generation's answers to 'I' and 'O',
// and the flash kept between runs.
#include <gtest/gtest.h>

#include "sim_helpers.h"
#include "support/temp_dir.h"

namespace {

using namespace simtest;

constexpr size_t kFlash = 131072;

Bytes slice(const Bytes& b, size_t from, size_t n) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
                 b.begin() + static_cast<std::ptrdiff_t>(from + n));
}

class Npce : public testing::Test {
  protected:
    void open(const std::string& options) {
        j = std::make_unique<Jig>(options);
        ASSERT_TRUE(j->ok());
        third = j->jig().generation() == 3;
    }
    // The first command of a sequence.
    void first(uint8_t c) {
        if (third) j->send('N');
        j->send(c);
    }
    // Writes `chunks` chunks of `fill` from the start of the flash.
    void writeChunks(int chunks, uint8_t fill) {
        for (int n = 0; n < chunks; ++n) {
            if (n == 0)
                first('w');
            else
                j->send('w');
            ASSERT_EQ(j->take(1), Bytes{'*'});
            j->send(Bytes(256, fill));
            ASSERT_EQ(j->take(1), Bytes{1});
        }
        j->send(0x07);
        ASSERT_EQ(j->take(1).size(), 1u);
    }
    uint8_t checkClear() {
        first('x');
        const Bytes b = j->take(2);
        return b.size() == 2 ? b[0] : 0xEE;
    }

    std::unique_ptr<Jig> j;
    bool third = true;
};

TEST_F(Npce, ProgrammingOnlyClearsBitsAndTheBlankCheckSeesIt) {
    for (const char* options : {"jig3", "jig2=NPCE"}) {
        SCOPED_TRACE(options);
        open(options);
        EXPECT_EQ(checkClear(), 0);  // the made-up content is not blank
        first('e');
        EXPECT_EQ(j->take(2)[0], 1);
        EXPECT_EQ(checkClear(), 1);
        writeChunks(1, 0xF0);
        writeChunks(1, 0x3C);  // no erase between: 0xF0 & 0x3C
        EXPECT_EQ(checkClear(), 0);
        const Bytes flash = j->jig().npceFlash();
        EXPECT_EQ(flash[0], 0x30);
        EXPECT_EQ(flash[255], 0x30);
        EXPECT_EQ(flash[256], 0xFF);
    }
}

TEST_F(Npce, ResultBytesAreAnsweredOnBothGenerations) {
    for (const char* options : {"jig3", "jig2=NPCE"}) {
        SCOPED_TRACE(options);
        open(options);
        for (uint8_t result : {'I', 'O'}) {
            j->send(result);
            EXPECT_EQ(j->take(1).size(), 1u) << result;
        }
        // Only the first command of a sequence carries the prefix.
        first('r');
        EXPECT_EQ(j->take(512), slice(j->jig().npceFlash(), 0, 512));
        j->send('r');
        EXPECT_EQ(j->take(512), slice(j->jig().npceFlash(), 512, 512));
        j->send('-');
        EXPECT_EQ(j->take(2), (Bytes{1, 0}));
        EXPECT_TRUE(j->quiet().empty());
    }
}

TEST_F(Npce, FlashIsKeptInTheStateFolder) {
    zjig::test::TempDir dir;
    const std::string options = "jig3,state=" + dir.file("s");
    Bytes image(kFlash);
    for (size_t i = 0; i < kFlash; ++i) image[i] = static_cast<uint8_t>(i * 7 + (i >> 10));
    {
        open(options);
        ASSERT_TRUE(j->jig().setNpceFlash(image));
        EXPECT_FALSE(j->jig().setNpceFlash(Bytes(100)));
        j.reset();
    }
    open(options);
    EXPECT_TRUE(j->jig().npceFlash() == image);
    EXPECT_TRUE(j->jig().targetMemory("NPCE") == image);
}

TEST_F(Npce, BadOptionsAreRefused) {
    for (const char* options :
         {"npce=gone", "npce-id=EF40", "npce-id=EF40XY", "npce-erase-fail=1", "npce-not-ready=0",
          "npce-fail-chunk=513", "npce-stall-block=257", "npce-corrupt=131072"}) {
        std::string error;
        EXPECT_EQ(sim::SimDevice::create(options, error), nullptr) << options;
        EXPECT_NE(error.find(std::string(options).substr(0, std::string(options).find('='))),
                  std::string::npos)
            << error;
    }
}

}  // namespace
