// The bones every scripted JIG of the mode tests shares: one port offering
// one device, a bridge that takes every setting, and a receive queue of the
// JIG's answers for the PC to read. What makes a JIG of its own is its
// state, a struct derived from FakeJigState: what the JIG does with each
// write of the PC (`received`, which every state defines) and, where it needs
// to, what it does when the PC reads, looks at the receive queue, waits for
// data or closes the connection (the hooks below, hidden by the state's
// own). Every call runs under the state's lock.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jiglink/device.h"
#include "jiglink/jig_link.h"

namespace zjig::test {

struct FakeJigState {
    std::mutex m;
    std::deque<uint8_t> rx;  // answers the PC has not read yet
    int open = 0;            // connections opened and not closed

    void put(uint8_t b) { rx.push_back(b); }
    void put(const std::vector<uint8_t>& bytes) { rx.insert(rx.end(), bytes.begin(), bytes.end()); }
    void put(std::string_view text) { rx.insert(rx.end(), text.begin(), text.end()); }

    // The PC asks to read `n` bytes (before they are taken from the queue).
    void reading(uint32_t /*n*/) {}
    // The PC asks how many bytes are queued (before it is told).
    void looking() {}
    // The PC waits for more bytes: true when the JIG has just sent some.
    bool arrive() { return false; }
    // The PC closes the connection (before the queue is emptied).
    void closing() {}
};

// A JIG whose state is `State` (derived from FakeJigState).
template <class State>
class FakeJig {
  public:
    explicit FakeJig(std::string description) : state_(std::make_shared<State>()) {
        devices_.addPort(std::make_unique<OnePort>(state_, std::move(description)));
    }

    LinkEnv env(std::optional<milliseconds> timeout = std::nullopt) {
        return LinkEnv{&devices_, timeout};
    }
    DeviceList& devices() { return devices_; }
    // Connections opened and not closed.
    int openConnections() const {
        return locked([](const State& s) { return s.open; });
    }

  protected:
    // Runs `f` on the state under its lock and returns what it returns.
    template <class F>
    auto locked(F f) const {
        std::lock_guard<std::mutex> lock(state_->m);
        return f(*state_);
    }

    // Shared with the device, which may outlive the JIG in a test.
    std::shared_ptr<State> state_;

  private:
    class OneDevice : public Device {
      public:
        explicit OneDevice(std::shared_ptr<State> s) : s_(std::move(s)) {}
        FtStatus resetDevice() override { return FtStatus::Ok; }
        FtStatus setBaudRate(uint32_t) override { return FtStatus::Ok; }
        FtStatus setDataCharacteristics(uint8_t, uint8_t, uint8_t) override { return FtStatus::Ok; }
        FtStatus setTimeouts(uint32_t, uint32_t) override { return FtStatus::Ok; }
        FtStatus setLatencyTimer(uint8_t) override { return FtStatus::Ok; }
        FtStatus write(const uint8_t* data, uint32_t n, uint32_t& moved) override {
            std::lock_guard<std::mutex> lock(s_->m);
            s_->received(data, n);
            moved = n;
            return FtStatus::Ok;
        }
        FtStatus read(uint8_t* data, uint32_t n, uint32_t& moved) override {
            std::lock_guard<std::mutex> lock(s_->m);
            s_->reading(n);
            moved = static_cast<uint32_t>(std::min<size_t>(n, s_->rx.size()));
            for (uint32_t i = 0; i < moved; ++i) {
                data[i] = s_->rx.front();
                s_->rx.pop_front();
            }
            return FtStatus::Ok;
        }
        FtStatus getStatus(uint32_t& rx, uint32_t& tx, uint32_t& ev) override {
            std::lock_guard<std::mutex> lock(s_->m);
            s_->looking();
            rx = static_cast<uint32_t>(s_->rx.size());
            tx = 0;
            ev = 0;
            return FtStatus::Ok;
        }
        FtStatus purge(uint32_t) override { return FtStatus::Ok; }
        FtStatus getDriverVersion(uint32_t& v) override {
            v = 0;
            return FtStatus::Ok;
        }
        FtStatus close() override {
            std::lock_guard<std::mutex> lock(s_->m);
            s_->closing();
            s_->rx.clear();
            --s_->open;
            return FtStatus::Ok;
        }
        void waitForData(uint32_t rxSeen, Clock::time_point until) override {
            {
                std::lock_guard<std::mutex> lock(s_->m);
                if (s_->arrive()) return;
            }
            Device::waitForData(rxSeen, until);
        }

      private:
        std::shared_ptr<State> s_;
    };

    class OnePort : public Port {
      public:
        OnePort(std::shared_ptr<State> s, std::string description)
            : s_(std::move(s)), description_(std::move(description)) {}
        bool count(uint32_t& n, std::string&) override {
            n = 1;
            return true;
        }
        FtStatus open(uint32_t, std::unique_ptr<Device>& out) override {
            std::lock_guard<std::mutex> lock(s_->m);
            ++s_->open;
            out = std::make_unique<OneDevice>(s_);
            return FtStatus::Ok;
        }
        std::string describe() const override { return description_; }

      private:
        std::shared_ptr<State> s_;
        std::string description_;
    };

    DeviceList devices_;
};

}  // namespace zjig::test
