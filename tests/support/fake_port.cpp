#include "support/fake_port.h"

#include <algorithm>
#include <cstdio>
#include <deque>

namespace zjig::test {

namespace {

class FakeDevice : public Device {
public:
    FakeDevice(FakeDeviceScript script, std::shared_ptr<FakeLog> log, uint32_t index)
        : script_(std::move(script)), log_(std::move(log)), id_(std::to_string(index)) {}

    FtStatus resetDevice() override { return config("reset " + id_); }
    FtStatus setBaudRate(uint32_t baud) override {
        return config("baud " + id_ + " " + std::to_string(baud));
    }
    FtStatus setDataCharacteristics(uint8_t bits, uint8_t stop, uint8_t parity) override {
        return config("format " + id_ + " " + std::to_string(bits) + std::to_string(stop) +
                      std::to_string(parity));
    }
    FtStatus setTimeouts(uint32_t r, uint32_t w) override {
        return config("timeouts " + id_ + " " + std::to_string(r) + " " + std::to_string(w));
    }
    FtStatus setLatencyTimer(uint8_t ms) override {
        log_->add("latency " + id_ + " " + std::to_string(ms));
        return FtStatus::Ok;
    }
    FtStatus write(const uint8_t* data, uint32_t n, uint32_t& moved) override {
        for (uint32_t i = 0; i < n; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X", data[i]);
            log_->add("write " + id_ + " " + hex);
            const auto& answer =
                data[i] == 'B' ? script_.identity : script_.answers[data[i]];
            rx_.insert(rx_.end(), answer.begin(), answer.end());
        }
        moved = n;
        return FtStatus::Ok;
    }
    FtStatus read(uint8_t* data, uint32_t n, uint32_t& moved) override {
        log_->add("read " + id_ + " " + std::to_string(n));
        moved = std::min<uint32_t>(n, static_cast<uint32_t>(rx_.size()));
        for (uint32_t i = 0; i < moved; ++i) {
            data[i] = rx_.front();
            rx_.pop_front();
        }
        return FtStatus::Ok;
    }
    FtStatus getStatus(uint32_t& rx, uint32_t& tx, uint32_t& ev) override {
        rx = static_cast<uint32_t>(rx_.size());
        tx = 0;
        ev = 0;
        return FtStatus::Ok;
    }
    FtStatus purge(uint32_t mask) override {
        log_->add("purge " + id_ + " " + std::to_string(mask));
        if (mask & kPurgeRx) rx_.clear();
        return FtStatus::Ok;
    }
    FtStatus getDriverVersion(uint32_t& v) override {
        v = script_.driverVersion;
        return FtStatus::Ok;
    }
    FtStatus close() override {
        log_->add("close " + id_);
        return FtStatus::Ok;
    }

private:
    FtStatus config(std::string call) {
        log_->add(std::move(call));
        return script_.configStatus;
    }
    FakeDeviceScript script_;
    std::shared_ptr<FakeLog> log_;
    std::string id_;
    std::deque<uint8_t> rx_;
};

}  // namespace

bool FakePort::count(uint32_t& n, std::string& error) {
    if (!listable_) {
        error = "fake: cannot list";
        return false;
    }
    n = static_cast<uint32_t>(devices_.size());
    return true;
}

FtStatus FakePort::open(uint32_t indexInPort, std::unique_ptr<Device>& out) {
    const uint32_t index = first_ + indexInPort;
    if (indexInPort >= devices_.size() || !devices_[indexInPort].opens) {
        log_->add("open-failed " + std::to_string(index));
        return FtStatus::DeviceNotOpened;
    }
    log_->add("open " + std::to_string(index));
    out = std::make_unique<FakeDevice>(devices_[indexInPort], log_, index);
    return FtStatus::Ok;
}

DeviceList fakeDeviceList(std::vector<FakeDeviceScript> devices, std::shared_ptr<FakeLog> log) {
    DeviceList list;
    list.addPort(std::make_unique<FakePort>(std::move(devices), std::move(log)));
    return list;
}

}  // namespace zjig::test
