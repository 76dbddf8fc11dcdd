// A scripted third-generation JIG whose answer to 'E' 'r' reaches the PC in
// pieces: one more piece each time the PC looks at the receive queue. It
// records every byte the PC sent and the size of every read the PC asked for.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "jiglink/device.h"
#include "jiglink/jig_link.h"

namespace zjig::test {

class PiecewiseEdidJig {
  public:
    PiecewiseEdidJig(std::vector<uint8_t> readAnswer, std::vector<size_t> pieces)
        : shared_(std::make_shared<Shared>()) {
        shared_->answer = std::move(readAnswer);
        shared_->pieces = std::move(pieces);
        devices_.addPort(std::make_unique<OnePort>(shared_));
    }

    LinkEnv env() { return LinkEnv{&devices_, std::nullopt}; }
    std::vector<uint8_t> hostBytes() const {
        std::lock_guard<std::mutex> lock(shared_->m);
        return shared_->host;
    }
    // The byte counts the PC asked for in each read after 'E' 'r'.
    std::vector<uint32_t> readsAsked() const {
        std::lock_guard<std::mutex> lock(shared_->m);
        return shared_->readsAsked;
    }

  private:
    struct Shared {
        std::mutex m;
        std::vector<uint8_t> answer;
        std::vector<size_t> pieces;
        std::deque<std::vector<uint8_t>> pending;
        std::deque<uint8_t> rx;
        std::vector<uint8_t> host;
        std::vector<uint32_t> readsAsked;
        bool prefix = false;
        bool reading = false;

        void put(const std::string& s) { rx.insert(rx.end(), s.begin(), s.end()); }
        void take(uint8_t c) {
            host.push_back(c);
            if (prefix) {
                prefix = false;
                if (c != 'r') return;
                reading = true;
                size_t at = 0;
                for (size_t n : pieces) {
                    pending.emplace_back(answer.begin() + static_cast<long>(at),
                                         answer.begin() + static_cast<long>(at + n));
                    at += n;
                }
            } else if (c == 'B') {
                put("M328_EPM240_v16\r\n");
            } else if (c == 'E') {
                prefix = true;
            } else if (c == 'I' || c == 'O') {
                put("G");
            }
        }
    };

    class OneDevice : public Device {
      public:
        explicit OneDevice(std::shared_ptr<Shared> s) : s_(std::move(s)) {}
        FtStatus resetDevice() override { return FtStatus::Ok; }
        FtStatus setBaudRate(uint32_t) override { return FtStatus::Ok; }
        FtStatus setDataCharacteristics(uint8_t, uint8_t, uint8_t) override { return FtStatus::Ok; }
        FtStatus setTimeouts(uint32_t, uint32_t) override { return FtStatus::Ok; }
        FtStatus setLatencyTimer(uint8_t) override { return FtStatus::Ok; }
        FtStatus write(const uint8_t* data, uint32_t n, uint32_t& moved) override {
            std::lock_guard<std::mutex> lock(s_->m);
            for (uint32_t i = 0; i < n; ++i) s_->take(data[i]);
            moved = n;
            return FtStatus::Ok;
        }
        FtStatus read(uint8_t* data, uint32_t n, uint32_t& moved) override {
            std::lock_guard<std::mutex> lock(s_->m);
            if (s_->reading) s_->readsAsked.push_back(n);
            moved = static_cast<uint32_t>(std::min<size_t>(n, s_->rx.size()));
            for (uint32_t i = 0; i < moved; ++i) {
                data[i] = s_->rx.front();
                s_->rx.pop_front();
            }
            return FtStatus::Ok;
        }
        FtStatus getStatus(uint32_t& rx, uint32_t& tx, uint32_t& ev) override {
            std::lock_guard<std::mutex> lock(s_->m);
            if (!s_->pending.empty()) {
                s_->rx.insert(s_->rx.end(), s_->pending.front().begin(), s_->pending.front().end());
                s_->pending.pop_front();
            }
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
            s_->rx.clear();
            s_->reading = false;
            return FtStatus::Ok;
        }

      private:
        std::shared_ptr<Shared> s_;
    };

    class OnePort : public Port {
      public:
        explicit OnePort(std::shared_ptr<Shared> s) : s_(std::move(s)) {}
        bool count(uint32_t& n, std::string&) override {
            n = 1;
            return true;
        }
        FtStatus open(uint32_t, std::unique_ptr<Device>& out) override {
            out = std::make_unique<OneDevice>(s_);
            return FtStatus::Ok;
        }
        std::string describe() const override { return "piecewise EDID JIG"; }

      private:
        std::shared_ptr<Shared> s_;
    };

    std::shared_ptr<Shared> shared_;
    DeviceList devices_;
};

}  // namespace zjig::test
