// JigLink: one open connection to the JIG, its transfer buffer and counters,
// the standard open sequence, the identity query and the waiting forms.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jiglink/device.h"

namespace zjig {

using std::chrono::milliseconds;

// What every link of the program shares: the device list and the user's
// limit on how long the JIG may stay silent.
struct LinkEnv {
    DeviceList* devices = nullptr;
    // `--timeout`: when set it replaces every wait's own default limit.
    std::optional<milliseconds> userTimeout;
    // The whole program is stopping (a signal): every wait of every link
    // ends as cancelled, as its owner's own stop would end it.
    const std::atomic<bool>* abort = nullptr;
};

// How a wait ended. Every wait on the link has a deadline and a cancel flag;
// the callers turn anything but Ok into the failure path of their operation.
enum class WaitResult {
    Ok,
    TimedOut,   // the JIG stayed silent for the whole limit
    Cancelled,  // the owner asked the operation to stop
    Overflow,   // more bytes queued than the exchange allows
    LinkError,  // the device call itself failed (unplugged cable)
};
const char* waitResultText(WaitResult r);

// Line settings of every connection.
inline constexpr uint32_t kLinkBaud = 921600;
inline constexpr uint32_t kBootloaderBaud = 115200;
inline constexpr uint32_t kDefaultTimeoutMs = 300;
inline constexpr uint8_t kAcceptedLatencyMs = 2;
inline constexpr uint8_t kIdentifyCommand = 'B';
inline constexpr uint32_t kIdentityMaxBytes = 32;

// Default limits of the waits, used when the user gives no `--timeout`.
inline constexpr milliseconds kAnswerWait{5000};  // a command's short answer
inline constexpr milliseconds kBlockWait{5000};   // one data block
// The last bytes of an operation (its end and result bytes) leave the bridge
// before the link is closed, even after a stop; this bounds that drain.
inline constexpr milliseconds kClosingDrain{1000};
// How long a stopped operation waits for the answer to its closing byte: a
// JIG that still works answers within its latency timer.
inline constexpr milliseconds kClosingAnswerAfterStop{50};

class JigLink {
  public:
    JigLink(LinkEnv env, size_t bufferSize);
    ~JigLink();
    JigLink(const JigLink&) = delete;
    JigLink& operator=(const JigLink&) = delete;

    // --- one call each, as the bridge takes them ---
    FtStatus enumerate();  // sets deviceCount
    // Opens device `index`; the device held before is closed only when the
    // new one opened (or when it is the same index).
    FtStatus open(uint32_t index);
    FtStatus reset();
    FtStatus setBaudRate(uint32_t baud);
    FtStatus setDataCharacteristics();  // 8 data bits, 1 stop bit, no parity
    FtStatus setTimeouts(uint32_t readMs, uint32_t writeMs);
    FtStatus setLatencyTimer(uint8_t ms);
    // Writes the first n bytes of the transfer buffer.
    FtStatus write(uint32_t n);
    // Copies the bytes into the transfer buffer and writes them.
    FtStatus send(std::initializer_list<uint8_t> bytes);
    FtStatus send(const uint8_t* data, uint32_t n);
    // Reads up to n bytes into the transfer buffer from its start.
    FtStatus read(uint32_t n);
    FtStatus getStatus();
    FtStatus purge(uint32_t mask);
    FtStatus getDriverVersion();
    FtStatus close();
    bool isOpen() const { return device_ != nullptr; }

    // Reset, 921600 baud, 8/1/none, time-outs. Results are not examined.
    void configure(uint32_t readMs = kDefaultTimeoutMs, uint32_t writeMs = kDefaultTimeoutMs);
    // 'B', then up to 32 bytes, taken until the identity's line end (LF) has
    // come or the read time-out has run out. Returns the bytes taken; the
    // identity text is set when any byte came.
    uint32_t identify(std::string& identity);

    // --- waiting forms, each bounded ---
    // Until the receive queue holds at least k bytes (not read).
    WaitResult waitForInput(uint32_t k, milliseconds limit = kAnswerWait);
    // Until the receive queue holds exactly k bytes; more than k is Overflow.
    WaitResult waitForExactly(uint32_t k, milliseconds limit = kBlockWait);
    // Repeated one-byte reads until one byte came; it lands in buffer[0].
    WaitResult readByte(milliseconds limit = kAnswerWait);
    // Until the transmit queue is empty.
    WaitResult drain(milliseconds limit = kAnswerWait);
    // Drains, then closes. The drain has its own short bound and runs even
    // after a stop, so the JIG gets the closing bytes already written.
    void drainAndClose();
    // Takes the one-byte answer to an operation's closing byte, if it comes
    // within `limit`, even after a stop (it would otherwise reach the next
    // connection's identity). Returns whether it came.
    bool takeClosingAnswer(milliseconds limit);

    // The limit a wait gets: the user's `--timeout` when given, else its own.
    milliseconds effectiveLimit(milliseconds ownDefault) const;

    void setCancelFlag(const std::atomic<bool>* flag) { cancel_ = flag; }
    bool cancelled() const {
        return (cancel_ && cancel_->load()) || (env_.abort && env_.abort->load());
    }
    const LinkEnv& env() const { return env_; }
    // Reads the transfer buffer as text (for identities and greetings).
    std::vector<uint8_t>& buffer() { return buffer_; }
    uint8_t* data() { return buffer_.data(); }

    // The link's counters after the last call.
    uint32_t deviceCount = 0;
    uint32_t bytesMoved = 0;
    uint32_t rxQueue = 0;
    uint32_t txQueue = 0;
    uint32_t eventStatus = 0;
    uint32_t driverVersion = 0;

  private:
    template <typename Ready>
    WaitResult pollUntil(milliseconds limit, bool forReceive, Ready ready,
                         bool honourCancel = true);

    LinkEnv env_;
    std::vector<uint8_t> buffer_;
    std::unique_ptr<Device> device_;
    uint32_t openIndex_ = 0;  // the index device_ was opened with
    const std::atomic<bool>* cancel_ = nullptr;
    uint32_t readTimeoutMs_ = kDefaultTimeoutMs;  // the last setTimeouts
};

}  // namespace zjig
