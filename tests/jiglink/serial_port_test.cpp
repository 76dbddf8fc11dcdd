// The serial backend against pseudo-terminals: the test holds the master side
// and plays the bridge's far end, the backend opens the slave node by path.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "jiglink/backends/backends.h"
#include "jiglink/backends/serial_port_detail.h"

namespace zjig {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

// Generous limits: they only decide how long a broken build takes to fail.
constexpr auto kLongWait = 5s;

template <typename Cond>
bool waitUntil(Cond cond, Clock::duration limit = kLongWait) {
    const auto deadline = Clock::now() + limit;
    while (!cond()) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// A pseudo-terminal pair; the slave is left closed so that the backend is the
// only one to open it, as with a real node.
class Pty {
  public:
    Pty() {
        char name[256] = {};
        int slave = -1;
        if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0) {
            ADD_FAILURE() << "openpty failed";
            return;
        }
        ::close(slave);
        path_ = name;
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& path() const { return path_; }
    int master() const { return master_; }

    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

    bool send(const Bytes& bytes) {
        size_t done = 0;
        const auto deadline = Clock::now() + kLongWait;
        while (done < bytes.size()) {
            ssize_t r = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (r > 0) {
                done += static_cast<size_t>(r);
                continue;
            }
            if (r < 0 && errno != EAGAIN && errno != EINTR) return false;
            if (Clock::now() >= deadline) return false;
            pollfd p{master_, POLLOUT, 0};
            ::poll(&p, 1, 10);
        }
        return true;
    }

    // Whatever arrives within `limit`, up to `n` bytes.
    Bytes receive(size_t n, Clock::duration limit) {
        Bytes got;
        const auto deadline = Clock::now() + limit;
        while (got.size() < n) {
            uint8_t buf[4096];
            ssize_t r = ::read(master_, buf, std::min(sizeof buf, n - got.size()));
            if (r > 0) {
                got.insert(got.end(), buf, buf + r);
                continue;
            }
            if (r < 0 && errno != EAGAIN && errno != EINTR) break;
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) break;
            pollfd p{master_, POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 20)));
        }
        return got;
    }

  private:
    int master_ = -1;
    std::string path_;
};

// The far end of the line: answers every byte it receives with `answer(byte)`
// until stopped. Owned and joined by the test.
class Responder {
  public:
    Responder(Pty& pty, std::function<Bytes(uint8_t)> answer)
        : pty_(pty), answer_(std::move(answer)), thread_([this] { run(); }) {}
    ~Responder() {
        stop_ = true;
        thread_.join();
    }

  private:
    void run() {
        while (!stop_) {
            pollfd p{pty_.master(), POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) continue;
            uint8_t buf[512];
            ssize_t r = ::read(pty_.master(), buf, sizeof buf);
            for (ssize_t i = 0; i < r; ++i) pty_.send(answer_(buf[i]));
        }
    }

    Pty& pty_;
    std::function<Bytes(uint8_t)> answer_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

Bytes echo(uint8_t b) { return {b}; }

class SerialPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(pty.path().empty());
        port = makeSerialPort(pty.path());
        ASSERT_EQ(port->open(0, dev), FtStatus::Ok);
        ASSERT_TRUE(dev);
    }

    // Reads until n bytes came or the limit ran out, as callers loop on reads.
    Bytes readFromDevice(size_t n, Clock::duration limit = kLongWait) {
        Bytes got(n);
        size_t have = 0;
        const auto deadline = Clock::now() + limit;
        while (have < n && Clock::now() < deadline) {
            uint32_t moved = 0;
            if (dev->read(got.data() + have, static_cast<uint32_t>(n - have), moved) !=
                FtStatus::Ok) {
                break;
            }
            have += moved;
        }
        got.resize(have);
        return got;
    }

    FtStatus writeToDevice(const Bytes& bytes) {
        uint32_t moved = 0;
        FtStatus s = dev->write(bytes.data(), static_cast<uint32_t>(bytes.size()), moved);
        EXPECT_EQ(moved, bytes.size());
        return s;
    }

    uint32_t rxQueue() {
        uint32_t rx = 0, tx = 0, ev = 0;
        EXPECT_EQ(dev->getStatus(rx, tx, ev), FtStatus::Ok);
        return rx;
    }

    Pty pty;
    std::unique_ptr<Port> port;
    std::unique_ptr<Device> dev;
};

