// The simulated JIG, seen from the USB side: one bridge with the JIG behind
// it. This model is written from the wire tables only and shares no code with
// the program that drives it, so that a mistake on the PC side cannot be
// mirrored here and pass unseen.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sim {

using Clock = std::chrono::steady_clock;

// The text `zjig --help-sim` prints: every option of a `sim:` port.
std::string helpText();

class SimJig;

// One simulated bridge. Every call is safe from any thread; calls on a device
// that is not open fail (return false / 0).
class SimDevice {
public:
    // Parses the option text of a `sim:` port ("" or "jig3,state=/tmp/x").
    // Returns null and sets `error` on an unknown or malformed option.
    static std::unique_ptr<SimDevice> create(const std::string& options, std::string& error);
    ~SimDevice();

    bool open();  // false for a device made to refuse opening
    void close();
    bool isOpen() const;

    // Bridge configuration. resetDevice empties both queues.
    void resetDevice();
    void setBaudRate(uint32_t baud);
    void setLatencyTimer(uint8_t ms);
    void setTimeouts(uint32_t readMs, uint32_t writeMs);
    uint32_t driverVersion() const;

    // Queues bytes towards the JIG; returns the count taken.
    size_t write(const uint8_t* data, size_t n);
    // Blocks until n bytes are there or the read time-out has run out.
    size_t read(uint8_t* data, size_t n);
    // Bytes that have reached the PC and bytes not yet on the wire.
    void status(uint32_t& rxQueue, uint32_t& txQueue);
    void purge(bool rx, bool tx);
    // Blocks until more than `rxSeen` bytes have reached the PC, or `until`.
    void waitForData(uint32_t rxSeen, Clock::time_point until);

    // --- for tests ---
    // Every byte the PC wrote since the last call, in order (also while closed).
    std::vector<uint8_t> takeHostBytes();
    // The identity the JIG answers to 'B' now (without line end).
    std::string identity() const;
    SimJig& jig();

private:
    SimDevice();
    std::unique_ptr<SimJig> jig_;
};

}  // namespace sim
