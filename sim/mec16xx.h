// MEC16xx reached through its JTAG port. The JIG's firmware does the JTAG
// work; the PC reads and writes 32-bit controller registers by address,
// reads the flash as a stream of 1024-byte blocks and programs it in
// 256-byte chunks. The flash controller's registers decide what a stream or
// a chunk does, so a PC that prepares them wrongly sees it in the data.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

#include "sim/target.h"

namespace sim {

class Mec16xx : public Target {
  public:
    static constexpr size_t kMainSize = 196608;
    static constexpr size_t kInfoSize = 2048;
    static constexpr size_t kMemorySize = kMainSize + kInfoSize;  // what `state=` keeps
    static constexpr uint32_t kMainBase = 0x000000;
    static constexpr uint32_t kInfoBase = 0x040000;
    static constexpr size_t kBlockSize = 1024;
    static constexpr size_t kChunkSize = 256;

    // Controller registers.
    static constexpr uint32_t kRegDeviceInfo = 0xFFFD00;
    static constexpr uint32_t kRegAddress = 0xFF3904;
    static constexpr uint32_t kRegMode = 0xFF3908;
    static constexpr uint32_t kRegStatus = 0xFF390C;
    static constexpr uint32_t kRegEnable = 0xFF3910;
    // Values of the mode register.
    static constexpr uint32_t kModeRead = 0x105;
    static constexpr uint32_t kModeProgram = 0x106;
    static constexpr uint32_t kModeErase = 0x107;
    // Erase commands written to the address register.
    static constexpr uint32_t kEraseMain = 0x00F80000;
    static constexpr uint32_t kEraseAll = 0x00FC0000;
    // Status bits.
    static constexpr uint8_t kStatusBusy = 0x01;
    static constexpr uint8_t kStatusBootLock = 0x08;
    static constexpr uint8_t kStatusFwp = 0x10;

    // A made-up identity and device word: this is a model, not a real part.
    static constexpr std::array<uint8_t, 4> kId = {0x5A, 0x16, 0xC3, 0x07};
    static constexpr uint32_t kDeviceInfo = 0x0016A05C;
    static constexpr unsigned kDefaultBusyPolls = 2;

    Mec16xx();

    const char* name() const override { return "MEC16xx"; }
    uint8_t jig3Prefix() const override { return 'M'; }
    Family jig2Family() const override { return Family::V42; }
    bool takesJig2Command(uint8_t cmd) const override;
    bool takesJig3Command(uint8_t cmd) const override;
    void command(uint8_t cmd, Uart& uart, Context& ctx) override;

    OptionResult parseOption(const std::string& key, const std::optional<std::string>& value,
                             std::string& error) override;
    std::string checkOptions(int generation) const override;
    std::string optionHelp() const override;

    std::string stateFileName() const override { return "mec16xx.bin"; }
    std::vector<uint8_t> saveState() const override { return memory(); }
    bool loadState(const std::vector<uint8_t>& bytes, std::string& error) override;

    // Main flash followed by the INFO area.
    std::vector<uint8_t> memory() const;
    bool setMemory(const std::vector<uint8_t>& bytes);

  private:
    uint8_t statusByte();
    bool protectedFlash() const { return fwp_ || bootLock_; }
    // Index into memory_ of a flash address, or nothing outside the flash.
    static std::optional<size_t> indexOf(uint32_t address);

    void readRegister(Uart& uart);
    void writeRegister(Uart& uart, Context& ctx);
    void streamBlocks(Uart& uart);
    void programChunks(Uart& uart, Context& ctx);
    [[noreturn]] static void fallSilent(Uart& uart);

    mutable std::mutex m_;
    std::vector<uint8_t> memory_;

    // The controller's registers (JIG thread only).
    std::map<uint32_t, uint32_t> regs_;
    unsigned busyLeft_ = 0;

    // Counters since the JIG was powered, for the faults.
    uint64_t regReads_ = 0;
    uint64_t regWrites_ = 0;
    uint64_t blocksSent_ = 0;
    uint64_t chunksTaken_ = 0;

    // Options: the board and the faults.
    bool absent_ = false;
    bool fwp_ = false;
    bool bootLock_ = false;
    std::optional<uint64_t> busyPolls_ = kDefaultBusyPolls;  // nothing: busy for ever
    std::optional<uint64_t> failBlock_;
    std::optional<uint64_t> longBlock_;
    std::optional<uint64_t> stallBlock_;
    std::optional<uint64_t> stallChunk_;
    std::optional<uint64_t> failChunk_;
    std::optional<uint64_t> failRegWrite_;
    std::optional<uint64_t> shortRegRead_;
};

}  // namespace sim