// A node offers one device only when it can be opened: one that is missing,
// is no serial device or is held by another program offers none, and says
// why. A node this program holds through the port still counts.
TEST(SerialPort, CountsANodeOnlyWhenItCanBeOpened) {
    char dir[] = "/tmp/zjig_serial_XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string plainFile = std::string(dir) + "/not_a_terminal";
    std::ofstream(plainFile) << "x";
    Pty free;
    Pty held;
    const int holder = ::open(held.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);

    struct Case {
        std::string path;
        uint32_t devices;
        std::string error;
    };
    const Case cases[] = {
        {free.path(), 1, ""},
        {std::string(dir) + "/ttyUSB9", 0,
         "serial:" + std::string(dir) + "/ttyUSB9: No such file or directory"},
        {plainFile, 0, "serial:" + plainFile + ": not a serial device"},
        {dir, 0, "serial:" + std::string(dir) + ": Is a directory"},
        {held.path(), 0, "serial:" + held.path() + ": in use by another program"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        auto port = makeSerialPort(c.path);
        uint32_t n = 99;
        std::string error;
        EXPECT_EQ(port->count(n, error), c.devices == 1);
        EXPECT_EQ(n, c.devices);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(port->describe(), "serial:" + c.path);
    }
    ::close(holder);

    // Held by this program through the port: counted, and free again once closed.
    auto port = makeSerialPort(free.path());
    std::unique_ptr<Device> dev;
    ASSERT_EQ(port->open(0, dev), FtStatus::Ok);
    uint32_t n = 0;
    std::string error;
    EXPECT_TRUE(port->count(n, error)) << error;
    EXPECT_EQ(n, 1u);
    dev->close();
    EXPECT_TRUE(port->count(n, error)) << error;
    auto other = makeSerialPort(free.path());
    EXPECT_TRUE(other->count(n, error)) << error;
    fs::remove_all(dir);
}

// Each failed open keeps the system's reason; a node another program holds
// (its lock) is "in use by another program".
TEST(SerialPort, FailedOpenTellsWhy) {
    char dir[] = "/tmp/zjig_serial_XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string plainFile = std::string(dir) + "/not_a_terminal";
    std::ofstream(plainFile) << "x";
    Pty held;
    const int holder = ::open(held.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);

    const std::pair<std::string, std::string> cases[] = {
        {std::string(dir) + "/missing", "No such file or directory"},
        {plainFile, "not a serial device"},
        {held.path(), "in use by another program"},
    };
    for (const auto& [path, why] : cases) {
        SCOPED_TRACE(path);
        auto port = makeSerialPort(path);
        std::unique_ptr<Device> dev;
        EXPECT_EQ(port->open(0, dev), FtStatus::DeviceNotOpened);
        EXPECT_FALSE(dev);
        EXPECT_EQ(port->openError(), why);
    }
    ::close(holder);
    // Once the other program lets go, the node opens and the reason is gone.
    auto port = makeSerialPort(held.path());
    std::unique_ptr<Device> dev;
    EXPECT_EQ(port->open(0, dev), FtStatus::Ok);
    EXPECT_EQ(port->openError(), "");
    fs::remove_all(dir);
}

TEST_F(SerialPortTest, SecondIndexOfThePortDoesNotExist) {
    std::unique_ptr<Device> other;
    EXPECT_EQ(port->open(1, other), FtStatus::DeviceNotFound);
    EXPECT_FALSE(other);
}

TEST_F(SerialPortTest, OpensInRawModeWithoutFlowControl) {
    // The master side reads the slave's settings.
    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.master(), &tio), 0);
    EXPECT_EQ(tio.c_lflag & (ECHO | ECHONL | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (CSTOPB | PARENB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
}

TEST_F(SerialPortTest, LineSettingsReachTheNodeAndBadOnesAreRefused) {
    struct Case {
        uint32_t baud;
        FtStatus expected;
        speed_t speed;
    };
    for (const Case& c : {Case{921600, FtStatus::Ok, B921600}, Case{115200, FtStatus::Ok, B115200},
                          Case{12345, FtStatus::InvalidBaudRate, B115200},
                          Case{0, FtStatus::InvalidBaudRate, B115200}}) {
        SCOPED_TRACE(c.baud);
        EXPECT_EQ(dev->setBaudRate(c.baud), c.expected);
        termios tio{};
        ASSERT_EQ(::tcgetattr(pty.master(), &tio), 0);
        // A refused rate leaves the previous one in place.
        EXPECT_EQ(::cfgetospeed(&tio), c.speed);
    }

    EXPECT_EQ(dev->setDataCharacteristics(kBits8, kStopBits1, kParityNone), FtStatus::Ok);
    EXPECT_EQ(dev->setDataCharacteristics(5, kStopBits1, kParityNone), FtStatus::InvalidParameter);
    EXPECT_EQ(dev->setDataCharacteristics(kBits8, 1, kParityNone), FtStatus::InvalidParameter);
    EXPECT_EQ(dev->setDataCharacteristics(kBits8, kStopBits1, 9), FtStatus::InvalidParameter);
    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.master(), &tio), 0);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (CSTOPB | PARENB), 0u);

    EXPECT_EQ(dev->setTimeouts(300, 300), FtStatus::Ok);
    EXPECT_EQ(dev->resetDevice(), FtStatus::Ok);
}

