// Inside the simulated JIG: its bridge, its CPLD, its targets, the firmware it
// runs and the bootloaders' memories, and the thread its firmware runs on.
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/cpld.h"
#include "sim/edid_eeprom.h"
#include "sim/ene_kb90xx.h"
#include "sim/keyboard_matrix.h"
#include "sim/link.h"
#include "sim/npce_spi.h"
#include "sim/options.h"
#include "sim/sim_jig.h"
#include "sim/target.h"

namespace sim {

inline constexpr size_t kJig2BootFlashSize = 6144;
inline constexpr size_t kJig3ImageSize = 131072;
// Where an image says who it is: this marker, the identity text, a NUL.
inline constexpr const char* kIdentityMarker = "ZJIG-ID:";

// The firmware the microcontroller runs: its answer to 'B' (empty: silent)
// and, on the second generation, the family of its command set.
struct RunningFirmware {
    std::string answer;
    Family family = Family::None;
};

RunningFirmware firmwareFromImage(const std::vector<uint8_t>& image, size_t length, int generation);

struct SimJig::Impl : Context {
    // Second-generation bootloader: waiting for 'U', greeted (stray 'U's in
    // flight are skipped), or taking lines.
    enum class Boot2Phase { Sync, Greeted, Lines };

    Impl(Options options, std::vector<std::unique_ptr<Target>> targets);

    int generation() const override { return opts.generation; }
    const Cpld& cpld() const override { return cpld_; }
    void memoryChanged() override { saveState(); }
    void handBack(uint8_t byte) override { handedBack = byte; }

    // The firmware thread.
    void start();
    void stop();
    void run();
    Stage runFirmware();
    Stage runJig2Bootloader();
    Stage runJig3Bootloader();
    void dispatchJig2(uint8_t c, Family family);
    void dispatchJig3(uint8_t c);
    // The program is asking for the reset button; does the technician see it?
    bool technicianWatches(uint8_t byte, uint32_t baud) const;

    RunningFirmware running() const;
    void setRunning(RunningFirmware fw);

    // `state=DIR`.
    bool loadState(std::string& error);
    void saveState();

    const Options opts;
    std::vector<std::unique_ptr<Target>> targets;
    EneKb90xx* ene = nullptr;
    EdidEeprom* edid = nullptr;
    NpceSpi* npce = nullptr;
    KeyboardMatrix* keyboard = nullptr;
    // A byte a target gave back (firmware thread only).
    std::optional<uint8_t> handedBack;
    Link link;
    Cpld cpld_;

    std::atomic<Stage> stage{Stage::Firmware};
    std::atomic<Boot2Phase> boot2Phase{Boot2Phase::Sync};

    mutable std::mutex m;  // guards the members below
    RunningFirmware running_;
    std::vector<uint8_t> boot2Flash;
    std::vector<uint8_t> boot3Image;
    size_t boot3Length = 0;
    std::string stateError;

    std::mutex saveMutex;
    std::thread thread;

    // `wirelog=FILE`: what the PC sent, as the bridge took it.
    void logHostBytes(const uint8_t* data, size_t n);
    std::mutex wireLogMutex;
    std::FILE* wireLog = nullptr;
};

}  // namespace sim
