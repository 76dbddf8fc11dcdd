// A scripted bridge for unit tests of the link layer: each device answers
// 'B' with canned bytes (or stays silent, or cannot be opened), answers
// other bytes from a table, and records every call made on it.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "jiglink/device.h"

namespace zjig::test {

struct FakeDeviceScript {
    bool opens = true;
    std::vector<uint8_t> identity;  // answer to 'B'; empty: silent
    std::map<uint8_t, std::vector<uint8_t>> answers;  // answer to other single bytes
    uint32_t driverVersion = 0x00021228;
    FtStatus configStatus = FtStatus::Ok;  // status of reset/baud/format/time-outs
};

// Shared record of everything done to the devices, in order: "open 1",
// "reset 1", "baud 1 921600", "format 1", "timeouts 1 300 300", "latency 1 2",
// "write 1 42", "read 1 32", "close 1".
struct FakeLog {
    std::mutex mutex;
    std::vector<std::string> calls;
    void add(std::string c) {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(std::move(c));
    }
    std::vector<std::string> snapshot() {
        std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }
};

class FakePort : public Port {
public:
    FakePort(std::vector<FakeDeviceScript> devices, std::shared_ptr<FakeLog> log,
             uint32_t firstIndex = 0, bool listable = true)
        : devices_(std::move(devices)), log_(std::move(log)), first_(firstIndex), listable_(listable) {}
    bool count(uint32_t& n, std::string& error) override;
    FtStatus open(uint32_t indexInPort, std::unique_ptr<Device>& out) override;
    std::string describe() const override { return "fake"; }

private:
    std::vector<FakeDeviceScript> devices_;
    std::shared_ptr<FakeLog> log_;
    uint32_t first_;
    bool listable_;
};

// A device list of fake devices, index 0 first.
DeviceList fakeDeviceList(std::vector<FakeDeviceScript> devices, std::shared_ptr<FakeLog> log);

inline std::vector<uint8_t> bytesOf(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

// A device that answers 'B' with `identity`.
inline FakeDeviceScript answering(const std::string& identity) {
    FakeDeviceScript s;
    s.identity = bytesOf(identity);
    return s;
}

}  // namespace zjig::test
