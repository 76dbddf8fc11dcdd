// Small helpers of the Nuvoton SPI tests: byte sequences, images, files, and
// a bridge that hands over one block short although its queue held it whole.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "jiglink/device.h"

namespace zjig::test {

using Bytes = std::vector<uint8_t>;

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline Bytes repeat(const Bytes& unit, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i) out = out + unit;
    return out;
}
inline Bytes slice(const Bytes& bytes, size_t from, size_t n) {
    return Bytes(bytes.begin() + static_cast<long>(from),
                 bytes.begin() + static_cast<long>(from + n));
}

// Bytes that look random, different for every seed, none of them a run of FFh.
inline Bytes randomImage(size_t size, uint32_t seed) {
    Bytes image(size);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : image) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    return image;
}

inline Bytes readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline void writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// Wraps a port so that the `shortRead`-th read of `blockSize` bytes moves
// them all out of the bridge but reports fewer: what the PC sees when a
// transfer is cut short after the queue said the block was there.
class ShortReadPort : public Port {
  public:
    ShortReadPort(std::unique_ptr<Port> inner, uint32_t blockSize, int shortRead, uint32_t reported)
        : inner_(std::move(inner)), block_(blockSize), at_(shortRead), reported_(reported) {}
    bool count(uint32_t& n, std::string& error) override { return inner_->count(n, error); }
    std::string describe() const override { return inner_->describe(); }
    FtStatus open(uint32_t index, std::unique_ptr<Device>& out) override {
        std::unique_ptr<Device> device;
        const FtStatus s = inner_->open(index, device);
        if (ftOk(s)) out = std::make_unique<Wrapped>(std::move(device), *this);
        return s;
    }

  private:
    class Wrapped : public Device {
      public:
        Wrapped(std::unique_ptr<Device> d, ShortReadPort& port) : d_(std::move(d)), port_(port) {}
        FtStatus resetDevice() override { return d_->resetDevice(); }
        FtStatus setBaudRate(uint32_t baud) override { return d_->setBaudRate(baud); }
        FtStatus setDataCharacteristics(uint8_t b, uint8_t s, uint8_t p) override {
            return d_->setDataCharacteristics(b, s, p);
        }
        FtStatus setTimeouts(uint32_t r, uint32_t w) override { return d_->setTimeouts(r, w); }
        FtStatus setLatencyTimer(uint8_t ms) override { return d_->setLatencyTimer(ms); }
        FtStatus write(const uint8_t* data, uint32_t n, uint32_t& moved) override {
            return d_->write(data, n, moved);
        }
        FtStatus read(uint8_t* data, uint32_t n, uint32_t& moved) override {
            const FtStatus s = d_->read(data, n, moved);
            if (n == port_.block_ && ++port_.reads_ == port_.at_)
                moved = std::min(moved, port_.reported_);
            return s;
        }
        FtStatus getStatus(uint32_t& rx, uint32_t& tx, uint32_t& ev) override {
            return d_->getStatus(rx, tx, ev);
        }
        FtStatus purge(uint32_t mask) override { return d_->purge(mask); }
        FtStatus getDriverVersion(uint32_t& v) override { return d_->getDriverVersion(v); }
        FtStatus close() override { return d_->close(); }
        void waitForData(uint32_t rxSeen, Clock::time_point until) override {
            d_->waitForData(rxSeen, until);
        }

      private:
        std::unique_ptr<Device> d_;
        ShortReadPort& port_;
    };

    std::unique_ptr<Port> inner_;
    uint32_t block_;
    int at_;
    uint32_t reported_;
    int reads_ = 0;
};

}  // namespace zjig::test
