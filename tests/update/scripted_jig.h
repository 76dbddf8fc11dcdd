// A JIG whose answers a test writes by hand: every chunk the PC writes goes to
// a responder that may queue answer bytes. Used where the simulated JIG has no
// way to give the odd answer a test needs (a bad wake answer, a refused line).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "jiglink/device.h"

namespace zjig::test {

class ScriptedJig {
  public:
    // Called with each written chunk, under the JIG's lock; queue answers with reply().
    using Responder = std::function<void(ScriptedJig& jig, const std::vector<uint8_t>& chunk)>;

    void setResponder(Responder r) {
        std::lock_guard<std::mutex> lock(mutex_);
        responder_ = std::move(r);
    }
    // Queues answer bytes (from inside the responder, or from the test).
    void reply(const std::vector<uint8_t>& bytes) {
        rx_.insert(rx_.end(), bytes.begin(), bytes.end());
    }
    void reply(const std::string& text) { reply(std::vector<uint8_t>(text.begin(), text.end())); }
    // From inside the responder: the status shows at most one queued byte, so
    // the PC takes an answer in pieces.
    void trickle(bool on) { trickle_ = on; }
    uint32_t baud() const { return baud_; }
    // From inside the responder: how many purges the PC has made so far.
    int purgesSoFar() const { return purges_; }

    // Every byte the PC wrote, in order.
    std::vector<uint8_t> host() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return host_;
    }
    std::string hostText() const {
        auto bytes = host();
        return std::string(bytes.begin(), bytes.end());
    }
    std::vector<std::vector<uint8_t>> chunks() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return chunks_;
    }
    int purges() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return purges_;
    }

    // A port offering this JIG as its only device.
    std::unique_ptr<Port> port();

  private:
    friend class ScriptedDevice;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    Responder responder_;
    std::deque<uint8_t> rx_;
    std::vector<uint8_t> host_;
    std::vector<std::vector<uint8_t>> chunks_;
    uint32_t baud_ = 0;
    int purges_ = 0;
    bool trickle_ = false;
};

class ScriptedDevice : public Device {
  public:
    explicit ScriptedDevice(ScriptedJig& jig) : jig_(jig) {}

    FtStatus resetDevice() override {
        std::lock_guard<std::mutex> lock(jig_.mutex_);
        jig_.rx_.clear();
        return FtStatus::Ok;
    }
    FtStatus setBaudRate(uint32_t baud) override {
        std::lock_guard<std::mutex> lock(jig_.mutex_);
        jig_.baud_ = baud;
        return FtStatus::Ok;
    }
    FtStatus setDataCharacteristics(uint8_t, uint8_t, uint8_t) override { return FtStatus::Ok; }
    FtStatus setTimeouts(uint32_t, uint32_t) override { return FtStatus::Ok; }
    FtStatus setLatencyTimer(uint8_t) override { return FtStatus::Ok; }
    FtStatus write(const uint8_t* data, uint32_t n, uint32_t& moved) override {
        {
            std::lock_guard<std::mutex> lock(jig_.mutex_);
            std::vector<uint8_t> chunk(data, data + n);
            jig_.host_.insert(jig_.host_.end(), chunk.begin(), chunk.end());
            jig_.chunks_.push_back(chunk);
            if (jig_.responder_) jig_.responder_(jig_, chunk);
        }
        jig_.cv_.notify_all();
        moved = n;
        return FtStatus::Ok;
    }
    // Answers are queued at once by the responder, so a read never needs to
    // wait for its time-out: it returns what is there.
    FtStatus read(uint8_t* data, uint32_t n, uint32_t& moved) override {
        std::lock_guard<std::mutex> lock(jig_.mutex_);
        moved = 0;
        while (moved < n && !jig_.rx_.empty()) {
            data[moved++] = jig_.rx_.front();
            jig_.rx_.pop_front();
        }
        return FtStatus::Ok;
    }
    FtStatus getStatus(uint32_t& rxQueue, uint32_t& txQueue, uint32_t& eventStatus) override {
        std::lock_guard<std::mutex> lock(jig_.mutex_);
        rxQueue = static_cast<uint32_t>(jig_.rx_.size());
        if (jig_.trickle_ && rxQueue > 1) rxQueue = 1;
        txQueue = 0;
        eventStatus = 0;
        return FtStatus::Ok;
    }
    FtStatus purge(uint32_t mask) override {
        std::lock_guard<std::mutex> lock(jig_.mutex_);
        if (mask & kPurgeRx) jig_.rx_.clear();
        ++jig_.purges_;
        return FtStatus::Ok;
    }
    FtStatus getDriverVersion(uint32_t& version) override {
        version = 0x00021228;
        return FtStatus::Ok;
    }
    FtStatus close() override { return FtStatus::Ok; }
    void waitForData(uint32_t rxSeen, Clock::time_point until) override {
        std::unique_lock<std::mutex> lock(jig_.mutex_);
        jig_.cv_.wait_until(lock, until, [&] { return jig_.rx_.size() > rxSeen; });
    }

  private:
    ScriptedJig& jig_;
};

class ScriptedPort : public Port {
  public:
    explicit ScriptedPort(ScriptedJig& jig) : jig_(jig) {}
    bool count(uint32_t& n, std::string&) override {
        n = 1;
        return true;
    }
    FtStatus open(uint32_t, std::unique_ptr<Device>& out) override {
        out = std::make_unique<ScriptedDevice>(jig_);
        return FtStatus::Ok;
    }
    std::string describe() const override { return "scripted JIG"; }

  private:
    ScriptedJig& jig_;
};

inline std::unique_ptr<Port> ScriptedJig::port() { return std::make_unique<ScriptedPort>(*this); }

}  // namespace zjig::test
