// The write's wire forms: the page CRC-8 against known vectors, the batches'
// headers and records byte-exact, the per-page buffer, flag and page counters;
// and the cable routing the settings send.
#include "nuvoton_jtag_form/nuvjtag_batch.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "nuvoton_jtag_form/nuvjtag_routing.h"

namespace zjig::nuvjtag {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(NuvCrc8, KnownVectors) {
    const std::string check = "123456789";
    Bytes counting(256);
    std::iota(counting.begin(), counting.end(), uint8_t{0});
    struct Case {
        const char* name;
        Bytes bytes;
        uint8_t crc;
    } cases[] = {
        {"123456789", Bytes(check.begin(), check.end()), 0xA1},
        {"256 x FFh", Bytes(256, 0xFF), 0xB4},
        {"256 x 00h", Bytes(256, 0x00), 0x00},
        {"0, 1, ..., 255", counting, 0x18},
        {"one byte 01h", {0x01}, 0x5E},
        {"nothing", {}, 0x00},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NUV_Crc8(c.bytes.data(), c.bytes.size()), c.crc);
    }
}

// The records of a batch as (selector, value) pairs.
std::vector<std::pair<uint8_t, uint32_t>> records(const Batch& b) {
    std::vector<std::pair<uint8_t, uint32_t>> out;
    for (size_t i = 5; i + 5 <= b.bytes.size(); i += 5) {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k) v |= static_cast<uint32_t>(b.bytes[i + 1 + k]) << (8 * k);
        out.emplace_back(b.bytes[i], v);
    }
    return out;
}

TEST(NuvBatch, HeadersCarryTheTotalLengthAndTheMode) {
    const Bytes page(256, 0xA5);
    struct Case {
        const char* name;
        Batch batch;
        Bytes header;
        size_t size;
    } cases[] = {
        {"erase", eraseBatch(0), {0x4A, 0x57, 0x7D, 0x00, 0xFE}, 125},
        {"set-up", setupBatch(), {0x4A, 0x57, 0x28, 0x00, 0xFF}, 40},
        {"data", dataBatch(pagePlace(0), page.data()), {0x4A, 0x57, 0x4F, 0x01, 0xFF}, 335},
        {"commit", commitBatch(pagePlace(0), 0xB4), {0x4A, 0x57, 0x23, 0x00, 0x22}, 35},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.batch.bytes.size(), c.size);
        EXPECT_EQ(Bytes(c.batch.bytes.begin(), c.batch.bytes.begin() + 5), c.header);
        EXPECT_LE(c.size, kTransferBufferSize);
    }
}

TEST(NuvBatch, EraseOfSector17AddressesItsFourKilobytes) {
    using R = std::pair<uint8_t, uint32_t>;
    const std::vector<R> expected = {
        {0x0B, 0xFF0016}, {0x0D, 0x06}, {0x09, 3}, {0x0B, 0xFF001E}, {0x0D, 0xA0},  {0x09, 3},
        {0x0B, 0xFF001E}, {0x09, 1},    {0x0C, 1}, {0x0B, 0xFF0016}, {0x0D, 0x20},  {0x09, 3},
        {0x0B, 0xFF0017}, {0x0D, 0},    {0x09, 3}, {0x0B, 0xFF0018}, {0x0D, 0x110}, {0x09, 3},
        {0x0B, 0xFF0019}, {0x0D, 1},    {0x09, 3}, {0x0B, 0xFF001E}, {0x0D, 0xA8},  {0x09, 3}};
    EXPECT_EQ(records(eraseBatch(17)), expected);
    EXPECT_EQ(records(eraseBatch(31))[16], (R{0x0D, 0x1F0}));
    EXPECT_EQ(records(eraseBatch(31))[19], (R{0x0D, 1}));
}

TEST(NuvBatch, SetUpAndPollsAreTheFixedRecords) {
    using R = std::pair<uint8_t, uint32_t>;
    EXPECT_EQ(records(setupBatch()), (std::vector<R>{{0x0B, 0x107F0},
                                                     {0x0D, 0x10400},
                                                     {0x09, 3},
                                                     {0x01, 0x400},
                                                     {0x00, 0x400},
                                                     {0x02, 0x400},
                                                     {0x03, 0x10}}));
    const auto poll = busyPoll();
    ASSERT_EQ(poll.size(), 12u);
    EXPECT_EQ(poll.back().selector, 0x0C);
    EXPECT_EQ(poll[9].value, 0xFF001Au);
    EXPECT_EQ(eraseFollowUp().size(), 3u);
}