TEST_F(SerialPortTest, BytesTravelUnchangedBothWays) {
    Responder far(pty, echo);
    ASSERT_EQ(dev->setTimeouts(300, 300), FtStatus::Ok);

    Bytes everyValue(256);
    for (int i = 0; i < 256; ++i) everyValue[i] = static_cast<uint8_t>(i);
    struct Case {
        const char* name;
        Bytes bytes;
    };
    // Bytes a cooked line would translate, swallow or act on.
    const Case cases[] = {
        {"CR LF", {'\r', '\n', '\n', '\r'}},
        {"XON XOFF", {0x11, 0x13, 0x13, 0x11}},
        {"NUL and 0xFF", {0x00, 0xFF, 0xFF, 0x00, 0x00}},
        {"interrupt, end of file, erase", {0x03, 0x04, 0x7F, 0x08, 0x15, 0x1A, 0x1C}},
        {"every byte value", everyValue},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(writeToDevice(c.bytes), FtStatus::Ok);
        EXPECT_EQ(readFromDevice(c.bytes.size()), c.bytes);
    }
    EXPECT_EQ(rxQueue(), 0u);
}

TEST_F(SerialPortTest, ReceivedBytesAreNotEchoed) {
    const Bytes sent = {'A', '\r', '\n', 0x11, 0x00};
    ASSERT_TRUE(pty.send(sent));
    EXPECT_EQ(readFromDevice(sent.size()), sent);
    // An echo would come back to the master right after the bytes were taken.
    EXPECT_TRUE(pty.receive(1, 200ms).empty());
}

TEST_F(SerialPortTest, ReadEndsAtItsTimeOutWithWhatCame) {
    for (size_t queued : {size_t{0}, size_t{3}}) {
        SCOPED_TRACE(queued);
        ASSERT_EQ(dev->setTimeouts(200, 200), FtStatus::Ok);
        ASSERT_TRUE(pty.send(Bytes(queued, 'x')));
        ASSERT_TRUE(waitUntil([&] { return rxQueue() == queued; }));

        uint8_t buf[10];
        uint32_t moved = 99;
        const auto start = Clock::now();
        EXPECT_EQ(dev->read(buf, sizeof buf, moved), FtStatus::Ok);
        const auto took = Clock::now() - start;
        EXPECT_EQ(moved, queued);
        EXPECT_GE(took, 150ms);
        EXPECT_LT(took, kLongWait);
    }
}

