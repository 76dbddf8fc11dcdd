#include "jiglink/connection_test.h"

#include <gtest/gtest.h>

#include "support/fake_port.h"
#include "support/recorder_port.h"

namespace zjig {
namespace {

using test::FakeDeviceScript;

TEST(ConnectionTest, VisitsEveryDeviceFromTheHighestIndex) {
    auto log = std::make_shared<test::FakeLog>();
    FakeDeviceScript jig;
    jig.identity = test::bytesOf("M328_EPM240_v16\r\n");
    FakeDeviceScript silent;
    silent.driverVersion = 0x5;
    FakeDeviceScript unopenable;
    unopenable.opens = false;
    DeviceList list = test::fakeDeviceList({silent, unopenable, jig}, log);
    test::RecorderPort ui;
    ConnectionTest window(LinkEnv{&list, {}}, ui);
    window.BitBtn1Click();
    window.BitBtn1Click();
    const std::vector<std::string> block = {"",
                                            "Number of VCOM ports found on the machine: 3",
                                            ">>>",
                                            "Open VCOM2",
                                            "FTDI DRIVER version -> 21228",
                                            "PROG version FW -> M328_EPM240_v16  ",
                                            ">>>",
                                            "Open VCOM0",
                                            "FTDI DRIVER version -> 05",
                                            "No answer"};
    std::vector<std::string> twice = block;
    twice.insert(twice.end(), block.begin(), block.end());
    EXPECT_EQ(ui.memo("Test_memo"), twice);
    // Nothing stays open and the latency timer is left alone.
    int opens = 0, closes = 0;
    for (const auto& c : log->snapshot()) {
        opens += c.rfind("open ", 0) == 0;
        closes += c.rfind("close ", 0) == 0;
        EXPECT_NE(c.rfind("latency", 0), 0u) << c;
        if (c.rfind("timeouts", 0) == 0) {
            EXPECT_EQ(c.substr(c.size() - 7), "500 500");
        }
    }
    EXPECT_EQ(opens, 4);
    EXPECT_EQ(closes, 4);
}

TEST(ConnectionTest, NoDeviceEndsWithItsLine) {
    DeviceList list;
    test::RecorderPort ui;
    ConnectionTest window(LinkEnv{&list, {}}, ui);
    window.BitBtn1Click();
    EXPECT_EQ(ui.memo("Test_memo"),
              (std::vector<std::string>{"", "VCOM port is not found on the machine!"}));
}

TEST(DriverVersionText, AtLeastTwoUpperCaseDigits) {
    EXPECT_EQ(driverVersionText(0), "00");
    EXPECT_EQ(driverVersionText(0xF), "0F");
    EXPECT_EQ(driverVersionText(0x10), "10");
    EXPECT_EQ(driverVersionText(0x00021228), "21228");
    EXPECT_EQ(driverVersionText(0xABCDEF01), "ABCDEF01");
}

}  // namespace
}  // namespace zjig
