// The vendor backend: the FTDI D2XX library, loaded at run time so that the
// program starts (and the other backends work) on machines without it.
#include <dlfcn.h>

#include <bit>
#include <string>
#include <thread>
#include <utility>

#include "jiglink/backends/backends.h"

namespace zjig {
namespace {

// Function types of the library, written from its documented API.
//
// The documented types are the Windows ones: FT_STATUS and ULONG are
// "unsigned long", DWORD is a 32-bit word, UCHAR a byte, FT_HANDLE a pointer.
// On Linux the library's own type definitions decide whether ULONG is 32 or
// 64 bits wide, so the declarations below are chosen to be right either way
// on the platforms we run on (x86-64, AArch64: integers travel in registers,
// little-endian memory):
// - statuses come back in a register; we take the low 32 bits (uint32_t),
//   which hold the whole status whatever the register width;
// - integer arguments go out as unsigned long, zero-extended, so a callee
//   that reads 32 bits and one that reads 64 bits both see the value;
// - words the library writes through a pointer land in a zeroed 64-bit slot
//   (OutWord) of which we keep the low 32 bits, so a library that writes
//   8 bytes cannot overrun our variable.
using FtHandle = void*;
using FtStatusWord = uint32_t;
using Ulong = unsigned long;
using OutWord = unsigned long long;
static_assert(std::endian::native == std::endian::little,
              "OutWord keeps the low half of what the library writes");

using FnCreateDeviceInfoList = FtStatusWord (*)(OutWord* numDevs);
using FnOpen = FtStatusWord (*)(int deviceNumber, FtHandle* handle);
using FnClose = FtStatusWord (*)(FtHandle);
using FnResetDevice = FtStatusWord (*)(FtHandle);
using FnSetBaudRate = FtStatusWord (*)(FtHandle, Ulong baudRate);
using FnSetDataCharacteristics = FtStatusWord (*)(FtHandle, unsigned char wordLength,
                                                  unsigned char stopBits, unsigned char parity);
using FnSetTimeouts = FtStatusWord (*)(FtHandle, Ulong readTimeout, Ulong writeTimeout);
using FnSetLatencyTimer = FtStatusWord (*)(FtHandle, unsigned char latency);
using FnWrite = FtStatusWord (*)(FtHandle, void* buffer, Ulong bytesToWrite, OutWord* written);
using FnRead = FtStatusWord (*)(FtHandle, void* buffer, Ulong bytesToRead, OutWord* returned);
using FnGetStatus = FtStatusWord (*)(FtHandle, OutWord* rxBytes, OutWord* txBytes,
                                     OutWord* eventDword);
using FnPurge = FtStatusWord (*)(FtHandle, Ulong mask);
using FnGetDriverVersion = FtStatusWord (*)(FtHandle, OutWord* version);

// The library's default names; the unversioned one is what an installation
// from the vendor's archive provides, the versioned one what packages provide.
constexpr const char* kDefaultLibraryNames[] = {"libftd2xx.so", "libftd2xx.so.1"};

constexpr const char* kNotFound = "D2XX library not found: ";

// How long waitForData sleeps: the library offers no wait for arrival that
// works alike on every version, so callers poll status between short naps.
constexpr auto kWaitSlice = std::chrono::milliseconds(1);

FtStatus fromLibrary(FtStatusWord s) { return static_cast<FtStatus>(s); }

uint32_t low32(OutWord w) { return static_cast<uint32_t>(w); }

// One loaded copy of the library. Ports and their devices share it, so it is
// unloaded only after the last of them is gone.
class D2xxLibrary {
  public:
    // Null and `error` set when the library or one of its functions is missing.
    static std::shared_ptr<D2xxLibrary> load(const std::string& libraryPath, std::string& error) {
        std::vector<std::string> names;
        if (!libraryPath.empty()) {
            names.push_back(libraryPath);
        } else {
            names.assign(std::begin(kDefaultLibraryNames), std::end(kDefaultLibraryNames));
        }
        std::string details;
        void* handle = nullptr;
        for (const auto& name : names) {
            handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (handle) break;
            const char* why = ::dlerror();
            if (!details.empty()) details += "; ";
            details += why ? why : name + ": cannot be loaded";
        }
        if (!handle) {
            error = kNotFound + details;
            return nullptr;
        }
        auto lib = std::shared_ptr<D2xxLibrary>(new D2xxLibrary(handle));
        if (!lib->bindAll(error)) return nullptr;  // the destructor unloads it
        return lib;
    }

