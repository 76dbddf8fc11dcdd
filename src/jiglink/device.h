// Device API: the small set of bridge calls the program makes, shaped like the
// vendor D2XX calls (one status code per call). Backends implement it; nothing
// above this layer knows which backend runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zjig {

// Status of one device call. Values follow the vendor's numbering so that a
// status read from the vendor library can be passed on unchanged.
enum class FtStatus : uint32_t {
    Ok = 0,
    InvalidHandle = 1,
    DeviceNotFound = 2,
    DeviceNotOpened = 3,
    IoError = 4,
    InsufficientResources = 5,
    InvalidParameter = 6,
    InvalidBaudRate = 7,
    OtherError = 18,
    NotSupported = 17,
};

inline bool ftOk(FtStatus s) { return s == FtStatus::Ok; }
const char* ftStatusText(FtStatus s);

// Purge mask bits, as the bridge takes them.
inline constexpr uint32_t kPurgeRx = 1;
inline constexpr uint32_t kPurgeTx = 2;

// Line format words, as the bridge takes them.
inline constexpr uint8_t kBits8 = 8;
inline constexpr uint8_t kStopBits1 = 0;
inline constexpr uint8_t kParityNone = 0;

using Clock = std::chrono::steady_clock;

// One open connection to one bridge.
class Device {
public:
    virtual ~Device() = default;

    virtual FtStatus resetDevice() = 0;
    virtual FtStatus setBaudRate(uint32_t baud) = 0;
    virtual FtStatus setDataCharacteristics(uint8_t bits, uint8_t stopBits, uint8_t parity) = 0;
    virtual FtStatus setTimeouts(uint32_t readMs, uint32_t writeMs) = 0;
    virtual FtStatus setLatencyTimer(uint8_t ms) = 0;
    // Queues n bytes for sending; `moved` reports how many were taken.
    virtual FtStatus write(const uint8_t* data, uint32_t n, uint32_t& moved) = 0;
    // Returns when n bytes have arrived or the read time-out has run out.
    virtual FtStatus read(uint8_t* data, uint32_t n, uint32_t& moved) = 0;
    virtual FtStatus getStatus(uint32_t& rxQueue, uint32_t& txQueue, uint32_t& eventStatus) = 0;
    virtual FtStatus purge(uint32_t mask) = 0;
    virtual FtStatus getDriverVersion(uint32_t& version) = 0;
    // Releases the device; further calls answer InvalidHandle.
    virtual FtStatus close() = 0;

    // Blocks the caller until the receive queue may hold more than `rxSeen`
    // bytes, or until `until`. Used between status polls so that no wait spins
    // a core. A backend that cannot block on arrival sleeps a short slice.
    virtual void waitForData(uint32_t rxSeen, Clock::time_point until);
};

// One `--port` entry: a source of zero or more devices.
class Port {
public:
    virtual ~Port() = default;
    // Number of devices this port offers now; false when it cannot tell.
    virtual bool count(uint32_t& n, std::string& error) = 0;
    virtual FtStatus open(uint32_t indexInPort, std::unique_ptr<Device>& out) = 0;
    virtual std::string describe() const = 0;
    // Why the last open() failed, in the system's words ("in use by another
    // program", "Permission denied"); empty when the port cannot tell.
    virtual std::string openError() const { return {}; }
};

// The device list: the ports in the order given, their devices numbered from
// index 0 upwards in that order. The connection test and the update thread
// share one list, so every call takes its lock.
class DeviceList {
public:
    DeviceList() = default;
    explicit DeviceList(std::vector<std::unique_ptr<Port>> ports);
    DeviceList(DeviceList&& other) noexcept;
    DeviceList& operator=(DeviceList&& other) noexcept;

    void addPort(std::unique_ptr<Port> port);
    // Enumerates every port. A port that cannot tell its count offers no
    // device and leaves its reason in errors().
    FtStatus createDeviceInfoList(uint32_t& count);
    // A device that fails to open leaves its reason in errors() too.
    FtStatus open(uint32_t index, std::unique_ptr<Device>& out);
    // Why devices were missing or could not be opened since the last
    // enumeration, one text per device ("serial:/dev/ttyUSB9: No such file or
    // directory"), each once.
    std::vector<std::string> errors() const;
    // The same, joined with "; ".
    std::string lastError() const;
    size_t portCount() const;

private:
    void noteLocked(const std::string& error);

    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Port>> ports_;
    std::vector<std::string> errors_;
};

// Builds a port from its `--port` text ("serial:PATH", "d2xx", "d2xx:N",
// "sim", "sim:OPTIONS"). Returns null and sets `error` on a bad text.
std::unique_ptr<Port> makePort(const std::string& spec, std::string& error);

// The list used when no `--port` is given: every device of the vendor library
// when it loads, else every FTDI serial node the system lists.
DeviceList defaultDeviceList();

}  // namespace zjig
