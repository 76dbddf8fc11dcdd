// The simulated ITE controller on the wire, below the session: the flash
// commands carried by registers 05h and 08h, programming that only clears
// bits, setup mode on the third generation, and what state=DIR keeps.
#include <gtest/gtest.h>

#include "sim/sim_helpers.h"
#include "support/temp_dir.h"

namespace {

using namespace simtest;

constexpr size_t kFlash = 131072;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
constexpr uint8_t kBoard[] = {1, 2, 3, 4, 5, 6, 7, 8, 10, 20, 21, 22, 23, 24, 25};

class IteSim : public testing::Test {
  protected:
    void open(const std::string& options) {
        j = std::make_unique<Jig>(options);
        ASSERT_TRUE(j->ok());
    }
    // A third-generation command and its one answer byte.
    uint8_t ask(Bytes body) {
        j->send(Bytes{'T'} + body);
        const Bytes b = j->take(1);
        return b.empty() ? 0 : b[0];
    }
    void map() {
        ASSERT_EQ(ask({'S'}), '*');
        const uint8_t codes[][2] = {{'d', '0'}, {'d', '1'}, {'d', '2'}, {'d', '3'}, {'d', '4'},
                                    {'d', '5'}, {'d', '6'}, {'d', '7'}, {'B', 'L'}, {'W', 'R'},
                                    {'D', 'S'}, {'I', 'N'}, {'A', 'S'}, {'K', '4'}, {'K', '5'}};
        for (size_t i = 0; i < 15; ++i) {
            j->send(Bytes{codes[i][0], codes[i][1], kBoard[i]});
            ASSERT_EQ(j->take(1), Bytes{'+'}) << i;
        }
        j->send(Bytes{'Q', 'Q', 'Q'});
        ASSERT_EQ(j->take(1), Bytes{'+'});
    }
    void reg(uint8_t r, uint8_t v) {
        ASSERT_EQ(ask({'A', r}), 'o');
        ASSERT_EQ(ask({'D', v}), 'o');
    }
    // One flash command framed as the controller takes it.
    void flashCommand(const Bytes& bytes) {
        reg(0x05, 0xFD);
        for (uint8_t b : bytes) reg(0x08, b);
        reg(0x05, 0xFE);
        reg(0x08, 0x00);
    }
    Bytes block() {
        j->send(Bytes{'T', 'r'});
        Bytes b = j->take(257);
        EXPECT_EQ(b.size(), 257u);
        EXPECT_EQ(b.back(), 'o');
        b.pop_back();
        return b;
    }
    Bytes flash() {
        const Bytes state = j->jig().targetMemory("ITE");
        return Bytes(state.begin(), state.begin() + kFlash);
    }

    std::unique_ptr<Jig> j;
};

TEST_F(IteSim, ProgrammingWithoutEraseOnlyClearsBits) {
    open("jig3");
    ASSERT_TRUE(j->jig().setTargetMemory("ITE", Bytes(kFlash, 0xF0)));
    map();
    ASSERT_EQ(ask({'T'}), 'o');
    ASSERT_EQ(ask({'Y', 0, 0, 0}), 'o');
    j->send(Bytes{'T', 'w'} + Bytes(128, 0x3C));
    ASSERT_EQ(j->take(1), Bytes{'o'});
    EXPECT_EQ(flash()[0], 0x30);  // F0h AND 3Ch: the erase was missed
    EXPECT_EQ(flash()[128], 0xF0);

    // Write enable, then erase: everything FFh, and the chunk lands whole.
    flashCommand({0x06});
    flashCommand({0x60});
    EXPECT_EQ(flash(), Bytes(kFlash, 0xFF));
    ASSERT_EQ(ask({'Y', 0, 0, 0}), 'o');
    j->send(Bytes{'T', 'w'} + Bytes(128, 0x3C));
    ASSERT_EQ(j->take(1), Bytes{'o'});
    EXPECT_EQ(flash()[0], 0x3C);
    // An erase without write enable does nothing.
    flashCommand({0xC7});
    EXPECT_EQ(flash()[0], 0x3C);
}

TEST_F(IteSim, AFastReadStreamsFromItsAddress) {
    open("jig3");
    Bytes image(kFlash);
    for (size_t i = 0; i < kFlash; ++i) image[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    ASSERT_TRUE(j->jig().setTargetMemory("ITE", image));
    map();
    ASSERT_EQ(ask({'T'}), 'o');
    EXPECT_EQ(block(), Bytes(256, 0xFF));  // no streaming read open
    reg(0x05, 0xFD);
    for (uint8_t b : {0x0B, 0x01, 0xFF, 0x80, 0x00}) reg(0x08, b);
    // 128 bytes to the end of the flash, then on from its start.
    EXPECT_EQ(block(), Bytes(image.begin() + 0x1FF80, image.end()) +
                           Bytes(image.begin(), image.begin() + 128));
    EXPECT_EQ(block(), Bytes(image.begin() + 128, image.begin() + 384));
}

TEST_F(IteSim, SetupItemsLookLikeResultBytesButAreItems) {
    open("jig3");
    ASSERT_EQ(ask({'S'}), '*');
    // 'I' 'N' is INIT's item, answered '+', not a result byte answered 'G'.
    j->send(Bytes{'I', 'N', 22});
    EXPECT_EQ(j->take(1), Bytes{'+'});
    // An unknown item ends setup mode: 'I' is a result byte again.
    j->send(Bytes{'X', 'X', 1});
    EXPECT_EQ(j->take(1), Bytes{'-'});
    j->send('I');
    EXPECT_EQ(j->take(1), Bytes{'G'});
    const Bytes state = j->jig().targetMemory("ITE");
    EXPECT_EQ(state[kFlash + 11], 22);  // INIT
}

TEST_F(IteSim, StateKeepsTheFlashAndTheMapping) {
    zjig::test::TempDir dir;
    const std::string options = "jig3,state=" + dir.path().string();
    open(options);
    map();
    ASSERT_TRUE(j->jig().setTargetMemory("ITE", Bytes(kFlash, 0x42)));  // the flash only
    j.reset();
    open(options);
    const Bytes state = j->jig().targetMemory("ITE");
    ASSERT_EQ(state.size(), kFlash + 15);
    EXPECT_EQ(Bytes(state.begin(), state.begin() + kFlash), Bytes(kFlash, 0x42));
    EXPECT_EQ(Bytes(state.begin() + kFlash, state.end()),
              Bytes(std::begin(kBoard), std::end(kBoard)));
    EXPECT_EQ(ask({'T'}), 'o');
    EXPECT_FALSE(j->jig().setTargetMemory("ITE", Bytes(100)));
}

}  // namespace