    ~D2xxLibrary() { ::dlclose(handle_); }
    D2xxLibrary(const D2xxLibrary&) = delete;
    D2xxLibrary& operator=(const D2xxLibrary&) = delete;

    FnCreateDeviceInfoList createDeviceInfoList = nullptr;
    FnOpen open = nullptr;
    FnClose close = nullptr;
    FnResetDevice resetDevice = nullptr;
    FnSetBaudRate setBaudRate = nullptr;
    FnSetDataCharacteristics setDataCharacteristics = nullptr;
    FnSetTimeouts setTimeouts = nullptr;
    FnSetLatencyTimer setLatencyTimer = nullptr;
    FnWrite write = nullptr;
    FnRead read = nullptr;
    FnGetStatus getStatus = nullptr;
    FnPurge purge = nullptr;
    FnGetDriverVersion getDriverVersion = nullptr;

  private:
    explicit D2xxLibrary(void* handle) : handle_(handle) {}

    template <typename Fn>
    bool bind(Fn& fn, const char* name, std::string& error) {
        ::dlerror();
        void* sym = ::dlsym(handle_, name);
        if (!sym) {
            const char* why = ::dlerror();
            error = kNotFound + (why ? std::string(why) : std::string(name) + " is missing");
            return false;
        }
        fn = reinterpret_cast<Fn>(sym);
        return true;
    }

    bool bindAll(std::string& error) {
        return bind(createDeviceInfoList, "FT_CreateDeviceInfoList", error) &&
               bind(open, "FT_Open", error) && bind(close, "FT_Close", error) &&
               bind(resetDevice, "FT_ResetDevice", error) &&
               bind(setBaudRate, "FT_SetBaudRate", error) &&
               bind(setDataCharacteristics, "FT_SetDataCharacteristics", error) &&
               bind(setTimeouts, "FT_SetTimeouts", error) &&
               bind(setLatencyTimer, "FT_SetLatencyTimer", error) &&
               bind(write, "FT_Write", error) && bind(read, "FT_Read", error) &&
               bind(getStatus, "FT_GetStatus", error) && bind(purge, "FT_Purge", error) &&
               bind(getDriverVersion, "FT_GetDriverVersion", error);
    }

    void* handle_;
};

class D2xxDevice final : public Device {
  public:
    D2xxDevice(std::shared_ptr<D2xxLibrary> lib, FtHandle handle)
        : lib_(std::move(lib)), handle_(handle) {}
    ~D2xxDevice() override { close(); }
    D2xxDevice(const D2xxDevice&) = delete;
    D2xxDevice& operator=(const D2xxDevice&) = delete;

    FtStatus resetDevice() override {
        if (!handle_) return FtStatus::InvalidHandle;
        return fromLibrary(lib_->resetDevice(handle_));
    }

    FtStatus setBaudRate(uint32_t baud) override {
        if (!handle_) return FtStatus::InvalidHandle;
        return fromLibrary(lib_->setBaudRate(handle_, baud));
    }

    FtStatus setDataCharacteristics(uint8_t bits, uint8_t stopBits, uint8_t parity) override {
        if (!handle_) return FtStatus::InvalidHandle;
        return fromLibrary(lib_->setDataCharacteristics(handle_, bits, stopBits, parity));
    }

    FtStatus setTimeouts(uint32_t readMs, uint32_t writeMs) override {
        if (!handle_) return FtStatus::InvalidHandle;
        return fromLibrary(lib_->setTimeouts(handle_, readMs, writeMs));
    }

    FtStatus setLatencyTimer(uint8_t ms) override {
        if (!handle_) return FtStatus::InvalidHandle;
        return fromLibrary(lib_->setLatencyTimer(handle_, ms));
    }

    FtStatus write(const uint8_t* data, uint32_t n, uint32_t& moved) override {
        moved = 0;
        if (!handle_) return FtStatus::InvalidHandle;
        OutWord w = 0;
        // The library takes a non-const buffer but only reads it.
        FtStatus s = fromLibrary(lib_->write(handle_, const_cast<uint8_t*>(data), n, &w));
        moved = clampMoved(w, n);
        return s;
    }

