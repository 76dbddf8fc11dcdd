// Helpers for byte-level tests of the simulated JIG: an opened, configured
// device and exact reads with generous time-outs (a test waits for bytes,
// never for time).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_jig.h"

namespace simtest {

using Bytes = std::vector<uint8_t>;

inline constexpr uint32_t kFirmwareBaud = 921600;
inline constexpr uint32_t kBootBaud = 115200;
inline constexpr uint8_t kXon = 0x11;
// Long enough for any loaded machine; a passing test never waits this long.
inline constexpr uint32_t kPatientMs = 5000;
// Used only where a test shows that nothing comes.
inline constexpr uint32_t kQuietMs = 150;

inline Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }

// One simulated JIG, opened and set up as the program sets up its link.
class Jig {
  public:
    explicit Jig(const std::string& options, uint32_t baud = kFirmwareBaud) {
        std::string error;
        dev = sim::SimDevice::create(options, error);
        if (!dev) {
            ADD_FAILURE() << "create(\"" << options << "\"): " << error;
            return;
        }
        EXPECT_TRUE(dev->open());
        dev->setBaudRate(baud);
        dev->setDataCharacteristics(8, 0, 0);
        dev->setTimeouts(kPatientMs, kPatientMs);
    }

    bool ok() const { return dev != nullptr; }
    sim::SimJig& jig() { return dev->jig(); }

    void send(const Bytes& b) { ASSERT_EQ(dev->write(b.data(), b.size()), b.size()); }
    void send(const std::string& s) { send(bytes(s)); }
    void send(uint8_t b) { send(Bytes{b}); }

    // Up to n bytes; returns early once n have come.
    Bytes take(size_t n) {
        Bytes out(n);
        out.resize(dev->read(out.data(), n));
        return out;
    }
    // Whatever comes within a short time: for showing that nothing does.
    Bytes quiet(size_t n = 64) {
        dev->setTimeouts(kQuietMs, kQuietMs);
        Bytes out = take(n);
        dev->setTimeouts(kPatientMs, kPatientMs);
        return out;
    }
    uint32_t rxQueue() {
        uint32_t rx = 0, tx = 0;
        dev->status(rx, tx);
        return rx;
    }

    std::unique_ptr<sim::SimDevice> dev;
};

// The second-generation bootloader's data line for 16 bytes at `address`,
// built here from the Intel HEX rules (upper-case digits, LF end).
inline std::string hexLine(uint16_t address, const Bytes& data16, int checksumError = 0) {
    static const char* digits = "0123456789ABCDEF";
    std::string line = ":10";
    auto put = [&](uint8_t v) {
        line += digits[v >> 4];
        line += digits[v & 15];
    };
    unsigned sum = 0x10 + (address >> 8) + (address & 0xFF);
    put(static_cast<uint8_t>(address >> 8));
    put(static_cast<uint8_t>(address & 0xFF));
    put(0);
    for (uint8_t b : data16) {
        put(b);
        sum += b;
    }
    put(static_cast<uint8_t>((256 - sum % 256) % 256 + checksumError));
    return line + "\n";
}

}  // namespace simtest

namespace simtest {

// Bytes up to and including the first XON, at most `max`.
inline Bytes takeUntilXon(Jig& j, size_t max = 32) {
    Bytes out;
    while (out.size() < max) {
        const Bytes b = j.take(1);
        if (b.empty()) break;
        out.push_back(b[0]);
        if (b[0] == kXon) break;
    }
    return out;
}

// An image of `size` bytes (0xA5 filler) that names itself with the marker.
inline Bytes imageNamed(const std::string& identity, size_t size, size_t at = 0x40) {
    Bytes image(size, 0xA5);
    const std::string tag = "ZJIG-ID:" + identity;
    std::copy(tag.begin(), tag.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
    image[at + tag.size()] = 0;
    return image;
}

}  // namespace simtest

namespace simtest {

// The update window's synchronisation: 'U' after 'U' until something
// arrives, then the greeting up to its XON.
inline Bytes syncLoop(Jig& j) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatientMs);
    while (j.rxQueue() == 0 && std::chrono::steady_clock::now() < until) {
        j.send('U');
        j.dev->waitForData(0, std::chrono::steady_clock::now() + std::chrono::milliseconds(20));
    }
    return takeUntilXon(j, 16);
}

}  // namespace simtest
