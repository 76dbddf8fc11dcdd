#include "sim/link.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

// The JIG's receive side and the bridge's receive buffer are finite; what does
// not fit is lost, as with an overrun on the real parts.
constexpr size_t kJigRxCapacity = 64 * 1024;
constexpr size_t kHostRxCapacity = 64 * 1024;
// The record of the PC's bytes keeps the latest ones only, so that a long run
// of the program on a simulated JIG does not grow without bound.
constexpr size_t kHostLogCapacity = 16 * 1024 * 1024;
// Start, eight data bits, stop.
constexpr uint64_t kBitsPerByte = 10;

}  // namespace

void Uart::put(const char* text) { put(reinterpret_cast<const uint8_t*>(text), std::strlen(text)); }

Link::Link(bool realSpeed) : realSpeed_(realSpeed) {}

Clock::duration Link::byteTime(uint32_t baud) const {
    if (baud == 0) baud = kBridgeDefaultBaud;
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(kBitsPerByte * 1'000'000'000ull / baud));
}

uint32_t Link::hostLineBaud() const { return hostFormatOk_ ? hostBaud_ : 0; }

void Link::settle(Clock::time_point now) {
    while (!toJig_.empty() && toJig_.front().arrives <= now) {
        const OnWire w = toJig_.front();
        toJig_.pop_front();
        if (w.baud != jigBaud_) continue;  // garbled framing
        if (jigRx_.size() >= kJigRxCapacity) {
            ++overrun_;
            continue;
        }
        jigRx_.push_back(w.byte);
    }
    while (!toHost_.empty() && toHost_.front().arrives <= now) {
        const OnWire w = toHost_.front();
        toHost_.pop_front();
        if (w.baud != hostLineBaud()) continue;
        if (hostRx_.size() >= kHostRxCapacity) continue;
        auto visible = realSpeed_ ? w.arrives + std::chrono::milliseconds(latencyMs_) : w.arrives;
        // The bridge hands bytes on in the order they came.
        visible = std::max(visible, lastVisible_);
        lastVisible_ = visible;
        hostRx_.push_back({w.byte, visible});
    }
}

size_t Link::visibleCount(Clock::time_point now) const {
    auto it = std::partition_point(hostRx_.begin(), hostRx_.end(),
                                   [&](const Received& r) { return r.visible <= now; });
    return static_cast<size_t>(it - hostRx_.begin());
}

std::optional<Clock::time_point> Link::nextPcEvent() const {
    std::optional<Clock::time_point> next;
    if (!toHost_.empty()) next = toHost_.front().arrives;
    const auto now = Clock::now();
    const size_t k = visibleCount(now);
    if (k < hostRx_.size()) {
        const auto t = hostRx_[k].visible;
        next = next ? std::min(*next, t) : t;
    }
    return next;
}

// ---- PC side ----

bool Link::open() {
    std::lock_guard lk(m_);
    if (open_) return false;
    settle(Clock::now());
    open_ = true;
    hostBaud_ = kBridgeDefaultBaud;
    hostFormatOk_ = true;
    latencyMs_ = kBridgeDefaultLatencyMs;
    readTimeoutMs_ = 0;
    hostRx_.clear();
    toJig_.clear();
    return true;
}

void Link::close() {
    std::lock_guard lk(m_);
    open_ = false;
    cv_.notify_all();
}

bool Link::isOpen() const {
    std::lock_guard lk(m_);
    return open_;
}

void Link::resetDevice() { purge(true, true); }

void Link::setBaudRate(uint32_t baud) {
    if (baud == 0) return;
    std::lock_guard lk(m_);
    settle(Clock::now());
    hostBaud_ = baud;
}

void Link::setLineFormat(bool matchesJig) {
    std::lock_guard lk(m_);
    settle(Clock::now());
    hostFormatOk_ = matchesJig;
}

void Link::setLatencyTimer(uint8_t ms) {
    std::lock_guard lk(m_);
    settle(Clock::now());
    latencyMs_ = ms;
}

void Link::setTimeouts(uint32_t readMs, uint32_t /*writeMs*/) {
    // Writes never block here (the transmit queue has no limit), so only the
    // read time-out matters.
    std::lock_guard lk(m_);
    readTimeoutMs_ = readMs;
}

size_t Link::write(const uint8_t* data, size_t n) {
    std::lock_guard lk(m_);
    if (!open_) return 0;
    const auto now = Clock::now();
    settle(now);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = data[i];
        hostLog_.push_back(b);
        if (hostLog_.size() > kHostLogCapacity) hostLog_.pop_front();
        const uint32_t baud = hostLineBaud();
        Clock::time_point arrives = now;
        if (realSpeed_) {
            hostLineFree_ = std::max(now, hostLineFree_) + byteTime(hostBaud_);
            arrives = hostLineFree_;
        }
        toJig_.push_back({b, arrives, baud});
        if (technician_ && !pressAt_ && technician_(b, baud)) requestPressLocked(now);
    }
    cv_.notify_all();
    return n;
}