TEST_F(SerialPortTest, ReadReturnsOnceEveryByteCame) {
    // An identity answer arrives in pieces; the read must not sit out its
    // (long) time-out once it has all it asked for.
    const std::string identity = "M328_EPM240_v16\r\n";
    Responder far(pty, [&](uint8_t b) {
        return b == 'B' ? Bytes(identity.begin(), identity.end()) : Bytes{};
    });
    ASSERT_EQ(dev->setTimeouts(60000, 300), FtStatus::Ok);
    ASSERT_EQ(writeToDevice({'B'}), FtStatus::Ok);

    Bytes buf(identity.size());
    uint32_t moved = 0;
    const auto start = Clock::now();
    EXPECT_EQ(dev->read(buf.data(), static_cast<uint32_t>(buf.size()), moved), FtStatus::Ok);
    EXPECT_LT(Clock::now() - start, kLongWait);
    EXPECT_EQ(moved, identity.size());
    EXPECT_EQ(std::string(buf.begin(), buf.end()), identity);
}

TEST_F(SerialPortTest, WriteThatCannotFinishEndsAtItsTimeOut) {
    // Nobody reads the master, so the line's queues fill up.
    ASSERT_EQ(dev->setTimeouts(300, 200), FtStatus::Ok);
    Bytes big(8 << 20, 0x55);
    uint32_t moved = 0;
    const auto start = Clock::now();
    EXPECT_EQ(dev->write(big.data(), static_cast<uint32_t>(big.size()), moved), FtStatus::Ok);
    EXPECT_LT(Clock::now() - start, kLongWait);
    EXPECT_GT(moved, 0u);
    EXPECT_LT(moved, big.size());
}

TEST_F(SerialPortTest, SecondOpenOfTheNodeFailsUntilTheFirstCloses) {
    auto otherPort = makeSerialPort(pty.path());
    std::unique_ptr<Device> second;
    EXPECT_EQ(otherPort->open(0, second), FtStatus::DeviceNotOpened);
    EXPECT_FALSE(second);
    EXPECT_EQ(port->open(0, second), FtStatus::DeviceNotOpened);

    ASSERT_EQ(dev->close(), FtStatus::Ok);
    EXPECT_EQ(otherPort->open(0, second), FtStatus::Ok);
    ASSERT_TRUE(second);

    // Destroying an open device frees the node too.
    second.reset();
    EXPECT_EQ(port->open(0, dev), FtStatus::Ok);
}

TEST_F(SerialPortTest, StatusCountsReceivedBytesAndPurgeDropsThem) {
    uint32_t rx = 99, tx = 99, ev = 99;
    ASSERT_EQ(dev->getStatus(rx, tx, ev), FtStatus::Ok);
    EXPECT_EQ(rx, 0u);
    EXPECT_EQ(tx, 0u);
    EXPECT_EQ(ev, 0u);

    ASSERT_TRUE(pty.send({1, 2, 3, 4, 5}));
    ASSERT_TRUE(waitUntil([&] { return rxQueue() == 5; }));
    EXPECT_EQ(readFromDevice(2), (Bytes{1, 2}));
    EXPECT_EQ(rxQueue(), 3u);

    EXPECT_EQ(dev->purge(kPurgeRx | kPurgeTx), FtStatus::Ok);
    EXPECT_EQ(rxQueue(), 0u);
    EXPECT_EQ(dev->purge(kPurgeTx), FtStatus::Ok);
    EXPECT_EQ(dev->purge(0), FtStatus::Ok);

    // The line goes on working after a purge.
    ASSERT_TRUE(pty.send({6, 7}));
    EXPECT_EQ(readFromDevice(2), (Bytes{6, 7}));
}

