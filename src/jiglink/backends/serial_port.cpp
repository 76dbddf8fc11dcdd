// The serial backend: a device node driven through termios. It serves the
// kernel's own FTDI driver (/dev/ttyUSB*) and pseudo-terminals alike, so the
// program runs without the vendor library.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "jiglink/backends/backends.h"
#include "jiglink/backends/serial_port_detail.h"

namespace zjig {
namespace {

namespace fs = std::filesystem;

// There is no vendor driver behind a serial node, so the driver version is a
// fixed word rather than a number read from somewhere: the ASCII letters "TTY"
// (0x54 0x54 0x59), which tells anyone reading a run log that the kernel
// serial driver was in use.
constexpr uint32_t kKernelSerialDriverVersion = 0x00545459;

// Time-outs a fresh connection uses until the caller sets its own; the
// bridge would otherwise wait without limit.
constexpr uint32_t kInitialTimeoutMs = 300;

// How long one waitForData call may block in poll(), and how long it sleeps
// when bytes are already queued (poll would report them at once).
constexpr int kWaitSliceMs = 4;
constexpr auto kQueuedDataNap = std::chrono::milliseconds(1);

struct RateConstant {
    uint32_t baud;
    speed_t speed;
};

// The rates termios has constants for; the bridge runs 921600 for the JIG and
// 115200 for the second-generation bootloader.
constexpr RateConstant kRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},
#ifdef B460800
    {460800, B460800},   {500000, B500000},   {576000, B576000},   {921600, B921600},
    {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000},
    {2500000, B2500000}, {3000000, B3000000},
#endif
};

std::optional<speed_t> speedFor(uint32_t baud) {
    for (const auto& r : kRates) {
        if (r.baud == baud) return r.speed;
    }
    return std::nullopt;
}

// A device call failed at the system level: a vanished node (unplugged cable,
// closed pseudo-terminal master) and everything else the caller cannot repair.
FtStatus statusForErrno(int err) {
    switch (err) {
        case EBADF:
            return FtStatus::InvalidHandle;
        case EINVAL:
            return FtStatus::InvalidParameter;
        default:
            return FtStatus::IoError;
    }
}

// Milliseconds left until `deadline`, rounded up so that poll() never gets 0
// while time remains (that would turn the wait into a spin).
int msUntil(Clock::time_point deadline) {
    auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<long long>(ms, INT_MAX));
}

class SerialDevice final : public Device {
  public:
    SerialDevice(int fd, std::string path, std::string sysfsDir,
                 std::shared_ptr<std::atomic<int>> holders)
        : fd_(fd),
          path_(std::move(path)),
          sysfsDir_(std::move(sysfsDir)),
          holders_(std::move(holders)) {
        ++*holders_;
    }
    ~SerialDevice() override { close(); }
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    FtStatus resetDevice() override {
        if (fd_ < 0) return FtStatus::InvalidHandle;
        return ::tcflush(fd_, TCIOFLUSH) == 0 ? FtStatus::Ok : statusForErrno(errno);
    }

    FtStatus setBaudRate(uint32_t baud) override {
        if (fd_ < 0) return FtStatus::InvalidHandle;
        auto speed = speedFor(baud);
        if (!speed) return FtStatus::InvalidBaudRate;
        termios tio{};
        if (::tcgetattr(fd_, &tio) != 0) return statusForErrno(errno);
        ::cfsetispeed(&tio, *speed);
        ::cfsetospeed(&tio, *speed);
        if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
            // A driver that refuses a rate it has a constant for cannot run it.
            return errno == EINVAL ? FtStatus::InvalidBaudRate : statusForErrno(errno);
        }
        return FtStatus::Ok;
    }

    FtStatus setDataCharacteristics(uint8_t bits, uint8_t stopBits, uint8_t parity) override {
        if (fd_ < 0) return FtStatus::InvalidHandle;
        termios tio{};
        if (::tcgetattr(fd_, &tio) != 0) return statusForErrno(errno);
        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD);
