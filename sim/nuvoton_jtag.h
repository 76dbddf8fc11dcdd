// The JIG's JTAG side ('J' commands) with a Nuvoton embedded controller
// behind it: the JIG shifts IR and DR values into the controller's TAP as the
// program asks, runs batches of selector/value shifts, and reads the
// controller's 128 KiB flash 256 bytes at a time.
//
// The controller is a made-up but complete model, so that a script replay,
// a read and a write can only succeed in the right order:
//   - after a TAP reset its IR selects the ID code; IR 0x0A then a 32-bit
//     shift of the key unlocks its debug bus; IR 0x0C opens the bus, where
//     each 8-bit shift picks a selector and the 32-bit shift after it gives
//     that selector's value (0x0B address, 0x0D data, 0x09 command, 0x0C
//     fetch, 0x00-0x03 configuration);
//   - the flash interface answers only once the core is halted; the write's
//     helper runs only when the script has loaded it into RAM;
//   - a TAP reset locks the bus again, so every check needs a new replay.
// `--help-sim` (optionHelp) describes the model and the faults.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "sim/target.h"

namespace sim {

class NuvotonJtag : public Target {
  public:
    static constexpr size_t kFlashSize = 128 * 1024;
    static constexpr size_t kPageSize = 256;
    static constexpr size_t kPages = kFlashSize / kPageSize;
    static constexpr size_t kSectorSize = 4096;
    static constexpr uint32_t kDefaultId = 0x0FE2201F;

    // The debug bus (made up for the simulator; the sample script
    // sim-firmware/NUVOTON.vss establishes it).
    static constexpr uint8_t kIrIdCode = 0x02;
    static constexpr uint8_t kIrUnlock = 0x0A;
    static constexpr uint8_t kIrBus = 0x0C;
    static constexpr uint32_t kUnlockKey = 0xC3A5965A;
    static constexpr uint32_t kCoreControl = 0xFF0000;  // write 1: halt the core
    static constexpr uint32_t kHelperSignature = 0x48454C50;
    static constexpr uint32_t kHelperEntry = 0x10400;

    NuvotonJtag();

    const char* name() const override { return "Nuvoton JTAG"; }
    uint8_t jig3Prefix() const override { return 'J'; }
    Family jig2Family() const override { return Family::Npce; }
    bool takesJig2Command(uint8_t cmd) const override;
    void command(uint8_t cmd, Uart& uart, Context& ctx) override;

    OptionResult parseOption(const std::string& key, const std::optional<std::string>& value,
                             std::string& error) override;
    std::string checkOptions(int generation) const override;
    std::string optionHelp() const override;

    std::string stateFileName() const override { return "nuvoton_jtag.bin"; }
    std::vector<uint8_t> saveState() const override { return flash(); }
    bool loadState(const std::vector<uint8_t>& bytes, std::string& error) override;

    std::vector<uint8_t> flash() const;
    bool setFlash(const std::vector<uint8_t>& bytes);

    // The CPLD registers a cable needs: "TYPE B" (one to one) or "TYPE A".
    static std::array<uint8_t, 256> routingFor(bool typeB);

  private:
    enum class Cable { TypeB, TypeA };

    // The TAP and the debug bus behind it.
    struct Controller {
        uint8_t ir = kIrIdCode;
        bool unlocked = false;
        bool halted = false;
        bool helperRunning = false;
        uint8_t selector = 0;
        uint32_t address = 0;
        uint32_t data = 0;
        uint32_t fetch = 0;
        bool streaming = false;  // data words go on to the next address
        std::array<uint32_t, 4> config{};
        bool refused = false;  // an access of the current batch was refused
        // The flash interface's registers FF0016 .. FF001E and its state.
        std::array<uint8_t, 16> fiu{};
        bool writeEnabled = false;
        uint64_t busyPolls = 0;
        bool busyForever = false;
        uint8_t flashStatus = 0;
    };

    bool driven(const Context& ctx) const;
    void jtag(uint8_t sub, Uart& uart, Context& ctx);
    void tapReset();
    uint8_t irShift(const Context& ctx, uint8_t value);
    uint8_t drShift8(const Context& ctx, uint8_t value);
    uint32_t drShift32(const Context& ctx, uint32_t value);
    void busCommand(uint32_t command);
    uint32_t busRead(uint32_t address);
    void busWrite(uint32_t address, uint32_t value);
    void fiuGo(uint8_t control);
    void runBatch(Uart& uart, Context& ctx);
    uint8_t programPage();
    void readPage(Uart& uart, const Context& ctx);
    [[noreturn]] void fallSilent(Uart& uart);

    mutable std::mutex m_;  // guards flash_
    std::vector<uint8_t> flash_;

    // The JIG side (firmware thread only).
    bool spiOff_ = false;
    Controller c_;
    std::vector<uint8_t> ram_;  // 10000h .. 1FFFFh
    size_t readPage_ = 0;
    uint64_t pagesSent_ = 0;
    uint64_t batches_ = 0;
    uint64_t dataBatches_ = 0;
    bool dirty_ = false;

    // Options: the board and the faults.
    bool powered_ = true;
    uint32_t id_ = kDefaultId;
    Cable cable_ = Cable::TypeB;
    uint64_t busyPollsPerErase_ = 1;
    bool busyForever_ = false;
    std::optional<uint64_t> silentAfterPage_;
    std::optional<uint64_t> silentAtBatch_;
    std::optional<uint64_t> refuseDataBatch_;
    std::optional<uint64_t> flipPage_;
};

}  // namespace sim