size_t Link::read(uint8_t* data, size_t n) {
    std::unique_lock lk(m_);
    if (!open_) return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(readTimeoutMs_);
    for (;;) {
        const auto now = Clock::now();
        settle(now);
        const size_t k = visibleCount(now);
        if (!open_) return 0;
        if (k >= n || now >= deadline) {
            const size_t take = std::min(k, n);
            for (size_t i = 0; i < take; ++i) {
                data[i] = hostRx_.front().byte;
                hostRx_.pop_front();
            }
            return take;
        }
        auto wake = deadline;
        if (auto e = nextPcEvent()) wake = std::min(wake, *e);
        cv_.wait_until(lk, wake);
    }
}

void Link::status(uint32_t& rxQueue, uint32_t& txQueue) {
    std::lock_guard lk(m_);
    rxQueue = txQueue = 0;
    if (!open_) return;
    const auto now = Clock::now();
    settle(now);
    rxQueue = static_cast<uint32_t>(visibleCount(now));
    txQueue = static_cast<uint32_t>(toJig_.size());
}

void Link::purge(bool rx, bool tx) {
    std::lock_guard lk(m_);
    settle(Clock::now());
    if (rx) hostRx_.clear();
    if (tx) toJig_.clear();
}

void Link::waitForData(uint32_t rxSeen, Clock::time_point until) {
    std::unique_lock lk(m_);
    for (;;) {
        const auto now = Clock::now();
        settle(now);
        if (!open_ || visibleCount(now) > rxSeen || now >= until) return;
        auto wake = until;
        if (auto e = nextPcEvent()) wake = std::min(wake, *e);
        cv_.wait_until(lk, wake);
    }
}

std::vector<uint8_t> Link::takeHostBytes() {
    std::lock_guard lk(m_);
    std::vector<uint8_t> out(hostLog_.begin(), hostLog_.end());
    hostLog_.clear();
    return out;
}

// ---- JIG side ----

uint8_t Link::get() {
    std::unique_lock lk(m_);
    for (;;) {
        if (poweredOff_) throw PoweredOff{};
        const auto now = Clock::now();
        settle(now);
        if (pressAt_ && *pressAt_ <= now) {
            // The reset drops whatever the UART held.
            pressAt_.reset();
            ++presses_;
            jigRx_.clear();
            if (pressHook_) pressHook_();
            cv_.notify_all();
            throw ResetPressed{};
        }
        if (!jigRx_.empty()) {
            const uint8_t b = jigRx_.front();
            jigRx_.pop_front();
            return b;
        }
        std::optional<Clock::time_point> wake = pressAt_;
        if (!toJig_.empty())
            wake = wake ? std::min(*wake, toJig_.front().arrives) : toJig_.front().arrives;
        if (wake)
            cv_.wait_until(lk, *wake);
        else
            cv_.wait(lk);
    }
}

void Link::putLocked(const uint8_t* data, size_t n, Clock::time_point now) {
    for (size_t i = 0; i < n; ++i) {
        Clock::time_point arrives = now;
        if (realSpeed_) {
            jigLineFree_ = std::max(now, jigLineFree_) + byteTime(jigBaud_);
            arrives = jigLineFree_;
        }
        toHost_.push_back({data[i], arrives, jigBaud_});
    }
    cv_.notify_all();
}

void Link::put(const uint8_t* data, size_t n) {
    std::lock_guard lk(m_);
    const auto now = Clock::now();
    settle(now);
    putLocked(data, n, now);
}

void Link::setJigBaud(uint32_t baud) {
    std::lock_guard lk(m_);
    settle(Clock::now());
    jigBaud_ = baud;
}

void Link::putThenSetBaud(const uint8_t* data, size_t n, uint32_t newBaud) {
    std::lock_guard lk(m_);
    const auto now = Clock::now();
    settle(now);
    putLocked(data, n, now);
    jigBaud_ = newBaud;
}

uint32_t Link::jigBaud() const {
    std::lock_guard lk(m_);
    return jigBaud_;
}

// ---- reset button ----

void Link::setResetPolicy(std::optional<std::chrono::milliseconds> delay) {
    std::lock_guard lk(m_);
    resetDelay_ = delay;
}

void Link::requestPressLocked(Clock::time_point now) {
    if (!resetDelay_ || pressAt_) return;
    pressAt_ = now + *resetDelay_;
    cv_.notify_all();
}

void Link::askForReset() {
    std::lock_guard lk(m_);
    requestPressLocked(Clock::now());
}

void Link::pressResetNow() {
    std::lock_guard lk(m_);
    pressAt_ = Clock::now();
    cv_.notify_all();
}

int Link::resetPresses() const {
    std::lock_guard lk(m_);
    return presses_;
}

void Link::setTechnician(std::function<bool(uint8_t, uint32_t)> watch) {
    std::lock_guard lk(m_);
    technician_ = std::move(watch);
}

void Link::setPressHook(std::function<void()> hook) {
    std::lock_guard lk(m_);
    pressHook_ = std::move(hook);
}

void Link::powerOff() {
    std::lock_guard lk(m_);
    poweredOff_ = true;
    cv_.notify_all();
}

uint64_t Link::overrunBytes() const {
    std::lock_guard lk(m_);
    return overrun_;
}

}  // namespace sim