#ifdef CMSPAR
        tio.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
        switch (bits) {
            case 7:
                tio.c_cflag |= CS7;
                break;
            case 8:
                tio.c_cflag |= CS8;
                break;
            default:
                return FtStatus::InvalidParameter;
        }
        // The bridge numbers stop bits 0 = one, 2 = two.
        switch (stopBits) {
            case 0:
                break;
            case 2:
                tio.c_cflag |= CSTOPB;
                break;
            default:
                return FtStatus::InvalidParameter;
        }
        // Parity words: 0 none, 1 odd, 2 even, 3 mark, 4 space.
        switch (parity) {
            case 0:
                break;
            case 1:
                tio.c_cflag |= PARENB | PARODD;
                break;
            case 2:
                tio.c_cflag |= PARENB;
                break;
#ifdef CMSPAR
            case 3:
                tio.c_cflag |= PARENB | PARODD | CMSPAR;
                break;
            case 4:
                tio.c_cflag |= PARENB | CMSPAR;
                break;
#endif
            default:
                return FtStatus::InvalidParameter;
        }
        return ::tcsetattr(fd_, TCSANOW, &tio) == 0 ? FtStatus::Ok : statusForErrno(errno);
    }

    FtStatus setTimeouts(uint32_t readMs, uint32_t writeMs) override {
        if (fd_ < 0) return FtStatus::InvalidHandle;
        // 0 means "do not wait": the call moves what it can at once. The bridge
        // would wait for ever instead, which no caller here may do.
        readMs_ = readMs;
        writeMs_ = writeMs;
        return FtStatus::Ok;
    }

    FtStatus setLatencyTimer(uint8_t ms) override {
        if (fd_ < 0) return FtStatus::InvalidHandle;
        // Only the kernel's FTDI driver has a latency timer; a pseudo-terminal
        // or a node we may not configure simply keeps its own timing.
        auto file = serial_detail::latencyTimerFile(path_, sysfsDir_);
        if (!file) return FtStatus::Ok;
        int lfd = ::open(file->c_str(), O_WRONLY | O_CLOEXEC);
        if (lfd < 0) return FtStatus::Ok;
        std::string text = std::to_string(ms) + "\n";
        ssize_t r = ::write(lfd, text.data(), text.size());
        int err = errno;
        ::close(lfd);
        if (r != static_cast<ssize_t>(text.size())) {
            return r < 0 ? statusForErrno(err) : FtStatus::IoError;
        }
        return FtStatus::Ok;
    }

    FtStatus write(const uint8_t* data, uint32_t n, uint32_t& moved) override {
        moved = 0;
        if (fd_ < 0) return FtStatus::InvalidHandle;
        const auto deadline = Clock::now() + std::chrono::milliseconds(writeMs_);
        while (moved < n) {
            ssize_t r = ::write(fd_, data + moved, n - moved);
            if (r > 0) {
                moved += static_cast<uint32_t>(r);
                continue;
            }
            if (r < 0 && errno == EINTR) continue;
            if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return statusForErrno(errno);
            // The output queue is full: wait until it takes bytes again, within
            // the write time-out. Like the bridge, a time-out is not an error:
            // `moved` tells how much was taken.
            int left = msUntil(deadline);
            if (left == 0) break;
            pollfd p{fd_, POLLOUT, 0};
            int pr = ::poll(&p, 1, left);
            if (pr < 0 && errno != EINTR) return statusForErrno(errno);
            if (pr > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLOUT)) {
                return FtStatus::IoError;
            }
        }
        return FtStatus::Ok;
    }

    FtStatus read(uint8_t* data, uint32_t n, uint32_t& moved) override {
        moved = 0;
        if (fd_ < 0) return FtStatus::InvalidHandle;
        const auto deadline = Clock::now() + std::chrono::milliseconds(readMs_);
        while (moved < n) {
            ssize_t r = ::read(fd_, data + moved, n - moved);
            if (r > 0) {
                moved += static_cast<uint32_t>(r);
                continue;
            }
            // With VMIN 1 a non-blocking read answers EAGAIN when nothing is
            // queued, so 0 means end of file: the line was hung up.
            if (r == 0) return FtStatus::IoError;
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) return statusForErrno(errno);
            int left = msUntil(deadline);
            if (left == 0) break;
            pollfd p{fd_, POLLIN, 0};
            int pr = ::poll(&p, 1, left);
            if (pr < 0 && errno != EINTR) return statusForErrno(errno);
            if (pr > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLIN)) {
                return FtStatus::IoError;
            }
        }
        return FtStatus::Ok;
    }

    FtStatus getStatus(uint32_t& rxQueue, uint32_t& txQueue, uint32_t& eventStatus) override {
        rxQueue = txQueue = eventStatus = 0;
        if (fd_ < 0) return FtStatus::InvalidHandle;
        // A hung-up line (unplugged cable, closed master) fails this ioctl
        // with EIO, which is how the waiting forms that poll status notice it.
        int rx = 0;
        if (::ioctl(fd_, FIONREAD, &rx) != 0) return statusForErrno(errno);
        rxQueue = static_cast<uint32_t>(std::max(rx, 0));
        int tx = 0;
        if (::ioctl(fd_, TIOCOUTQ, &tx) == 0) {
            txQueue = static_cast<uint32_t>(std::max(tx, 0));
        }
        return FtStatus::Ok;
    }

    FtStatus purge(uint32_t mask) override {
        if (fd_ < 0) return FtStatus::InvalidHandle;
        const bool rx = (mask & kPurgeRx) != 0;
        const bool tx = (mask & kPurgeTx) != 0;
        if (!rx && !tx) return FtStatus::Ok;
        int queue = rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH;
        return ::tcflush(fd_, queue) == 0 ? FtStatus::Ok : statusForErrno(errno);
    }

    FtStatus getDriverVersion(uint32_t& version) override {
        version = 0;
        if (fd_ < 0) return FtStatus::InvalidHandle;
        version = kKernelSerialDriverVersion;
        return FtStatus::Ok;
    }

    FtStatus close() override {
        if (fd_ < 0) return FtStatus::InvalidHandle;
        // Give up the exclusive claim explicitly, so that this process can
        // reopen the node at once even if another descriptor lingers.
        ::ioctl(fd_, TIOCNXCL);
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
        --*holders_;
        return FtStatus::Ok;
    }

    void waitForData(uint32_t rxSeen, Clock::time_point until) override {
        int left = msUntil(until);
        if (fd_ < 0 || left == 0) return;
        int rx = 0;
        if (::ioctl(fd_, FIONREAD, &rx) == 0 && rx > 0) {
            if (static_cast<uint32_t>(rx) > rxSeen) return;
            // poll() would report the queued bytes at once; nap instead so a
            // caller waiting for more of them does not spin.
            std::this_thread::sleep_for(
                std::min<Clock::duration>(kQueuedDataNap, until - Clock::now()));
            return;
        }
        pollfd p{fd_, POLLIN, 0};
        int pr = ::poll(&p, 1, std::min(left, kWaitSliceMs));
        if (pr > 0 && !(p.revents & POLLIN)) {
            // Hung up: poll returns at once from now on. Nap so a caller that
            // has not yet noticed the failure does not spin.
            std::this_thread::sleep_for(
                std::min<Clock::duration>(kQueuedDataNap, until - Clock::now()));
        }
    }

  private:
    int fd_;
    std::string path_;
    std::string sysfsDir_;
    std::shared_ptr<std::atomic<int>> holders_;  // open devices of the port
    uint32_t readMs_ = kInitialTimeoutMs;
    uint32_t writeMs_ = kInitialTimeoutMs;
};

