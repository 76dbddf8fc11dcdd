#include "jiglink/connection_test.h"

#include "base/hex_text.h"
#include "base/names.h"

namespace zjig {

std::string driverVersionText(uint32_t version) { return upperHex(version, 2); }

uint32_t ConnectionTest::BitBtn1Click() {
    auto say = [&](const std::string& line) { ui_.appendLine(names::kTestMemo, line); };
    say("");
    if (!ftOk(link_.enumerate())) {
        say("I can not get a list of VCOM ports");
        return 0;
    }
    if (link_.deviceCount == 0) {
        say("VCOM port is not found on the machine!");
        return 0;
    }
    say("Number of VCOM ports found on the machine: " + std::to_string(link_.deviceCount));
    uint32_t opened = 0;
    for (uint32_t index = link_.deviceCount; index-- > 0;) {
        if (!ftOk(link_.open(index))) continue;
        ++opened;
        say(">>>");
        say("Open VCOM" + std::to_string(index));
        link_.getDriverVersion();
        say("FTDI DRIVER version -> " + driverVersionText(link_.driverVersion));
        link_.configure(kTestTimeoutMs, kTestTimeoutMs);
        std::string identity;
        if (link_.identify(identity) > 0)
            say("PROG version FW -> " + identity);
        else
            say("No answer");
        link_.close();
    }
    return opened;
}

}  // namespace zjig
