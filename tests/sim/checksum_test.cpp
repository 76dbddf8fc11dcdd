#include "sim/checksum.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SimChecksum, Crc16ArcMatchesItsCheckValueAndKnownImages) {
    const std::string check = "123456789";
    EXPECT_EQ(sim::crc16Arc(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0xBB3D);

    const std::vector<uint8_t> ones(131072, 0xFF), zeros(131072, 0x00);
    EXPECT_EQ(sim::crc16Arc(ones.data(), ones.size()), 0x9401);
    EXPECT_EQ(sim::crc16Arc(zeros.data(), zeros.size()), 0x0000);
}

TEST(SimChecksum, CrcAndSumCanBeRunBlockByBlock) {
    std::vector<uint8_t> data(1000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
    uint16_t crc = 0, sum = 0;
    for (size_t at = 0; at < data.size(); at += 256) {
        const size_t n = std::min<size_t>(256, data.size() - at);
        crc = sim::crc16Arc(data.data() + at, n, crc);
        sum = sim::byteSum16(data.data() + at, n, sum);
    }
    EXPECT_EQ(crc, sim::crc16Arc(data.data(), data.size()));
    EXPECT_EQ(sum, sim::byteSum16(data.data(), data.size()));
}

TEST(SimChecksum, ByteSumWrapsAtSixteenBits) {
    const std::vector<uint8_t> ones(131072, 0xFF);
    EXPECT_EQ(sim::byteSum16(ones.data(), ones.size()), 0x0000);  // 131072 * 255 = 510 * 65536
    const std::vector<uint8_t> few = {0xFF, 0xFF, 0x03};
    EXPECT_EQ(sim::byteSum16(few.data(), few.size()), 0x0201);
    EXPECT_EQ(sim::byteSum16(few.data(), few.size(), 0xFFFF), 0x0200);
}

}  // namespace