// Another program holds the node: its exclusive claim (EBUSY) or its lock.
constexpr const char* kInUse = "in use by another program";

std::string reasonFor(int err) {
    if (err == EBUSY || err == EWOULDBLOCK) return kInUse;
    return std::strerror(err);
}

// Opens the node and takes its lock; with `claim` also takes the exclusive
// claim and sets the line up. -1, the failure status and why when it cannot.
FtStatus openNode(const std::string& path, int& out, std::string& why, bool claim = true) {
    out = -1;
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = reasonFor(errno);
        return FtStatus::DeviceNotOpened;
    }
    auto fail = [fd, &why](std::string reason) {
        why = std::move(reason);
        ::close(fd);
        return FtStatus::DeviceNotOpened;
    };
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return fail("not a serial device");
    // TIOCEXCL keeps other programs out, but not a privileged one; the lock
    // keeps out every program that asks for it, this one included.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(reasonFor(errno));
    if (!claim) {
        out = fd;
        return FtStatus::Ok;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) return fail(reasonFor(errno));
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // VMIN 1 makes a non-blocking read with nothing queued answer EAGAIN, so
    // that a read of 0 bytes can only mean a hung-up line. Waiting is done
    // with poll().
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        const int err = errno;
        ::ioctl(fd, TIOCNXCL);
        return fail(reasonFor(err));
    }
    out = fd;
    return FtStatus::Ok;
}

