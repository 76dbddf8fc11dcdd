// The d2xx backend against a stand-in vendor library (fake_d2xx.c): two
// loopback devices that keep the settings they receive.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "jiglink/backends/backends.h"

namespace zjig {
namespace {

using namespace std::chrono_literals;

constexpr const char* kFake = ZJIG_FAKE_D2XX_PATH;
constexpr const char* kFakeWithoutDriverVersion = ZJIG_FAKE_D2XX_PARTIAL_PATH;
constexpr uint32_t kFakeDriverVersion = 0x00021234;
constexpr uint32_t kFakeEventWord = 0x5A;

bool libraryLoaded(const char* path) {
    void* h = ::dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (h) ::dlclose(h);
    return h != nullptr;
}

// Holds the fake library loaded for its controls; the backend's own dlopen of
// the same path shares this copy and its state.
class D2xxPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        lib_ = ::dlopen(kFake, RTLD_NOW);
        ASSERT_NE(lib_, nullptr) << ::dlerror();
        control_ = reinterpret_cast<Control>(::dlsym(lib_, "fake_d2xx_control"));
        query_ = reinterpret_cast<Query>(::dlsym(lib_, "fake_d2xx_query"));
        ASSERT_TRUE(control_ && query_);
        control("devices", 2);
        control("list_status", 0);
        control("read_status", 0);
        control("wide_words", 0);
    }
    void TearDown() override {
        if (lib_) ::dlclose(lib_);
    }

    void control(const char* key, long value) { control_(key, value); }
    long query(int index, const char* key) { return query_(index, key); }

    std::unique_ptr<Port> port(std::optional<uint32_t> only = std::nullopt) {
        return makeD2xxPort(only, kFake);
    }

    std::unique_ptr<Device> openDevice(Port& p, uint32_t index) {
        uint32_t n = 0;
        std::string error;
        EXPECT_TRUE(p.count(n, error)) << error;
        std::unique_ptr<Device> dev;
        EXPECT_EQ(p.open(index, dev), FtStatus::Ok);
        return dev;
    }

  private:
    using Control = void (*)(const char*, long);
    using Query = long (*)(int, const char*);
    void* lib_ = nullptr;
    Control control_ = nullptr;
    Query query_ = nullptr;
};

TEST_F(D2xxPortTest, OffersAllDevicesOrOnlyDeviceN) {
    struct Case {
        std::optional<uint32_t> only;
        uint32_t count;
        const char* describe;
    };
    for (const Case& c : {Case{std::nullopt, 2, "d2xx"}, Case{0, 1, "d2xx:0"}, Case{1, 1, "d2xx:1"},
                          Case{2, 0, "d2xx:2"}, Case{7, 0, "d2xx:7"}}) {
        SCOPED_TRACE(c.describe);
        auto p = port(c.only);
        uint32_t n = 99;
        std::string error;
        EXPECT_TRUE(p->count(n, error)) << error;
        EXPECT_EQ(n, c.count);
        EXPECT_EQ(p->describe(), c.describe);
    }
}

TEST_F(D2xxPortTest, DeviceNOpensThatDeviceOnly) {
    auto p = port(1);
    auto dev = openDevice(*p, 0);
    ASSERT_TRUE(dev);
    EXPECT_EQ(query(1, "open"), 1);
    EXPECT_EQ(query(0, "open"), 0);

    std::unique_ptr<Device> other;
    EXPECT_EQ(p->open(1, other), FtStatus::DeviceNotFound);
    EXPECT_FALSE(other);

    EXPECT_EQ(dev->close(), FtStatus::Ok);
    EXPECT_EQ(query(1, "open"), 0);
}

TEST_F(D2xxPortTest, CallsReachTheLibraryWithTheirArguments) {
    auto p = port();
    auto dev = openDevice(*p, 1);
    ASSERT_TRUE(dev);

    EXPECT_EQ(dev->resetDevice(), FtStatus::Ok);
    EXPECT_EQ(dev->setBaudRate(921600), FtStatus::Ok);
    EXPECT_EQ(dev->setDataCharacteristics(kBits8, kStopBits1, kParityNone), FtStatus::Ok);
    EXPECT_EQ(dev->setTimeouts(300, 500), FtStatus::Ok);
    EXPECT_EQ(dev->setLatencyTimer(2), FtStatus::Ok);
    EXPECT_EQ(query(1, "resets"), 1);
    EXPECT_EQ(query(1, "baud"), 921600);
    EXPECT_EQ(query(1, "bits"), 8);
    EXPECT_EQ(query(1, "stop_bits"), 0);
    EXPECT_EQ(query(1, "parity"), 0);
    EXPECT_EQ(query(1, "read_timeout"), 300);
    EXPECT_EQ(query(1, "write_timeout"), 500);
    EXPECT_EQ(query(1, "latency"), 2);
    EXPECT_EQ(query(0, "baud"), 0) << "the other device was touched";

    uint32_t version = 0;
    EXPECT_EQ(dev->getDriverVersion(version), FtStatus::Ok);
    EXPECT_EQ(version, kFakeDriverVersion);
}

