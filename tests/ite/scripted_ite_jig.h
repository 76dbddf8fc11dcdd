// A JIG whose answers a test writes: every write call of the PC is kept as
// one command, and the responder gives the bytes queued for the PC in
// return. For what the simulated JIG does not do: odd answer bytes, a
// flooded receive queue, and the check that each command goes out in one
// write.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "jiglink/device.h"
#include "jiglink/jig_link.h"

namespace zjig::test {

using Bytes = std::vector<uint8_t>;

class ScriptedIteJig {
  public:
    using Responder = std::function<Bytes(const Bytes& command)>;

    explicit ScriptedIteJig(Responder responder) : s_(std::make_shared<Shared>()) {
        s_->responder = std::move(responder);
        devices_.addPort(std::make_unique<FakePort>(s_));
    }

    LinkEnv env(std::optional<milliseconds> timeout = std::nullopt) {
        return LinkEnv{&devices_, timeout};
    }
    // Every write call so far, in order.
    std::vector<Bytes> writes() const {
        std::lock_guard<std::mutex> lock(s_->m);
        return s_->writes;
    }

  private:
    struct Shared {
        std::mutex m;
        Responder responder;
        std::vector<Bytes> writes;
        std::deque<uint8_t> rx;
    };

    class FakeDevice : public Device {
      public:
        explicit FakeDevice(std::shared_ptr<Shared> s) : s_(std::move(s)) {}
        FtStatus resetDevice() override { return FtStatus::Ok; }
        FtStatus setBaudRate(uint32_t) override { return FtStatus::Ok; }
        FtStatus setDataCharacteristics(uint8_t, uint8_t, uint8_t) override { return FtStatus::Ok; }
        FtStatus setTimeouts(uint32_t, uint32_t) override { return FtStatus::Ok; }
        FtStatus setLatencyTimer(uint8_t) override { return FtStatus::Ok; }
        FtStatus write(const uint8_t* data, uint32_t n, uint32_t& moved) override {
            std::lock_guard<std::mutex> lock(s_->m);
            Bytes command(data, data + n);
            s_->writes.push_back(command);
            for (uint8_t b : s_->responder(command)) s_->rx.push_back(b);
            moved = n;
            return FtStatus::Ok;
        }
        FtStatus read(uint8_t* data, uint32_t n, uint32_t& moved) override {
            std::lock_guard<std::mutex> lock(s_->m);
            moved = static_cast<uint32_t>(std::min<size_t>(n, s_->rx.size()));
            for (uint32_t i = 0; i < moved; ++i) {
                data[i] = s_->rx.front();
                s_->rx.pop_front();
            }
            return FtStatus::Ok;
        }
        FtStatus getStatus(uint32_t& rx, uint32_t& tx, uint32_t& ev) override {
            std::lock_guard<std::mutex> lock(s_->m);
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
            return FtStatus::Ok;
        }

      private:
        std::shared_ptr<Shared> s_;
    };

    class FakePort : public Port {
      public:
        explicit FakePort(std::shared_ptr<Shared> s) : s_(std::move(s)) {}
        bool count(uint32_t& n, std::string&) override {
            n = 1;
            return true;
        }
        FtStatus open(uint32_t, std::unique_ptr<Device>& out) override {
            out = std::make_unique<FakeDevice>(s_);
            return FtStatus::Ok;
        }
        std::string describe() const override { return "scripted ITE JIG"; }

      private:
        std::shared_ptr<Shared> s_;
    };

    std::shared_ptr<Shared> s_;
    DeviceList devices_;
};

// A third-generation JIG with a controller that answers every command as it
// should (registers 0..2: 12h 34h 05h; every flash byte 5Ah); `change` may
// replace the answer to any command.
inline ScriptedIteJig::Responder goodJig3(
    std::function<std::optional<Bytes>(const Bytes&)> change = {}) {
    return [change](const Bytes& c) -> Bytes {
        if (change)
            if (auto answer = change(c)) return *answer;
        if (c == Bytes{'B'}) return Bytes{'M', '3', '2', '8', '_', 'E', 'P', 'M', '2', '4', '0'};
        if (c.size() >= 2 && c[0] == 'T') {
            switch (c[1]) {
                case 'R':
                    return {0x12};
                case 'r': {
                    Bytes block(256, 0x5A);
                    block.push_back('o');
                    return block;
                }
                default:
                    return {'o'};
            }
        }
        if (c == Bytes{'I'} || c == Bytes{'O'}) return {'G'};
        return {};
    };
}

}  // namespace zjig::test
