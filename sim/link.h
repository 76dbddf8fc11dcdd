// The FTDI bridge and the serial wire between it and the JIG's UART.
//
// PC side: the calls the program makes on the bridge. JIG side: the firmware's
// blocking get() and its put(). Both directions are queues of bytes stamped
// with the time they reach the far end and the line speed they were sent at;
// a byte that arrives at a UART set to another speed (or another line format)
// is garbled on the real wire, so it is dropped here.
//
// Timing: with the instant model a byte arrives the moment it is sent. With
// the real model each byte takes ten bit times at its sender's speed, after
// the previous byte of the same direction, and a byte that has reached the
// bridge becomes visible to the PC only when the bridge's latency timer has
// run past its arrival. All waiting is on one condition variable with
// deadlines taken from these stamps; nothing polls.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace sim {

using Clock = std::chrono::steady_clock;

// Thrown out of get() when the JIG's reset button has been pressed: the
// firmware's code is abandoned wherever it was, as on the real chip.
struct ResetPressed {};
// Thrown out of get() when the simulated JIG is being torn down.
struct PoweredOff {};

inline constexpr uint32_t kFirmwareBaud = 921600;
inline constexpr uint32_t kJig2BootloaderBaud = 115200;
// The bridge's speed after it is opened, before the program sets one.
inline constexpr uint32_t kBridgeDefaultBaud = 9600;
inline constexpr uint8_t kBridgeDefaultLatencyMs = 16;

// JIG side of the wire, as the firmware sees its UART.
class Uart {
  public:
    virtual ~Uart() = default;
    // Blocks until a byte has arrived. Throws ResetPressed or PoweredOff.
    virtual uint8_t get() = 0;
    virtual void put(const uint8_t* data, size_t n) = 0;
    void put(uint8_t b) { put(&b, 1); }
    void put(const char* text);
};

class Link : public Uart {
  public:
    explicit Link(bool realSpeed);

    // ---- PC side (the bridge) ----
    bool open();  // false when already open
    void close();
    bool isOpen() const;
    void resetDevice();
    void setBaudRate(uint32_t baud);
    // The JIG's UART runs 8 data bits, 1 stop bit, no parity; any other format
    // garbles every byte.
    void setLineFormat(bool matchesJig);
    void setLatencyTimer(uint8_t ms);
    void setTimeouts(uint32_t readMs, uint32_t writeMs);
    size_t write(const uint8_t* data, size_t n);
    size_t read(uint8_t* data, size_t n);
    void status(uint32_t& rxQueue, uint32_t& txQueue);
    void purge(bool rx, bool tx);
    void waitForData(uint32_t rxSeen, Clock::time_point until);
    std::vector<uint8_t> takeHostBytes();

    // ---- JIG side ----
    uint8_t get() override;
    void put(const uint8_t* data, size_t n) override;
    using Uart::put;
    void setJigBaud(uint32_t baud);
    // Sends the bytes at the current speed, then switches the UART to
    // `newBaud`, in one step: the answer leaves at the old speed and the PC
    // cannot see it before the switch has happened.
    void putThenSetBaud(const uint8_t* data, size_t n, uint32_t newBaud);
    uint32_t jigBaud() const;

    // ---- the reset button ----
    // How the simulated technician answers the program's request to press the
    // button: not at all, or after this delay.
    void setResetPolicy(std::optional<std::chrono::milliseconds> delay);
    // The program asks for a press (the technician follows the policy).
    void askForReset();
    // A press now, whatever the policy (tests).
    void pressResetNow();
    int resetPresses() const;
    // Looks at every byte the PC writes, with the speed it goes out at; true
    // when the technician would now press the button. Runs under the link's
    // lock: it may only read atomics.
    void setTechnician(std::function<bool(uint8_t byte, uint32_t baud)> watch);
    // Runs under the link's lock at the moment of a press, so that what the
    // technician watches already shows the restarted chip.
    void setPressHook(std::function<void()> hook);

    void powerOff();

    // Bytes the JIG's UART could not take (buffer full).
    uint64_t overrunBytes() const;

  private:
    struct OnWire {
        uint8_t byte;
        Clock::time_point arrives;
        uint32_t baud;  // 0: garbled by a wrong line format
    };
    struct Received {
        uint8_t byte;
        Clock::time_point visible;
    };

    Clock::duration byteTime(uint32_t baud) const;
    uint32_t hostLineBaud() const;
    void settle(Clock::time_point now);
    size_t visibleCount(Clock::time_point now) const;
    std::optional<Clock::time_point> nextPcEvent() const;
    void putLocked(const uint8_t* data, size_t n, Clock::time_point now);
    void requestPressLocked(Clock::time_point now);

    const bool realSpeed_;
    mutable std::mutex m_;
    std::condition_variable cv_;

    bool open_ = false;
    bool poweredOff_ = false;
    uint32_t hostBaud_ = kBridgeDefaultBaud;
    bool hostFormatOk_ = true;
    uint8_t latencyMs_ = kBridgeDefaultLatencyMs;
    uint32_t readTimeoutMs_ = 0;
    uint32_t jigBaud_ = kFirmwareBaud;

    std::deque<OnWire> toJig_;
    std::deque<uint8_t> jigRx_;
    std::deque<OnWire> toHost_;
    std::deque<Received> hostRx_;
    Clock::time_point hostLineFree_{};
    Clock::time_point jigLineFree_{};
    Clock::time_point lastVisible_{};

    std::deque<uint8_t> hostLog_;
    uint64_t overrun_ = 0;

    std::optional<std::chrono::milliseconds> resetDelay_;
    std::optional<Clock::time_point> pressAt_;
    int presses_ = 0;
    std::function<bool(uint8_t, uint32_t)> technician_;
    std::function<void()> pressHook_;
};

}  // namespace sim
