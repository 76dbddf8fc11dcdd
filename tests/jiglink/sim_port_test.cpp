// The simulated JIG as a port of the device list.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "jiglink/backends/backends.h"
#include "jiglink/device.h"
#include "sim/sim_jig.h"

namespace zjig {
namespace {

using std::chrono::milliseconds;

std::unique_ptr<Port> simPort(const std::string& options) {
    std::string error;
    auto port = makeSimPort(options, error);
    EXPECT_TRUE(port) << error;
    return port;
}

std::unique_ptr<Device> openDevice(Port& port) {
    std::unique_ptr<Device> dev;
    EXPECT_EQ(port.open(0, dev), FtStatus::Ok);
    if (!dev) return nullptr;
    EXPECT_EQ(dev->resetDevice(), FtStatus::Ok);
    EXPECT_EQ(dev->setBaudRate(921600), FtStatus::Ok);
    EXPECT_EQ(dev->setDataCharacteristics(kBits8, kStopBits1, kParityNone), FtStatus::Ok);
    EXPECT_EQ(dev->setTimeouts(5000, 5000), FtStatus::Ok);
    return dev;
}

std::vector<uint8_t> exchange(Device& dev, std::vector<uint8_t> out, uint32_t answerBytes) {
    uint32_t moved = 0;
    EXPECT_EQ(dev.write(out.data(), static_cast<uint32_t>(out.size()), moved), FtStatus::Ok);
    EXPECT_EQ(moved, out.size());
    std::vector<uint8_t> in(answerBytes);
    EXPECT_EQ(dev.read(in.data(), answerBytes, moved), FtStatus::Ok);
    in.resize(moved);
    return in;
}

TEST(SimPort, BadOptionsGiveNoPortAndAnError) {
    std::string error;
    EXPECT_EQ(makeSimPort("jig4", error), nullptr);
    EXPECT_NE(error.find("jig4"), std::string::npos) << error;
    error.clear();
    EXPECT_EQ(makePort("sim:speed=warp", error), nullptr);
    EXPECT_NE(error.find("speed"), std::string::npos) << error;
}

TEST(SimPort, OffersOneDeviceThatOpensOnceAtATime) {
    auto port = simPort("jig2");
    ASSERT_TRUE(port);
    uint32_t n = 0;
    std::string error;
    EXPECT_TRUE(port->count(n, error));
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(port->describe(), "sim:jig2");

    std::unique_ptr<Device> other;
    EXPECT_EQ(port->open(1, other), FtStatus::DeviceNotFound);
    auto dev = openDevice(*port);
    ASSERT_TRUE(dev);
    EXPECT_EQ(port->open(0, other), FtStatus::DeviceNotOpened);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(dev->close(), FtStatus::Ok);
    EXPECT_EQ(port->open(0, other), FtStatus::Ok);
}

TEST(SimPort, NoopenDeviceIsListedButCannotBeOpened) {
    auto port = simPort("noopen");
    ASSERT_TRUE(port);
    uint32_t n = 0;
    std::string error;
    EXPECT_TRUE(port->count(n, error));
    EXPECT_EQ(n, 1u);
    std::unique_ptr<Device> dev;
    EXPECT_EQ(port->open(0, dev), FtStatus::DeviceNotOpened);
}

TEST(SimPort, IdentityQueryThroughTheDeviceCalls) {
    auto port = simPort("");
    ASSERT_TRUE(port);
    auto dev = openDevice(*port);
    ASSERT_TRUE(dev);
    uint32_t version = 0;
    EXPECT_EQ(dev->getDriverVersion(version), FtStatus::Ok);
    EXPECT_EQ(version, 0x00021228u);

    const uint8_t b = 'B';
    uint32_t moved = 0;
    ASSERT_EQ(dev->write(&b, 1, moved), FtStatus::Ok);
    // waitForData blocks on the simulator until the answer is there.
    const auto until = Clock::now() + milliseconds(5000);
    uint32_t rx = 0, tx = 0, events = 0;
    while (rx < 17 && Clock::now() < until) {
        dev->waitForData(rx, until);
        ASSERT_EQ(dev->getStatus(rx, tx, events), FtStatus::Ok);
    }
    EXPECT_EQ(rx, 17u);
    EXPECT_LT(Clock::now(), until);
    std::vector<uint8_t> in(17);
    EXPECT_EQ(dev->read(in.data(), 17, moved), FtStatus::Ok);
    EXPECT_EQ(std::string(in.begin(), in.end()), "M328_EPM240_v16\r\n");
}

TEST(SimPort, RefusesParametersTheBridgeDoesNotTake) {
    auto port = simPort("");
    ASSERT_TRUE(port);
    auto dev = openDevice(*port);
    ASSERT_TRUE(dev);
    EXPECT_EQ(dev->setBaudRate(0), FtStatus::InvalidBaudRate);
    EXPECT_EQ(dev->setLatencyTimer(1), FtStatus::InvalidParameter);
    EXPECT_EQ(dev->setLatencyTimer(2), FtStatus::Ok);
    EXPECT_EQ(dev->setDataCharacteristics(9, kStopBits1, kParityNone), FtStatus::InvalidParameter);
    EXPECT_EQ(dev->setDataCharacteristics(kBits8, 1, kParityNone), FtStatus::InvalidParameter);
    EXPECT_EQ(dev->purge(4), FtStatus::InvalidParameter);
    EXPECT_EQ(dev->purge(kPurgeRx | kPurgeTx), FtStatus::Ok);
    // The line still works after the refused calls.
    EXPECT_EQ(exchange(*dev, {'B'}, 17).size(), 17u);
}

TEST(SimPort, ClosedHandleAnswersInvalidHandle) {
    auto port = simPort("");
    ASSERT_TRUE(port);
    auto dev = openDevice(*port);
    ASSERT_TRUE(dev);
    ASSERT_EQ(dev->close(), FtStatus::Ok);
    uint8_t buf[4] = {'B'};
    uint32_t moved = 9, rx = 9, tx = 9, ev = 9, version = 9;
    EXPECT_EQ(dev->close(), FtStatus::InvalidHandle);
    EXPECT_EQ(dev->resetDevice(), FtStatus::InvalidHandle);
    EXPECT_EQ(dev->setBaudRate(921600), FtStatus::InvalidHandle);
    EXPECT_EQ(dev->setDataCharacteristics(kBits8, kStopBits1, kParityNone),
              FtStatus::InvalidHandle);
    EXPECT_EQ(dev->setTimeouts(300, 300), FtStatus::InvalidHandle);
    EXPECT_EQ(dev->setLatencyTimer(2), FtStatus::InvalidHandle);
    EXPECT_EQ(dev->write(buf, 1, moved), FtStatus::InvalidHandle);
    EXPECT_EQ(moved, 0u);
    EXPECT_EQ(dev->read(buf, 4, moved), FtStatus::InvalidHandle);
    EXPECT_EQ(dev->getStatus(rx, tx, ev), FtStatus::InvalidHandle);
    EXPECT_EQ(rx, 0u);
    EXPECT_EQ(dev->purge(kPurgeRx), FtStatus::InvalidHandle);
    EXPECT_EQ(dev->getDriverVersion(version), FtStatus::InvalidHandle);
    dev->waitForData(0, Clock::now() + milliseconds(5000));  // returns at once
}

TEST(SimPort, TheJigKeepsItsStateBetweenConnections) {
    auto port = simPort("jig3");
    ASSERT_TRUE(port);
    {
        auto dev = openDevice(*port);
        ASSERT_TRUE(dev);
        EXPECT_EQ(exchange(*dev, {'S', 'W', 0x10, 0x01}, 1).size(), 1u);  // leaves wire mode
    }  // the handle closes itself
    auto dev = openDevice(*port);
    ASSERT_TRUE(dev);
    EXPECT_EQ(exchange(*dev, {'K', 'V'}, 1), std::vector<uint8_t>{0xFF})
        << "still routed away from the wires";
    EXPECT_EQ(exchange(*dev, {'S', 'R'}, 1).size(), 1u);
    const auto version = exchange(*dev, {'K', 'V'}, 1);
    ASSERT_EQ(version.size(), 1u);
    EXPECT_NE(version[0], 0xFF);
}

TEST(SimPort, OpenDeviceOutlivesItsPort) {
    auto port = simPort("");
    ASSERT_TRUE(port);
    auto dev = openDevice(*port);
    ASSERT_TRUE(dev);
    port.reset();
    EXPECT_EQ(exchange(*dev, {'B'}, 17).size(), 17u);
    EXPECT_EQ(dev->close(), FtStatus::Ok);
}

TEST(SimPort, PortAroundAJigTheTestKeeps) {
    std::string error;
    std::shared_ptr<sim::SimDevice> jig = sim::SimDevice::create("jig3", error);
    ASSERT_TRUE(jig) << error;
    auto port = makeSimPort(jig, "jig3");
    ASSERT_TRUE(port);
    auto dev = openDevice(*port);
    ASSERT_TRUE(dev);
    EXPECT_EQ(exchange(*dev, {'S', 'W', 0x40, 0x88}, 1).size(), 1u);
    EXPECT_EQ(jig->jig().cpldRegisters()[0x40], 0x88);
    EXPECT_EQ(jig->takeHostBytes(), (std::vector<uint8_t>{'S', 'W', 0x40, 0x88}));
    EXPECT_TRUE(jig->isOpen());
    dev.reset();
    EXPECT_FALSE(jig->isOpen()) << "the handle closes the bridge when it goes";
}

TEST(SimPort, ReachableThroughTheDeviceList) {
    std::string error;
    auto port = makePort("sim:jig2=NPCE", error);
    ASSERT_TRUE(port) << error;
    DeviceList list;
    list.addPort(std::move(port));
    uint32_t count = 0;
    ASSERT_EQ(list.createDeviceInfoList(count), FtStatus::Ok);
    EXPECT_EQ(count, 1u);
    std::unique_ptr<Device> dev;
    ASSERT_EQ(list.open(0, dev), FtStatus::Ok);
    dev->setBaudRate(921600);
    dev->setTimeouts(5000, 5000);
    const auto answer = exchange(*dev, {'B'}, 15);
    EXPECT_EQ(std::string(answer.begin(), answer.end()), "PCB2_M88_NPCE\r\n");
}

}  // namespace
}  // namespace zjig
