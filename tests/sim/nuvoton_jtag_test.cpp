// The simulated Nuvoton controller behind the JIG's 'J' commands: reached
// only through its cable's routing with the SPI side off, and readable and
// writable only in the state a script replay leaves it in.
#include <gtest/gtest.h>

#include "sim_helpers.h"

namespace {

using namespace simtest;

constexpr const char* kTarget = "Nuvoton JTAG";

Bytes le32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}
Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

uint8_t crc8(const Bytes& data) {
    uint8_t crc = 0;
    for (uint8_t b : data) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? static_cast<uint8_t>((crc >> 1) ^ 0x8C) : crc >> 1;
    }
    return crc;
}

class NuvJtag : public testing::Test {
  protected:
    void open(const std::string& options) {
        j = std::make_unique<Jig>(options);
        ASSERT_TRUE(j->ok());
    }
    // One command and its whole answer.
    Bytes ask(const Bytes& command, size_t answer) {
        j->send(command);
        return j->take(answer);
    }
    void routeTypeB() {
        const Bytes writes = {0x40, 0x89, 0x24, 0x40, 0x20, 0x40, 0x25, 0x00, 0x21,
                              0x00, 0x26, 0x10, 0x22, 0x04, 0x27, 0x00, 0x23, 0x00,
                              0x10, 0x40, 0x11, 0x00, 0x12, 0x1C, 0x13, 0x00};
        for (size_t i = 0; i < writes.size(); i += 2)
            ASSERT_EQ(ask({'S', 'W', writes[i], writes[i + 1]}, 1), bytes("G"));
    }
    Bytes id() {
        ask(bytes("J1"), 1);
        return ask(bytes("JD") + le32(0xFFFFFFFF), 4);
    }
    void pair(uint8_t selector, uint32_t value) {
        ask({'J', 'd', selector}, 1);
        ask(bytes("JD") + le32(value), 4);
    }
    // What the sample script establishes: the unlocked bus, the halted core
    // and the helper's signature at its entry.
    void replay() {
        ask({'J', 'i', 0x0A}, 1);
        ask(bytes("JD") + le32(0xC3A5965A), 4);
        ask({'J', 'i', 0x0C}, 1);
        pair(0x0D, 1);
        pair(0x0B, 0xFF0000);
        pair(0x09, 3);
        pair(0x0B, 0x10400);
        pair(0x0D, 0x48454C50);
        pair(0x09, 3);
    }
    uint8_t batch(uint8_t mode, const std::vector<std::pair<uint8_t, uint32_t>>& records) {
        Bytes b = {'J', 'W', 0, 0, mode};
        for (const auto& [s, v] : records) b = b + Bytes{s} + le32(v);
        b[2] = static_cast<uint8_t>(b.size());
        b[3] = static_cast<uint8_t>(b.size() >> 8);
        const Bytes a = ask(b, 1);
        return a.empty() ? 0 : a[0];
    }
    uint8_t setup() {
        return batch(0xFF, {{0x0B, 0x107F0},
                            {0x0D, 0x10400},
                            {0x09, 3},
                            {0x01, 0x400},
                            {0x00, 0x400},
                            {0x02, 0x400},
                            {0x03, 0x10}});
    }
    // Data into buffer A and the commit of page `page` with CRC `crc`.
    uint8_t program(size_t page, const Bytes& data, uint8_t crc) {
        std::vector<std::pair<uint8_t, uint32_t>> records = {{0x0B, 0x10800}};
        for (size_t w = 0; w < 64; ++w) {
            const uint32_t word = data[4 * w] | data[4 * w + 1] << 8 | data[4 * w + 2] << 16 |
                                  static_cast<uint32_t>(data[4 * w + 3]) << 24;
            records.emplace_back(0x0D, word);
            if (w == 0) records.emplace_back(0x09, 0x7EB);
        }
        if (batch(0xFF, records) != 0x22) return 0;
        return batch(0x22, {{0x0B, 0x107F0},
                            {0x0D, 0x10077},
                            {0x09, 0x6B},
                            {0x0D, 0x10000u + crc},
                            {0x0D, static_cast<uint32_t>(page & 0xFF) << 24 | 0xFF},
                            {0x0D, static_cast<uint32_t>(page >> 8)}});
    }
    uint8_t eraseSector(uint32_t s) {
        auto write = [](uint32_t a, uint32_t v) {
            return std::vector<std::pair<uint8_t, uint32_t>>{{0x0B, a}, {0x0D, v}, {0x09, 3}};
        };
        std::vector<std::pair<uint8_t, uint32_t>> r;
        for (auto [a, v] :
             {std::pair{0xFF0016u, 6u}, std::pair{0xFF001Eu, 0xA0u}, std::pair{0xFF0016u, 0x20u},
              std::pair{0xFF0017u, 0u}, std::pair{0xFF0018u, s * 16}, std::pair{0xFF0019u, s / 16},
              std::pair{0xFF001Eu, 0xA8u}}) {
            auto w = write(a, v);
            r.insert(r.end(), w.begin(), w.end());
        }
        return batch(0xFE, r);
    }
    Bytes flash() { return j->jig().targetMemory(kTarget); }