TEST_F(D2xxPortTest, DataStatusAndPurgePassThrough) {
    auto p = port();
    auto dev = openDevice(*p, 0);
    ASSERT_TRUE(dev);

    const std::vector<uint8_t> sent = {'B', 0x00, 0xFF, '\r', '\n'};
    uint32_t moved = 0;
    EXPECT_EQ(dev->write(sent.data(), static_cast<uint32_t>(sent.size()), moved), FtStatus::Ok);
    EXPECT_EQ(moved, sent.size());

    uint32_t rx = 0, tx = 99, ev = 0;
    EXPECT_EQ(dev->getStatus(rx, tx, ev), FtStatus::Ok);
    EXPECT_EQ(rx, sent.size());
    EXPECT_EQ(tx, 0u);
    EXPECT_EQ(ev, kFakeEventWord);

    // A read asking for more than is queued returns what there is.
    std::vector<uint8_t> got(32, 0xEE);
    EXPECT_EQ(dev->read(got.data(), static_cast<uint32_t>(got.size()), moved), FtStatus::Ok);
    ASSERT_EQ(moved, sent.size());
    EXPECT_TRUE(std::equal(sent.begin(), sent.end(), got.begin()));

    EXPECT_EQ(dev->write(sent.data(), 3, moved), FtStatus::Ok);
    EXPECT_EQ(dev->purge(kPurgeRx | kPurgeTx), FtStatus::Ok);
    EXPECT_EQ(query(0, "last_purge"), 3);
    EXPECT_EQ(dev->getStatus(rx, tx, ev), FtStatus::Ok);
    EXPECT_EQ(rx, 0u);
}