TEST(NuvBatch, PagesAlternateBuffersAndCountWraps) {
    struct Case {
        int page;  // from 0
        uint32_t buffer, flag;
        uint8_t j;
        uint32_t hi;
    } cases[] = {
        {0, 0x10800, 0, 0, 0},
        {1, 0x10900, 0x1000000, 1, 0},
        {255, 0x10900, 0x1000000, 255, 0},
        {256, 0x10800, 0, 0, 1},
        {511, 0x10900, 0x1000000, 255, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        const PagePlace p = pagePlace(c.page);
        EXPECT_EQ(p.buffer, c.buffer);
        EXPECT_EQ(p.flag, c.flag);
        EXPECT_EQ(p.j, c.j);
        EXPECT_EQ(p.hi, c.hi);
    }
}

TEST(NuvBatch, DataRecordsRepeatThePageAndTheCommitNamesIt) {
    Bytes page(256);
    std::iota(page.begin(), page.end(), uint8_t{0});
    const Batch data = dataBatch(pagePlace(1), page.data());
    const auto r = records(data);
    ASSERT_EQ(r.size(), 66u);
    EXPECT_EQ(r[0], (std::pair<uint8_t, uint32_t>{0x0B, 0x10900}));
    EXPECT_EQ(r[1], (std::pair<uint8_t, uint32_t>{0x0D, 0x03020100}));
    EXPECT_EQ(r[2], (std::pair<uint8_t, uint32_t>{0x09, 0x7EB}));
    EXPECT_EQ(r[65], (std::pair<uint8_t, uint32_t>{0x0D, 0xFFFEFDFC}));
    // After the three leading records the bytes are the page's bytes in order.
    for (size_t w = 1; w < 64; ++w)
        EXPECT_EQ(Bytes(data.bytes.begin() + 5 + 15 + 5 * static_cast<long>(w - 1) + 1,
                        data.bytes.begin() + 5 + 15 + 5 * static_cast<long>(w - 1) + 5),
                  Bytes(page.begin() + 4 * static_cast<long>(w),
                        page.begin() + 4 * static_cast<long>(w) + 4));

    using R = std::pair<uint8_t, uint32_t>;
    EXPECT_EQ(records(commitBatch(pagePlace(256), 0xB4)), (std::vector<R>{{0x0B, 0x107F0},
                                                                          {0x0D, 0x10077},
                                                                          {0x09, 0x6B},
                                                                          {0x0D, 0x100B4},
                                                                          {0x0D, 0xFF},
                                                                          {0x0D, 1}}));
    EXPECT_EQ(records(commitBatch(pagePlace(1), 0x00))[4], (R{0x0D, 0x010000FF}));
    EXPECT_EQ(records(commitBatch(pagePlace(1), 0x00))[5], (R{0x0D, 0x1000000}));
}

TEST(NuvRouting, BothCableTypesGiveTheirRegisterWrites) {
    using W = std::vector<std::pair<uint8_t, uint8_t>>;
    struct Case {
        bool oneToOne;
        W writes;
        const char* wiring;
    } cases[] = {
        {true,
         {{0x40, 0x89},
          {0x24, 0x40},
          {0x20, 0x40},
          {0x25, 0x00},
          {0x21, 0x00},
          {0x26, 0x10},
          {0x22, 0x04},
          {0x27, 0x00},
          {0x23, 0x00},
          {0x10, 0x40},
          {0x11, 0x00},
          {0x12, 0x1C},
          {0x13, 0x00}},
         "A7 B19 C10 D21 E20"},
        {false,
         {{0x40, 0x94},
          {0x24, 0x00},
          {0x20, 0x00},
          {0x25, 0x02},
          {0x21, 0x08},
          {0x26, 0x80},
          {0x22, 0x80},
          {0x27, 0x00},
          {0x23, 0x00},
          {0x10, 0x00},
          {0x11, 0x0E},
          {0x12, 0x80},
          {0x13, 0x00}},
         "A24 B12 C21 D10 E11"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.oneToOne ? "TYPE B" : "TYPE A");
        EXPECT_EQ(routingRegisterWrites(routingFor(c.oneToOne)), c.writes);
        EXPECT_EQ(wiringText(c.oneToOne), c.wiring);
    }
}

TEST(NuvRouting, ARoleReplacesThePinsEarlierRole) {
    RoutingTable t;
    NUV_RoutePin(t, PinRole::ZERO, 9);
    EXPECT_EQ(t.e[1], 0x01);
    EXPECT_EQ(t.a[1], 0x01);
    EXPECT_EQ(t.b[1], 0x01);
    NUV_RoutePin(t, PinRole::TMS, 9);  // the A and B bits are cleared
    EXPECT_EQ(t.e[1], 0x01);
    EXPECT_EQ(t.a[1], 0x00);
    EXPECT_EQ(t.b[1], 0x00);
    NUV_RoutePin(t, PinRole::TDO_from_NUV, 30);
    EXPECT_EQ(t.t, 0x80 | 29);
    NUV_RoutePin(t, PinRole::TCK, 31);  // no such pin on a 30-pin cable
    NUV_RoutePin(t, PinRole::TCK, 0);
    EXPECT_EQ(t.e[3], 0x00);
    EXPECT_EQ(t.e[0], 0x00);
}

}  // namespace
}  // namespace zjig::nuvjtag
