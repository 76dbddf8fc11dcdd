// The Nuvoton JTAG session on a JIG, with the window thread its closing
// message runs on: presses, the steps of the memo, and what the JIG was sent.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/event_loop.h"
#include "jiglink/backends/backends.h"
#include "nuvoton_jtag_form/nuvjtag_session.h"
#include "sim/sim_jig.h"
#include "support/mode_context.h"
#include "support/recorder_port.h"
#include "support/temp_dir.h"

namespace zjig::test {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

inline constexpr const char* kNuvMemo = "Memo_NUV_JTAG";
inline constexpr const char* kNuvGauge = "CGauge_progrss";
inline constexpr size_t kNuvFlash = 131072;
inline constexpr const char* kNuvTarget = "Nuvoton JTAG";

// The sample script's folder (the simulated controller's own script).
inline std::string sampleFirmwareDir() { return ZJIG_SIM_FIRMWARE_DIR; }

inline Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline Bytes readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline void writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}
inline Bytes randomImage(size_t size, uint32_t seed) {
    Bytes b(size);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& v : b) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        v = static_cast<uint8_t>(x);
    }
    return b;
}
inline bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}
inline bool hasLineStarting(const std::vector<std::string>& lines, const std::string& start) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.rfind(start, 0) == 0; });
}
// Waits until `done` holds or the generous limit passes; true when it held.
inline bool eventually(const std::function<bool()>& done,
                       std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
// Position of `part` in `bytes`, or -1.
inline long find(const Bytes& bytes, const Bytes& part) {
    const auto it = std::search(bytes.begin(), bytes.end(), part.begin(), part.end());
    return it == bytes.end() ? -1 : static_cast<long>(it - bytes.begin());
}
inline size_t count(const Bytes& bytes, const Bytes& part) {
    size_t n = 0;
    for (auto it = bytes.begin();
         (it = std::search(it, bytes.end(), part.begin(), part.end())) != bytes.end(); ++it)
        ++n;
    return n;
}

class NuvSessionFixture : public ::testing::Test {
  protected:
    // A session on the devices of `list`; the default script is looked for
    // in `firmwareDir`.
    void openOn(DeviceList& list, std::optional<milliseconds> timeout,
                const std::string& firmwareDir) {
        session.reset();
        ui.clear();
        ModeContext context = modeContext(LinkEnv{&list, timeout}, ui);
        context.windowThread = &loop;
        context.firmwareDir = firmwareDir;
        session = std::make_unique<NuvotonJtagSession>(context);
        session->FormCreate();
    }
    // A fresh simulated JIG with `options`.
    void open(const std::string& options, std::optional<milliseconds> timeout = std::nullopt,
              const std::string& firmwareDir = sampleFirmwareDir()) {
        session.reset();
        std::string error;
        sim = std::shared_ptr<sim::SimDevice>(sim::SimDevice::create(options, error));
        ASSERT_TRUE(sim) << error;
        devices = std::make_unique<DeviceList>();
        devices->addPort(makeSimPort(sim, options));
        openOn(*devices, timeout, firmwareDir);
    }

    // Runs the window thread until the mode is idle: the worker has ended and
    // the closing message has let the link go. False when it did not within
    // `limit`.
    bool settle(std::chrono::milliseconds limit = 60s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (session->busy()) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline) return false;
            loop.runUntil([&] { return !session->busy(); }, std::min(deadline, now + 20ms));
        }
        return session->waitIdle(limit);
    }
    void press(const std::function<void()>& handler) {
        handler();
        ASSERT_TRUE(settle()) << "the press did not end";
    }

    void settings() {
        press([&] { session->BitBtn_SETTINGSClick(); });
    }
    void check() {
        press([&] { session->BitBtn_CONNECTClick(); });
    }
    // "###" answered with `path` (nothing: cancelled).
    void chooseScript(std::optional<std::string> path) {
        ui.queueFile(std::move(path));
        session->BitBtnFILE_OPENClick();
    }
    void read(const std::string& path) {
        ui.queueFile(path);
        press([&] { session->BitBtn_NUV_JTAG_RDClick(); });
    }
    void write(const std::string& path) {
        ui.queueFile(path);
        press([&] { session->BitBtn_NUV_JTAG_WRClick(); });
    }
    // Settings and a check with the default script, as the memo's steps say.
    void prepare() {
        settings();
        ASSERT_EQ(session->lastOperationSucceeded(), true) << "settings";
        check();
        ASSERT_EQ(session->lastOperationSucceeded(), true) << "check";
    }

    Bytes hostBytes() { return sim->jig().takeHostBytes(); }
    std::vector<std::string> memo() const { return ui.memo(kNuvMemo); }
    Bytes flash() const { return sim->jig().targetMemory(kNuvTarget); }

    TempDir dir;
    RecorderPort ui;
    EventLoop loop;
    std::shared_ptr<sim::SimDevice> sim;
    std::unique_ptr<DeviceList> devices;
    std::unique_ptr<NuvotonJtagSession> session;
};

}  // namespace zjig::test
