#include "jiglink/jig_link.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "jiglink/identity.h"

namespace zjig {

const char* waitResultText(WaitResult r) {
    switch (r) {
        case WaitResult::Ok:
            return "ok";
        case WaitResult::TimedOut:
            return "timed out";
        case WaitResult::Cancelled:
            return "cancelled";
        case WaitResult::Overflow:
            return "too many bytes";
        case WaitResult::LinkError:
            return "link error";
    }
    return "?";
}

JigLink::JigLink(LinkEnv env, size_t bufferSize) : env_(std::move(env)), buffer_(bufferSize, 0) {}

JigLink::~JigLink() { close(); }

FtStatus JigLink::enumerate() {
    deviceCount = 0;
    if (!env_.devices) return FtStatus::OtherError;
    return env_.devices->createDeviceInfoList(deviceCount);
}

FtStatus JigLink::open(uint32_t index) {
    if (!env_.devices) return FtStatus::DeviceNotFound;
    // A bridge is opened once: the device held is let go before it is
    // opened again.
    if (device_ && openIndex_ == index) close();
    std::unique_ptr<Device> next;
    const FtStatus s = env_.devices->open(index, next);
    // A device that fails to open leaves the one held open: the update goes
    // on with the last device that was opened.
    if (!ftOk(s)) return s;
    close();
    device_ = std::move(next);
    openIndex_ = index;
    return s;
}

#define ZJIG_ON_DEVICE(call)                          \
    do {                                              \
        if (!device_) return FtStatus::InvalidHandle; \
        return device_->call;                         \
    } while (0)

FtStatus JigLink::reset() { ZJIG_ON_DEVICE(resetDevice()); }
FtStatus JigLink::setBaudRate(uint32_t baud) { ZJIG_ON_DEVICE(setBaudRate(baud)); }
FtStatus JigLink::setDataCharacteristics() {
    ZJIG_ON_DEVICE(setDataCharacteristics(kBits8, kStopBits1, kParityNone));
}
FtStatus JigLink::setTimeouts(uint32_t readMs, uint32_t writeMs) {
    readTimeoutMs_ = readMs;
    ZJIG_ON_DEVICE(setTimeouts(readMs, writeMs));
}
FtStatus JigLink::setLatencyTimer(uint8_t ms) { ZJIG_ON_DEVICE(setLatencyTimer(ms)); }
FtStatus JigLink::purge(uint32_t mask) { ZJIG_ON_DEVICE(purge(mask)); }
FtStatus JigLink::getDriverVersion() { ZJIG_ON_DEVICE(getDriverVersion(driverVersion)); }
FtStatus JigLink::getStatus() { ZJIG_ON_DEVICE(getStatus(rxQueue, txQueue, eventStatus)); }

#undef ZJIG_ON_DEVICE

FtStatus JigLink::write(uint32_t n) {
    bytesMoved = 0;
    if (!device_) return FtStatus::InvalidHandle;
    n = std::min<uint32_t>(n, static_cast<uint32_t>(buffer_.size()));
    return device_->write(buffer_.data(), n, bytesMoved);
}

FtStatus JigLink::send(std::initializer_list<uint8_t> bytes) {
    return send(std::data(bytes), static_cast<uint32_t>(bytes.size()));
}

FtStatus JigLink::send(const uint8_t* data, uint32_t n) {
    if (buffer_.size() < n) buffer_.resize(n);
    std::memcpy(buffer_.data(), data, n);
    return write(n);
}

FtStatus JigLink::read(uint32_t n) {
    bytesMoved = 0;
    if (!device_) return FtStatus::InvalidHandle;
    if (buffer_.size() < n) buffer_.resize(n);
    return device_->read(buffer_.data(), n, bytesMoved);
}

FtStatus JigLink::close() {
    if (!device_) return FtStatus::InvalidHandle;
    FtStatus s = device_->close();
    device_.reset();
    return s;
}

void JigLink::configure(uint32_t readMs, uint32_t writeMs) {
    reset();
    setBaudRate(kLinkBaud);
    setDataCharacteristics();
    setTimeouts(readMs, writeMs);
}

uint32_t JigLink::identify(std::string& identity) {
    buffer_[0] = kIdentifyCommand;
    write(1);
    // The identity is one line, shorter than the 32 bytes asked for: take
    // what has come as it comes and stop at its line end, instead of letting
    // one read of 32 bytes wait out the whole read time-out. A JIG that sends
    // no line end still ends at the time-out, with what it sent.
    uint8_t answer[kIdentityMaxBytes];
    uint32_t got = 0;
    const auto deadline = Clock::now() + milliseconds(readTimeoutMs_);
    while (device_ && got < kIdentityMaxBytes) {
        if (!ftOk(getStatus())) break;
        if (rxQueue > 0) {
            uint32_t moved = 0;
            const uint32_t want = std::min(rxQueue, kIdentityMaxBytes - got);
            if (!ftOk(device_->read(answer + got, want, moved))) break;
            const bool lineEnd =
                std::find(answer + got, answer + got + moved, '\n') != answer + got + moved;
            got += moved;
            if (lineEnd) break;
            continue;
        }
        if (cancelled() || Clock::now() >= deadline) break;
        device_->waitForData(rxQueue, deadline);
    }
    if (buffer_.size() < kIdentityMaxBytes) buffer_.resize(kIdentityMaxBytes);
    std::memcpy(buffer_.data(), answer, got);
    bytesMoved = got;
    if (got > 0) identity = PrintableText(buffer_.data(), got);
    return got;
}

milliseconds JigLink::effectiveLimit(milliseconds ownDefault) const {
    return env_.userTimeout ? *env_.userTimeout : ownDefault;
}

// Polls the link's status until `ready` says so. Between polls the caller
// blocks in the backend until more bytes may have come, so a silent JIG costs
// no CPU; the deadline and the cancel flag end every wait.
template <typename Ready>
WaitResult JigLink::pollUntil(milliseconds limit, bool forReceive, Ready ready, bool honourCancel) {
    const auto deadline = Clock::now() + (honourCancel ? effectiveLimit(limit) : limit);
    while (true) {
        if (!ftOk(getStatus())) return WaitResult::LinkError;
        WaitResult r = ready();
        if (r != WaitResult::TimedOut) return r;
        if (honourCancel && cancelled()) return WaitResult::Cancelled;
        const auto now = Clock::now();
        if (now >= deadline) return WaitResult::TimedOut;
        if (forReceive) {
            // Wake at least every 50 ms so a cancel is seen promptly.
            device_->waitForData(rxQueue, std::min(deadline, now + std::chrono::milliseconds(50)));
        } else {
            // Bytes leave at about 11 us each at 921600 baud: look again soon.
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
}

WaitResult JigLink::waitForInput(uint32_t k, milliseconds limit) {
    if (!device_) return WaitResult::LinkError;
    return pollUntil(limit, true,
                     [&] { return rxQueue >= k ? WaitResult::Ok : WaitResult::TimedOut; });
}

WaitResult JigLink::waitForExactly(uint32_t k, milliseconds limit) {
    if (!device_) return WaitResult::LinkError;
    return pollUntil(limit, true, [&] {
        if (rxQueue == k) return WaitResult::Ok;
        return rxQueue > k ? WaitResult::Overflow : WaitResult::TimedOut;
    });
}

WaitResult JigLink::readByte(milliseconds limit) {
    if (!device_) return WaitResult::LinkError;
    const auto deadline = Clock::now() + effectiveLimit(limit);
    while (true) {
        // Take the byte at once when it is queued; otherwise wait for it
        // in the backend rather than in a read, so a cancel is seen promptly.
        if (!ftOk(getStatus())) return WaitResult::LinkError;
        if (rxQueue > 0) {
            if (!ftOk(read(1))) return WaitResult::LinkError;
            if (bytesMoved == 1) return WaitResult::Ok;
        }
        if (cancelled()) return WaitResult::Cancelled;
        const auto now = Clock::now();
        if (now >= deadline) return WaitResult::TimedOut;
        device_->waitForData(rxQueue, std::min(deadline, now + std::chrono::milliseconds(50)));
    }
}

WaitResult JigLink::drain(milliseconds limit) {
    if (!device_) return WaitResult::LinkError;
    return pollUntil(limit, false,
                     [&] { return txQueue == 0 ? WaitResult::Ok : WaitResult::TimedOut; });
}

bool JigLink::takeClosingAnswer(milliseconds limit) {
    if (!device_) return false;
    const WaitResult r = pollUntil(
        limit, true, [&] { return rxQueue >= 1 ? WaitResult::Ok : WaitResult::TimedOut; }, false);
    return r == WaitResult::Ok && ftOk(read(1)) && bytesMoved == 1;
}

void JigLink::drainAndClose() {
    if (!device_) return;
    pollUntil(
        kClosingDrain, false, [&] { return txQueue == 0 ? WaitResult::Ok : WaitResult::TimedOut; },
        false);
    close();
}

}  // namespace zjig
