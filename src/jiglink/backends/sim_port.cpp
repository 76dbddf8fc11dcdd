// The built-in simulated JIG as a port of one device. The port keeps one
// simulated JIG for its whole life, so that what a run writes into it is
// still there when the program opens it again.
#include <memory>

#include "jiglink/backends/backends.h"
#include "sim/sim_jig.h"

namespace zjig {

namespace {

class SimDeviceHandle : public Device {
  public:
    explicit SimDeviceHandle(std::shared_ptr<sim::SimDevice> sim) : sim_(std::move(sim)) {}
    ~SimDeviceHandle() override { close(); }

    FtStatus resetDevice() override {
        if (!sim_) return FtStatus::InvalidHandle;
        sim_->resetDevice();
        return FtStatus::Ok;
    }
    FtStatus setBaudRate(uint32_t baud) override {
        if (!sim_) return FtStatus::InvalidHandle;
        if (baud == 0) return FtStatus::InvalidBaudRate;
        sim_->setBaudRate(baud);
        return FtStatus::Ok;
    }
    FtStatus setDataCharacteristics(uint8_t bits, uint8_t stopBits, uint8_t parity) override {
        if (!sim_) return FtStatus::InvalidHandle;
        // The words the bridge knows: 7 or 8 data bits, 1 or 2 stop bits
        // (0, 2), parity none, odd, even, mark, space (0-4).
        if ((bits != 7 && bits != 8) || (stopBits != 0 && stopBits != 2) || parity > 4)
            return FtStatus::InvalidParameter;
        sim_->setDataCharacteristics(bits, stopBits, parity);
        return FtStatus::Ok;
    }
    FtStatus setTimeouts(uint32_t readMs, uint32_t writeMs) override {
        if (!sim_) return FtStatus::InvalidHandle;
        sim_->setTimeouts(readMs, writeMs);
        return FtStatus::Ok;
    }
    FtStatus setLatencyTimer(uint8_t ms) override {
        if (!sim_) return FtStatus::InvalidHandle;
        if (ms < 2) return FtStatus::InvalidParameter;  // the bridge takes 2-255 ms
        sim_->setLatencyTimer(ms);
        return FtStatus::Ok;
    }
    FtStatus write(const uint8_t* data, uint32_t n, uint32_t& moved) override {
        moved = 0;
        if (!sim_) return FtStatus::InvalidHandle;
        moved = static_cast<uint32_t>(sim_->write(data, n));
        return FtStatus::Ok;
    }
    FtStatus read(uint8_t* data, uint32_t n, uint32_t& moved) override {
        moved = 0;
        if (!sim_) return FtStatus::InvalidHandle;
        moved = static_cast<uint32_t>(sim_->read(data, n));
        return FtStatus::Ok;
    }
    FtStatus getStatus(uint32_t& rxQueue, uint32_t& txQueue, uint32_t& eventStatus) override {
        rxQueue = txQueue = eventStatus = 0;
        if (!sim_) return FtStatus::InvalidHandle;
        sim_->status(rxQueue, txQueue);
        return FtStatus::Ok;
    }
    FtStatus purge(uint32_t mask) override {
        if (!sim_) return FtStatus::InvalidHandle;
        if (mask & ~(kPurgeRx | kPurgeTx)) return FtStatus::InvalidParameter;
        sim_->purge(mask & kPurgeRx, mask & kPurgeTx);
        return FtStatus::Ok;
    }
    FtStatus getDriverVersion(uint32_t& version) override {
        version = 0;
        if (!sim_) return FtStatus::InvalidHandle;
        version = sim_->driverVersion();
        return FtStatus::Ok;
    }
    FtStatus close() override {
        if (!sim_) return FtStatus::InvalidHandle;
        sim_->close();
        sim_.reset();
        return FtStatus::Ok;
    }
    void waitForData(uint32_t rxSeen, Clock::time_point until) override {
        if (sim_) sim_->waitForData(rxSeen, until);
    }

  private:
    std::shared_ptr<sim::SimDevice> sim_;  // null once closed
};

class SimPort : public Port {
  public:
    SimPort(std::shared_ptr<sim::SimDevice> sim, std::string options)
        : sim_(std::move(sim)), options_(std::move(options)) {}

    bool count(uint32_t& n, std::string&) override {
        n = 1;
        return true;
    }
    FtStatus open(uint32_t indexInPort, std::unique_ptr<Device>& out) override {
        out.reset();
        if (indexInPort != 0) return FtStatus::DeviceNotFound;
        if (!sim_->open()) return FtStatus::DeviceNotOpened;
        out = std::make_unique<SimDeviceHandle>(sim_);
        return FtStatus::Ok;
    }
    std::string describe() const override { return options_.empty() ? "sim" : "sim:" + options_; }

  private:
    std::shared_ptr<sim::SimDevice> sim_;
    std::string options_;
};

}  // namespace

std::unique_ptr<Port> makeSimPort(const std::string& options, std::string& error) {
    auto sim = sim::SimDevice::create(options, error);
    if (!sim) return nullptr;
    return std::make_unique<SimPort>(std::shared_ptr<sim::SimDevice>(std::move(sim)), options);
}

std::unique_ptr<Port> makeSimPort(std::shared_ptr<sim::SimDevice> sim, const std::string& options) {
    return std::make_unique<SimPort>(std::move(sim), options);
}

}  // namespace zjig
