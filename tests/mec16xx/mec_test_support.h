// The MEC16xx session on the simulated JIG, for the session tests: the
// session, the port it reports to (with hooks that press buttons at a chosen
// moment), the simulated controller's memory and the bytes the PC sent.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jiglink/backends/backends.h"
#include "kb901x_form/ene_test_support.h"
#include "mec16xx/mec16xx_session.h"
#include "sim/sim_jig.h"
#include "support/mode_context.h"
#include "support/recorder_port.h"

namespace zjig::test {

using Bytes = std::vector<uint8_t>;

inline constexpr const char* kMecMemo = "Memo_MEC16";
inline constexpr const char* kMecGauge = "CGauge_MEC16";
inline constexpr const char* kMecTarget = "MEC16xx";
inline constexpr size_t kMecMain = 196608;
inline constexpr size_t kMecInfo = 2048;

inline Bytes bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }
inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline Bytes repeat(const Bytes& unit, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i) out = out + unit;
    return out;
}
inline Bytes slice(const Bytes& from, size_t at, size_t n) {
    return Bytes(from.begin() + static_cast<long>(at), from.begin() + static_cast<long>(at + n));
}
inline bool contains(const Bytes& haystack, const Bytes& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
           haystack.end();
}

// Memo lines with the clock taken out of the time lines.
inline std::vector<std::string> withoutClock(std::vector<std::string> lines) {
    for (auto& l : lines) {
        if (l.rfind("Current time ", 0) == 0) l = "Current time <t>";
        if (l.rfind("Текущее время  ", 0) == 0) l = "Текущее время  <t>";
    }
    return lines;
}
inline bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}
inline bool hasLineStarting(const std::vector<std::string>& lines, const std::string& start) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.rfind(start, 0) == 0; });
}

// A recorder that can act when a file dialog opens or a memo line appears,
// as a user pressing a button at that moment would.
class HookedPort : public RecorderPort {
  public:
    std::function<void()> onFileDialog;
    std::function<void(const std::string&)> onLine;

    std::optional<std::string> fileDialog(const FileDialogSpec& spec) override {
        if (onFileDialog) onFileDialog();
        return RecorderPort::fileDialog(spec);
    }
    void appendLine(const std::string& memo, const std::string& line) override {
        RecorderPort::appendLine(memo, line);
        if (onLine) onLine(line);
    }
};

class MecSessionTest : public ::testing::Test {
  protected:
    // A fresh simulated JIG with `options` and a session on it.
    void open(const std::string& options, std::optional<milliseconds> timeout = std::nullopt) {
        session.reset();
        std::string error;
        sim = std::shared_ptr<sim::SimDevice>(sim::SimDevice::create(options, error));
        ASSERT_TRUE(sim) << error;
        devices = std::make_unique<DeviceList>();
        devices->addPort(makeSimPort(sim, options));
        ui.clear();
        ui.onFileDialog = nullptr;
        ui.onLine = nullptr;
        session = std::make_unique<Mec16Session>(modeContext(LinkEnv{devices.get(), timeout}, ui));
        session->FormCreate();
    }
    Bytes hostBytes() { return sim->jig().takeHostBytes(); }
    std::vector<std::string> memo() const { return withoutClock(ui.memo(kMecMemo)); }
    Bytes memory() const { return sim->jig().targetMemory(kMecTarget); }
    Bytes mainFlash() const { return slice(memory(), 0, kMecMain); }
    Bytes infoArea() const { return slice(memory(), kMecMain, kMecInfo); }
    void finish() { ASSERT_TRUE(session->waitIdle(std::chrono::seconds(60))) << "did not end"; }

    void read(const std::string& path, bool info = false) {
        session->CheckBox_MEC16_RDClick(info);
        ui.queueFile(path);
        session->BitBtn_RD_MEC16Click();
        finish();
    }
    void write(const std::string& path) {
        ui.queueFile(path);
        session->BitBtn_MEC16_WRITEClick();
        finish();
    }
    void erase(bool info = false) {
        session->CheckBox_erase_mec16Click(info);
        session->BitBtn_MEC16_ERASEClick();
    }

    TempDir dir;
    HookedPort ui;
    std::shared_ptr<sim::SimDevice> sim;
    std::unique_ptr<DeviceList> devices;
    std::unique_ptr<Mec16Session> session;
};

}  // namespace zjig::test