    std::unique_ptr<Jig> j;
};

TEST_F(NuvJtag, TheIdComesOnlyThroughTheCablesRoutingWithSpiOff) {
    const Bytes expectedId = {0x1F, 0x20, 0xE2, 0x0F};
    const Bytes ones = {0xFF, 0xFF, 0xFF, 0xFF};
    open("jig3");
    ASSERT_EQ(ask(bytes("SR"), 1), bytes("G"));
    ASSERT_EQ(ask(bytes("JX"), 1), bytes("G"));
    EXPECT_EQ(id(), ones) << "wire mode";
    routeTypeB();
    EXPECT_EQ(id(), expectedId);
    ask(bytes("JS"), 1);
    EXPECT_EQ(id(), ones) << "SPI side on";

    struct Case {
        const char* options;
        Bytes id;
    } cases[] = {
        {"jig3,nuv-cable=typea", ones},
        {"jig3,nuv-power=off", ones},
        {"jig3,nuv-id=0x0FE2201E", {0x1E, 0x20, 0xE2, 0x0F}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options);
        routeTypeB();
        ask(bytes("JX"), 1);
        EXPECT_EQ(id(), c.id);
    }
    // The second generation has the wires soldered: no routing.
    open("jig2=NPCE");
    ask(bytes("JX"), 1);
    EXPECT_EQ(id(), expectedId);
    for (const Bytes& c : {bytes("I"), bytes("O"), bytes("SR"), Bytes{'S', 'W', 0x40, 0x89}})
        EXPECT_EQ(ask(c, 1).size(), 1u);
}

TEST_F(NuvJtag, ReadsAndBatchesNeedTheStateTheReplayLeaves) {
    open("jig3");
    routeTypeB();
    ask(bytes("JX"), 1);
    ask(bytes("J1"), 1);
    EXPECT_EQ(ask(bytes("JR"), 256), Bytes(256, 0xFF));
    EXPECT_EQ(setup(), 0x21);

    ask(bytes("J1"), 1);
    replay();
    const Bytes all = flash();
    EXPECT_EQ(ask(bytes("JR"), 256), Bytes(all.begin(), all.begin() + 256));
    EXPECT_EQ(ask(bytes("JR"), 256), Bytes(all.begin() + 256, all.begin() + 512));
    EXPECT_EQ(setup(), 0x22);

    // Without the helper's signature the set-up is refused.
    pair(0x0B, 0x10400);
    pair(0x0D, 0);
    pair(0x09, 3);
    EXPECT_EQ(setup(), 0x21);
    // A TAP reset locks the bus again.
    ask(bytes("J1"), 1);
    EXPECT_EQ(ask(bytes("JR"), 256), Bytes(256, 0xFF));
}

TEST_F(NuvJtag, EraseClearsASectorAndProgrammingAndsACheckedPage) {
    open("jig3");
    routeTypeB();
    ask(bytes("JX"), 1);
    ask(bytes("J1"), 1);
    replay();
    const Bytes before = flash();
    eraseSector(17);
    Bytes expected = before;
    std::fill(expected.begin() + 17 * 4096, expected.begin() + 18 * 4096, 0xFF);
    EXPECT_EQ(flash(), expected);
    // The status reads busy once, then ready.
    auto status = [&] {
        pair(0x0B, 0xFF0016);
        pair(0x0D, 5);
        pair(0x09, 3);
        pair(0x0B, 0xFF001E);
        pair(0x0D, 0x81);
        pair(0x09, 3);
        pair(0x0B, 0xFF001A);
        pair(0x09, 1);
        ask({'J', 'd', 0x0C}, 1);
        return ask(bytes("JD") + le32(1), 4)[0];
    };
    EXPECT_EQ(status(), 0x03);
    EXPECT_EQ(status(), 0x00);

    ASSERT_EQ(setup(), 0x22);
    Bytes page(256);
    for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(0xF0 | (i & 0x0F));
    const size_t at = 17 * 16;  // the first page of sector 17
    EXPECT_EQ(program(at, page, static_cast<uint8_t>(crc8(page) ^ 1)), 0x21);
    EXPECT_EQ(flash(), expected);
    EXPECT_EQ(program(at, page, crc8(page)), 0x22);
    std::copy(page.begin(), page.end(), expected.begin() + static_cast<long>(at * 256));
    EXPECT_EQ(flash(), expected);
    // Programming again without an erase only clears bits.
    Bytes other(256, 0x3C);
    EXPECT_EQ(program(at, other, crc8(other)), 0x22);
    for (size_t i = 0; i < 256; ++i) expected[at * 256 + i] &= 0x3C;
    EXPECT_EQ(flash(), expected);
}

}  // namespace