    FtStatus read(uint8_t* data, uint32_t n, uint32_t& moved) override {
        moved = 0;
        if (!handle_) return FtStatus::InvalidHandle;
        OutWord w = 0;
        FtStatus s = fromLibrary(lib_->read(handle_, data, n, &w));
        moved = clampMoved(w, n);
        return s;
    }

    FtStatus getStatus(uint32_t& rxQueue, uint32_t& txQueue, uint32_t& eventStatus) override {
        rxQueue = txQueue = eventStatus = 0;
        if (!handle_) return FtStatus::InvalidHandle;
        OutWord rx = 0, tx = 0, ev = 0;
        FtStatus s = fromLibrary(lib_->getStatus(handle_, &rx, &tx, &ev));
        rxQueue = low32(rx);
        txQueue = low32(tx);
        eventStatus = low32(ev);
        return s;
    }

    FtStatus purge(uint32_t mask) override {
        if (!handle_) return FtStatus::InvalidHandle;
        return fromLibrary(lib_->purge(handle_, mask));
    }

    FtStatus getDriverVersion(uint32_t& version) override {
        version = 0;
        if (!handle_) return FtStatus::InvalidHandle;
        OutWord v = 0;
        FtStatus s = fromLibrary(lib_->getDriverVersion(handle_, &v));
        version = low32(v);
        return s;
    }

    FtStatus close() override {
        if (!handle_) return FtStatus::InvalidHandle;
        FtStatus s = fromLibrary(lib_->close(handle_));
        // Whatever the library answers, this handle is not used again.
        handle_ = nullptr;
        return s;
    }

    void waitForData(uint32_t, Clock::time_point until) override {
        auto left = until - Clock::now();
        if (left <= Clock::duration::zero()) return;
        std::this_thread::sleep_for(std::min<Clock::duration>(kWaitSlice, left));
    }

  private:
    // A count above the request would make callers read past their buffer.
    static uint32_t clampMoved(OutWord w, uint32_t n) {
        uint32_t moved = low32(w);
        return moved > n ? n : moved;
    }

    std::shared_ptr<D2xxLibrary> lib_;
    FtHandle handle_;
};

class D2xxPort final : public Port {
  public:
    D2xxPort(std::optional<uint32_t> onlyIndex, std::string libraryPath)
        : onlyIndex_(onlyIndex), libraryPath_(std::move(libraryPath)) {}

    bool count(uint32_t& n, std::string& error) override {
        n = 0;
        if (!ensureLoaded(error)) return false;
        OutWord listed = 0;
        FtStatus s = fromLibrary(lib_->createDeviceInfoList(&listed));
        if (!ftOk(s)) {
            error = "FT_CreateDeviceInfoList failed: " + std::string(ftStatusText(s));
            return false;
        }
        uint32_t devices = low32(listed);
        n = onlyIndex_ ? (devices > *onlyIndex_ ? 1 : 0) : devices;
        return true;
    }

    FtStatus open(uint32_t indexInPort, std::unique_ptr<Device>& out) override {
        out.reset();
        std::string error;
        if (!ensureLoaded(error)) return FtStatus::DeviceNotFound;
        if (onlyIndex_ && indexInPort != 0) return FtStatus::DeviceNotFound;
        uint32_t index = onlyIndex_ ? *onlyIndex_ : indexInPort;
        if (index > static_cast<uint32_t>(INT32_MAX)) return FtStatus::DeviceNotFound;
        FtHandle handle = nullptr;
        FtStatus s = fromLibrary(lib_->open(static_cast<int>(index), &handle));
        if (!ftOk(s)) return s;
        if (!handle) return FtStatus::InvalidHandle;
        out = std::make_unique<D2xxDevice>(lib_, handle);
        return FtStatus::Ok;
    }

    std::string describe() const override {
        return onlyIndex_ ? "d2xx:" + std::to_string(*onlyIndex_) : std::string("d2xx");
    }

  private:
    bool ensureLoaded(std::string& error) {
        if (!lib_) lib_ = D2xxLibrary::load(libraryPath_, error);
        return lib_ != nullptr;
    }

    std::optional<uint32_t> onlyIndex_;
    std::string libraryPath_;
    std::shared_ptr<D2xxLibrary> lib_;
};

}  // namespace

std::unique_ptr<Port> makeD2xxPort(std::optional<uint32_t> onlyIndex,
                                   const std::string& libraryPath) {
    return std::make_unique<D2xxPort>(onlyIndex, libraryPath);
}

}  // namespace zjig