TEST_F(SerialPortTest, ResetEmptiesTheReceiveQueue) {
    ASSERT_TRUE(pty.send({9, 9, 9}));
    ASSERT_TRUE(waitUntil([&] { return rxQueue() == 3; }));
    EXPECT_EQ(dev->resetDevice(), FtStatus::Ok);
    EXPECT_EQ(rxQueue(), 0u);
}

TEST_F(SerialPortTest, LatencyAndDriverVersionSucceedOnAPseudoTerminal) {
    EXPECT_EQ(dev->setLatencyTimer(2), FtStatus::Ok);
    uint32_t version = 0;
    EXPECT_EQ(dev->getDriverVersion(version), FtStatus::Ok);
    EXPECT_NE(version, 0u);
}

TEST_F(SerialPortTest, UnpluggedLineReportsErrorsInsteadOfWaiting) {
    ASSERT_EQ(dev->setTimeouts(60000, 60000), FtStatus::Ok);
    pty.closeMaster();

    uint8_t buf[4];
    uint32_t moved = 0;
    auto start = Clock::now();
    EXPECT_EQ(dev->read(buf, sizeof buf, moved), FtStatus::IoError);
    EXPECT_LT(Clock::now() - start, kLongWait);

    start = Clock::now();
    const uint8_t b = 'B';
    EXPECT_EQ(dev->write(&b, 1, moved), FtStatus::IoError);
    EXPECT_LT(Clock::now() - start, kLongWait);

    // The waiting forms poll status; they must see the failure too.
    uint32_t rx = 0, tx = 0, ev = 0;
    EXPECT_EQ(dev->getStatus(rx, tx, ev), FtStatus::IoError);

    // Closing a dead line still frees it.
    EXPECT_EQ(dev->close(), FtStatus::Ok);
}

TEST_F(SerialPortTest, ClosedDeviceAnswersInvalidHandle) {
    ASSERT_EQ(dev->close(), FtStatus::Ok);
    EXPECT_EQ(dev->close(), FtStatus::InvalidHandle);
    uint8_t buf[1] = {0};
    uint32_t moved = 0, rx = 0, tx = 0, ev = 0, version = 0;
    EXPECT_EQ(dev->read(buf, 1, moved), FtStatus::InvalidHandle);
    EXPECT_EQ(dev->write(buf, 1, moved), FtStatus::InvalidHandle);
    EXPECT_EQ(dev->getStatus(rx, tx, ev), FtStatus::InvalidHandle);
    EXPECT_EQ(dev->setBaudRate(921600), FtStatus::InvalidHandle);
    EXPECT_EQ(dev->purge(kPurgeRx), FtStatus::InvalidHandle);
    EXPECT_EQ(dev->getDriverVersion(version), FtStatus::InvalidHandle);
}

TEST_F(SerialPortTest, WaitForDataWakesOnArrivalAndNeverSpins) {
    // Nothing arrives: the wait ends at `until`, not long after.
    auto start = Clock::now();
    dev->waitForData(0, start + 30ms);
    EXPECT_LT(Clock::now() - start, kLongWait);

    // More than the caller has seen is queued: no wait at all is needed.
    ASSERT_TRUE(pty.send({1, 2}));
    ASSERT_TRUE(waitUntil([&] { return rxQueue() == 2; }));
    dev->waitForData(1, Clock::now() + 60s);

    // Bytes are queued but the caller waits for more: each call must block a
    // little (poll would report the queued bytes at once and the caller's loop
    // would spin). A spinning wait makes hundreds of thousands of calls here.
    int calls = 0;
    const auto until = Clock::now() + 100ms;
    while (Clock::now() < until) {
        dev->waitForData(2, until);
        ++calls;
    }
    EXPECT_LT(calls, 1000);

    // A byte that arrives during a wait ends it.
    Responder far(pty, echo);
    ASSERT_EQ(writeToDevice({3}), FtStatus::Ok);
    EXPECT_TRUE(waitUntil([&] {
        dev->waitForData(2, Clock::now() + 50ms);
        return rxQueue() == 3;
    }));
}

class SerialNodesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char dir[] = "/tmp/zjig_nodes_XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        root = dir;
    }
    void TearDown() override { fs::remove_all(root); }

    void touch(const fs::path& p) {
        fs::create_directories(p.parent_path());
        std::ofstream(p) << "";
    }

    fs::path root;
};

TEST_F(SerialNodesTest, PrefersFtdiByIdLinksAndSortsNumbersByValue) {
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyUSB0", "ttyS0", "ttyACM0"}) {
        touch(root / name);
    }
    EXPECT_EQ(serial_detail::listFtdiSerialNodesIn(root.string()),
              (std::vector<std::string>{(root / "ttyUSB0").string(), (root / "ttyUSB2").string(),
                                        (root / "ttyUSB10").string()}));

    const fs::path byId = root / "serial" / "by-id";
    fs::create_directories(byId);
    fs::create_symlink("../../ttyUSB2", byId / "usb-FTDI_FT232R_USB_UART_B2-if00-port0");
    fs::create_symlink("../../ttyUSB0", byId / "usb-FTDI_FT232R_USB_UART_A1-if00-port0");
    fs::create_symlink("../../ttyACM0", byId / "usb-Prolific_PL2303-if00-port0");
    EXPECT_EQ(
        serial_detail::listFtdiSerialNodesIn(root.string()),
        (std::vector<std::string>{(byId / "usb-FTDI_FT232R_USB_UART_A1-if00-port0").string(),
                                  (byId / "usb-FTDI_FT232R_USB_UART_B2-if00-port0").string()}));
}

TEST_F(SerialNodesTest, NoNodesGiveAnEmptyList) {
    EXPECT_TRUE(serial_detail::listFtdiSerialNodesIn(root.string()).empty());
    EXPECT_TRUE(serial_detail::listFtdiSerialNodesIn((root / "absent").string()).empty());
}

TEST_F(SerialNodesTest, LatencyFileIsFoundThroughTheNodesRealName) {
    touch(root / "dev" / "ttyUSB3");
    touch(root / "sys" / "ttyUSB3" / "latency_timer");
    fs::create_directories(root / "dev" / "serial" / "by-id");
    const fs::path link = root / "dev" / "serial" / "by-id" / "usb-FTDI_X-if00-port0";
    fs::create_symlink("../../ttyUSB3", link);

    const std::string expected = (root / "sys" / "ttyUSB3" / "latency_timer").string();
    EXPECT_EQ(serial_detail::latencyTimerFile(link.string(), (root / "sys").string()), expected);
    EXPECT_EQ(serial_detail::latencyTimerFile((root / "dev" / "ttyUSB3").string(),
                                              (root / "sys").string()),
              expected);
    // No sysfs entry (a pseudo-terminal, another driver) or no node: none.
    touch(root / "dev" / "ttyS1");
    EXPECT_FALSE(serial_detail::latencyTimerFile((root / "dev" / "ttyS1").string(),
                                                 (root / "sys").string()));
    EXPECT_FALSE(serial_detail::latencyTimerFile((root / "dev" / "ttyUSB9").string(),
                                                 (root / "sys").string()));
}

TEST_F(SerialNodesTest, LatencyIsWrittenToTheNodesSysfsFile) {
    Pty pty;
    ASSERT_FALSE(pty.path().empty());
    const fs::path file = root / fs::path(pty.path()).filename() / "latency_timer";
    touch(file);

    auto port = serial_detail::makeSerialPort(pty.path(), root.string());
    std::unique_ptr<Device> dev;
    ASSERT_EQ(port->open(0, dev), FtStatus::Ok);
    EXPECT_EQ(dev->setLatencyTimer(2), FtStatus::Ok);
    std::string text;
    std::ifstream(file) >> text;
    EXPECT_EQ(text, "2");
}

}  // namespace
}  // namespace zjig