TEST_F(D2xxPortTest, LibraryFailuresArePassedOnUnchanged) {
    auto p = port();
    auto dev = openDevice(*p, 0);
    ASSERT_TRUE(dev);
    uint8_t buf[4] = {};
    uint32_t moved = 0;

    struct Case {
        const char* call;
        std::function<FtStatus()> run;
        FtStatus expected;
    };
    const Case cases[] = {
        {"baud rate", [&] { return dev->setBaudRate(100); }, FtStatus::InvalidBaudRate},
        {"latency", [&] { return dev->setLatencyTimer(1); }, FtStatus::InvalidParameter},
        {"line format", [&] { return dev->setDataCharacteristics(5, 0, 0); },
         FtStatus::InvalidParameter},
        {"purge", [&] { return dev->purge(0); }, FtStatus::InvalidParameter},
        {"read, unplugged",
         [&] {
             control("read_status", 4);
             return dev->read(buf, sizeof buf, moved);
         },
         FtStatus::IoError},
        // A status this program has no name for still arrives as it was.
        {"read, unnamed status",
         [&] {
             control("read_status", 10);
             return dev->read(buf, sizeof buf, moved);
         },
         static_cast<FtStatus>(10)},
        {"open a device already open",
         [&] {
             std::unique_ptr<Device> again;
             return p->open(0, again);
         },
         FtStatus::DeviceNotOpened},
        {"open a device not listed",
         [&] {
             std::unique_ptr<Device> none;
             return p->open(5, none);
         },
         FtStatus::DeviceNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        EXPECT_EQ(c.run(), c.expected);
    }
}

TEST_F(D2xxPortTest, WordsWrittenSixtyFourBitsWideAreReadCorrectly) {
    // A library whose ULONG is 64 bits wide writes 8 bytes per word; they must
    // land in the backend's own storage, not over its neighbours.
    control("wide_words", 1);
    auto p = port();
    auto dev = openDevice(*p, 1);
    ASSERT_TRUE(dev);
    const uint8_t sent[3] = {7, 8, 9};
    uint32_t moved = 0, rx = 0, tx = 0, ev = 0, version = 0;
    EXPECT_EQ(dev->write(sent, 3, moved), FtStatus::Ok);
    EXPECT_EQ(moved, 3u);
    EXPECT_EQ(dev->getStatus(rx, tx, ev), FtStatus::Ok);
    EXPECT_EQ(rx, 3u);
    EXPECT_EQ(ev, kFakeEventWord);
    EXPECT_EQ(dev->getDriverVersion(version), FtStatus::Ok);
    EXPECT_EQ(version, kFakeDriverVersion);
}

TEST_F(D2xxPortTest, FailedDeviceListIsReported) {
    control("list_status", 4);
    uint32_t n = 99;
    std::string error;
    EXPECT_FALSE(port()->count(n, error));
    EXPECT_EQ(n, 0u);
    EXPECT_NE(error.find("FT_CreateDeviceInfoList"), std::string::npos) << error;
}

TEST_F(D2xxPortTest, ClosedDeviceAnswersInvalidHandle) {
    auto p = port();
    auto dev = openDevice(*p, 0);
    ASSERT_TRUE(dev);
    EXPECT_EQ(dev->close(), FtStatus::Ok);
    EXPECT_EQ(query(0, "open"), 0);
    EXPECT_EQ(dev->close(), FtStatus::InvalidHandle);
    uint8_t b = 0;
    uint32_t moved = 0, rx = 0, tx = 0, ev = 0;
    EXPECT_EQ(dev->write(&b, 1, moved), FtStatus::InvalidHandle);
    EXPECT_EQ(dev->read(&b, 1, moved), FtStatus::InvalidHandle);
    EXPECT_EQ(dev->getStatus(rx, tx, ev), FtStatus::InvalidHandle);
    EXPECT_EQ(dev->setTimeouts(300, 300), FtStatus::InvalidHandle);

    // The device is free again: it opens once more.
    EXPECT_TRUE(openDevice(*p, 0));
}

TEST_F(D2xxPortTest, DestroyingAnOpenDeviceClosesIt) {
    auto p = port();
    openDevice(*p, 1).reset();
    EXPECT_EQ(query(1, "open"), 0);
}

TEST_F(D2xxPortTest, WaitForDataEndsByItsDeadlineWithoutSpinning) {
    auto p = port();
    auto dev = openDevice(*p, 0);
    ASSERT_TRUE(dev);

    auto start = Clock::now();
    dev->waitForData(0, start - 1s);  // a deadline already passed
    dev->waitForData(0, start + 2ms);
    EXPECT_LT(Clock::now() - start, 5s);

    int calls = 0;
    const auto until = Clock::now() + 100ms;
    while (Clock::now() < until) {
        dev->waitForData(0, until);
        ++calls;
    }
    EXPECT_LT(calls, 1000);
}

TEST(D2xxLibrary, StaysLoadedUntilTheLastDeviceIsGone) {
    ASSERT_FALSE(libraryLoaded(kFake));
    auto p = makeD2xxPort(std::nullopt, kFake);
    uint32_t n = 0;
    std::string error;
    ASSERT_TRUE(p->count(n, error)) << error;
    std::unique_ptr<Device> dev;
    ASSERT_EQ(p->open(0, dev), FtStatus::Ok);

    p.reset();
    ASSERT_TRUE(libraryLoaded(kFake));
    // The device still works through the library its port loaded.
    const uint8_t sent = 'B';
    uint8_t got = 0;
    uint32_t moved = 0;
    EXPECT_EQ(dev->write(&sent, 1, moved), FtStatus::Ok);
    EXPECT_EQ(dev->read(&got, 1, moved), FtStatus::Ok);
    EXPECT_EQ(got, 'B');

    dev.reset();
    EXPECT_FALSE(libraryLoaded(kFake));
}

TEST(D2xxLibrary, MissingLibraryIsAClearErrorNotACrash) {
    auto p = makeD2xxPort(std::nullopt, "/nonexistent/libftd2xx.so");
    uint32_t n = 99;
    std::string error;
    EXPECT_FALSE(p->count(n, error));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(error.rfind("D2XX library not found: ", 0), 0u) << error;
    EXPECT_NE(error.find("/nonexistent/libftd2xx.so"), std::string::npos) << error;

    std::unique_ptr<Device> dev;
    EXPECT_NE(p->open(0, dev), FtStatus::Ok);
    EXPECT_FALSE(dev);
    // Asking again gives the same answer.
    error.clear();
    EXPECT_FALSE(p->count(n, error));
    EXPECT_EQ(error.rfind("D2XX library not found: ", 0), 0u) << error;
}

TEST(D2xxLibrary, LibraryMissingAFunctionIsRefusedByName) {
    auto p = makeD2xxPort(std::nullopt, kFakeWithoutDriverVersion);
    uint32_t n = 99;
    std::string error;
    EXPECT_FALSE(p->count(n, error));
    EXPECT_EQ(error.rfind("D2XX library not found: ", 0), 0u) << error;
    EXPECT_NE(error.find("FT_GetDriverVersion"), std::string::npos) << error;
    std::unique_ptr<Device> dev;
    EXPECT_NE(p->open(0, dev), FtStatus::Ok);
    // Refused libraries are not kept loaded.
    p.reset();
    EXPECT_FALSE(libraryLoaded(kFakeWithoutDriverVersion));
}

TEST(D2xxLibrary, DefaultNamesAreTriedWhenNoPathIsGiven) {
    void* installed = ::dlopen("libftd2xx.so", RTLD_LAZY);
    if (!installed) installed = ::dlopen("libftd2xx.so.1", RTLD_LAZY);
    if (installed) {
        ::dlclose(installed);
        GTEST_SKIP() << "the vendor library is installed here";
    }
    auto p = makeD2xxPort(std::nullopt);
    uint32_t n = 99;
    std::string error;
    EXPECT_FALSE(p->count(n, error));
    EXPECT_EQ(error.rfind("D2XX library not found: ", 0), 0u) << error;
    EXPECT_NE(error.find("libftd2xx.so"), std::string::npos) << error;
}

}  // namespace
}  // namespace zjig