class SerialPort final : public Port {
  public:
    SerialPort(std::string path, std::string sysfsDir)
        : path_(std::move(path)), sysfsDir_(std::move(sysfsDir)) {}

    // A node that is missing, is no serial device or cannot be opened (no
    // permission, held by another program) is no device; its reason goes to
    // the user. The node is tried as open() would take it and let go at once,
    // unless this program holds it already.
    bool count(uint32_t& n, std::string& error) override {
        n = 0;
        if (holders_->load() == 0) {
            int fd = -1;
            std::string why;
            if (!ftOk(openNode(path_, fd, why, false))) {
                error = describe() + ": " + why;
                return false;
            }
            ::flock(fd, LOCK_UN);
            ::close(fd);
        }
        n = 1;
        return true;
    }

    FtStatus open(uint32_t indexInPort, std::unique_ptr<Device>& out) override {
        out.reset();
        openError_.clear();
        if (indexInPort != 0) return FtStatus::DeviceNotFound;
        int fd = -1;
        FtStatus s = openNode(path_, fd, openError_);
        if (!ftOk(s)) return s;
        out = std::make_unique<SerialDevice>(fd, path_, sysfsDir_, holders_);
        return FtStatus::Ok;
    }

    std::string describe() const override { return "serial:" + path_; }
    std::string openError() const override { return openError_; }

  private:
    std::string path_;
    std::string sysfsDir_;
    std::string openError_;
    std::shared_ptr<std::atomic<int>> holders_ = std::make_shared<std::atomic<int>>(0);
};

// Splits a name into text and number runs, so "ttyUSB10" sorts after "ttyUSB2".
bool naturalLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            size_t ie = i, je = j;
            while (ie < a.size() && std::isdigit(static_cast<unsigned char>(a[ie]))) ++ie;
            while (je < b.size() && std::isdigit(static_cast<unsigned char>(b[je]))) ++je;
            // Compare the runs as numbers without converting (they may be long).
            size_t zi = i, zj = j;
            while (zi + 1 < ie && a[zi] == '0') ++zi;
            while (zj + 1 < je && b[zj] == '0') ++zj;
            if (ie - zi != je - zj) return ie - zi < je - zj;
            int c = a.compare(zi, ie - zi, b, zj, je - zj);
            if (c != 0) return c < 0;
            i = ie;
            j = je;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j)) return a.size() - i < b.size() - j;
    return a < b;
}

std::vector<std::string> entriesWhere(const fs::path& dir, bool (*keep)(const std::string&)) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (keep(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end(), naturalLess);
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const auto& name : names) paths.push_back((dir / name).string());
    return paths;
}

}  // namespace

namespace serial_detail {

std::vector<std::string> listFtdiSerialNodesIn(const std::string& devDir) {
    const fs::path dev(devDir);
    auto byId = entriesWhere(dev / "serial" / "by-id", [](const std::string& name) {
        return name.find("FTDI") != std::string::npos;
    });
    if (!byId.empty()) return byId;
    return entriesWhere(dev, [](const std::string& name) { return name.rfind("ttyUSB", 0) == 0; });
}

std::optional<std::string> latencyTimerFile(const std::string& nodePath,
                                            const std::string& sysfsDir) {
    std::error_code ec;
    fs::path real = fs::canonical(nodePath, ec);
    if (ec || !real.has_filename()) return std::nullopt;
    fs::path file = fs::path(sysfsDir) / real.filename() / "latency_timer";
    if (!fs::exists(file, ec) || ec) return std::nullopt;
    return file.string();
}

std::unique_ptr<Port> makeSerialPort(const std::string& path, const std::string& sysfsDir) {
    return std::make_unique<SerialPort>(path, sysfsDir);
}

}  // namespace serial_detail

std::unique_ptr<Port> makeSerialPort(const std::string& path) {
    return serial_detail::makeSerialPort(path, serial_detail::kUsbSerialSysfsDir);
}

std::vector<std::string> listFtdiSerialNodes() {
    return serial_detail::listFtdiSerialNodesIn(serial_detail::kDevDir);
}

}  // namespace zjig
