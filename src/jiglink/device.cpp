#include "jiglink/device.h"

#include <algorithm>
#include <optional>
#include <thread>

#include "jiglink/backends/backends.h"

namespace zjig {

const char* ftStatusText(FtStatus s) {
    switch (s) {
        case FtStatus::Ok: return "FT_OK";
        case FtStatus::InvalidHandle: return "FT_INVALID_HANDLE";
        case FtStatus::DeviceNotFound: return "FT_DEVICE_NOT_FOUND";
        case FtStatus::DeviceNotOpened: return "FT_DEVICE_NOT_OPENED";
        case FtStatus::IoError: return "FT_IO_ERROR";
        case FtStatus::InsufficientResources: return "FT_INSUFFICIENT_RESOURCES";
        case FtStatus::InvalidParameter: return "FT_INVALID_PARAMETER";
        case FtStatus::InvalidBaudRate: return "FT_INVALID_BAUD_RATE";
        case FtStatus::NotSupported: return "FT_NOT_SUPPORTED";
        case FtStatus::OtherError: return "FT_OTHER_ERROR";
    }
    return "FT_UNKNOWN_STATUS";
}

// Backends that cannot block on arrival sleep a short slice; a millisecond
// keeps a silent wait far below a core while a 256-byte block at 921600 baud
// (about 2.8 ms on the wire) is still picked up promptly.
void Device::waitForData(uint32_t, Clock::time_point until) {
    const auto slice = Clock::now() + std::chrono::milliseconds(1);
    std::this_thread::sleep_until(slice < until ? slice : until);
}

DeviceList::DeviceList(std::vector<std::unique_ptr<Port>> ports) : ports_(std::move(ports)) {}

DeviceList::DeviceList(DeviceList&& other) noexcept {
    std::lock_guard<std::mutex> lock(other.mutex_);
    ports_ = std::move(other.ports_);
    errors_ = std::move(other.errors_);
}

DeviceList& DeviceList::operator=(DeviceList&& other) noexcept {
    if (this != &other) {
        std::scoped_lock lock(mutex_, other.mutex_);
        ports_ = std::move(other.ports_);
        errors_ = std::move(other.errors_);
    }
    return *this;
}

void DeviceList::addPort(std::unique_ptr<Port> port) {
    std::lock_guard<std::mutex> lock(mutex_);
    ports_.push_back(std::move(port));
}

size_t DeviceList::portCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ports_.size();
}

void DeviceList::noteLocked(const std::string& error) {
    if (std::find(errors_.begin(), errors_.end(), error) == errors_.end()) errors_.push_back(error);
}

std::vector<std::string> DeviceList::errors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

std::string DeviceList::lastError() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string text;
    for (const auto& e : errors_) text += (text.empty() ? "" : "; ") + e;
    return text;
}

FtStatus DeviceList::createDeviceInfoList(uint32_t& count) {
    std::lock_guard<std::mutex> lock(mutex_);
    count = 0;
    errors_.clear();
    for (auto& port : ports_) {
        uint32_t n = 0;
        std::string error;
        // A port that cannot list its devices (vendor library absent, serial
        // node missing) offers none; the reason is kept for the user, the
        // other ports still count.
        if (!port->count(n, error)) {
            noteLocked(error.empty() ? port->describe() + ": cannot list devices" : error);
            continue;
        }
        count += n;
    }
    return FtStatus::Ok;
}

FtStatus DeviceList::open(uint32_t index, std::unique_ptr<Device>& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    out.reset();
    for (auto& port : ports_) {
        uint32_t n = 0;
        std::string error;
        // Numbered as the enumeration numbers them: a port that offers no
        // device takes no index.
        if (!port->count(n, error)) continue;
        if (index < n) {
            const FtStatus s = port->open(index, out);
            if (!ftOk(s)) {
                const std::string why = port->openError();
                noteLocked(port->describe() + ": " +
                           (why.empty() ? std::string("cannot be opened (") + ftStatusText(s) + ")"
                                        : why));
            }
            return s;
        }
        index -= n;
    }
    return FtStatus::DeviceNotFound;
}

std::unique_ptr<Port> makePort(const std::string& spec, std::string& error) {
    auto rest = [&](const std::string& kind) -> std::optional<std::string> {
        if (spec == kind) return std::string();
        if (spec.rfind(kind + ":", 0) == 0) return spec.substr(kind.size() + 1);
        return std::nullopt;
    };
    if (auto path = rest("serial")) {
        if (path->empty()) {
            error = "serial port needs a path: serial:/dev/ttyUSB0";
            return nullptr;
        }
        return makeSerialPort(*path);
    }
    if (auto index = rest("d2xx")) {
        if (index->empty()) return makeD2xxPort(std::nullopt);
        try {
            size_t used = 0;
            unsigned long n = std::stoul(*index, &used);
            if (used == index->size() && n <= 0xFFFFFFFFul)
                return makeD2xxPort(static_cast<uint32_t>(n));
        } catch (const std::exception&) {
        }
        error = "d2xx device index must be a number: " + spec;
        return nullptr;
    }
    if (auto options = rest("sim")) return makeSimPort(*options, error);
    error = "unknown device '" + spec + "' (use serial:PATH, d2xx[:N] or sim[:OPTIONS])";
    return nullptr;
}

DeviceList defaultDeviceList() {
    DeviceList list;
    auto d2xx = makeD2xxPort(std::nullopt);
    uint32_t n = 0;
    std::string error;
    if (d2xx->count(n, error)) {
        list.addPort(std::move(d2xx));
        return list;
    }
    for (const auto& node : listFtdiSerialNodes()) list.addPort(makeSerialPort(node));
    return list;
}

}  // namespace zjig
