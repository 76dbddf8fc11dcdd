// Nuvoton NPCE288N/388N: the JIG reaches the controller's 128 KB SPI flash
// directly. It identifies the flash, erases it, checks that it is blank, reads
// it in 512-byte blocks and programs it in 256-byte chunks.
#pragma once

#include <array>
#include <mutex>
#include <optional>

#include "sim/target.h"

namespace sim {

class NpceSpi : public Target {
  public:
    static constexpr size_t kFlashSize = 128 * 1024;
    static constexpr size_t kReadBlock = 512;
    static constexpr size_t kWriteChunk = 256;
    static constexpr size_t kBlocks = kFlashSize / kReadBlock;
    static constexpr size_t kChunks = kFlashSize / kWriteChunk;

    NpceSpi();

    const char* name() const override { return "NPCE"; }
    uint8_t jig3Prefix() const override { return 'N'; }
    Family jig2Family() const override { return Family::Npce; }
    bool takesJig2Command(uint8_t cmd) const override;
    void command(uint8_t cmd, Uart& uart, Context& ctx) override;

    OptionResult parseOption(const std::string& key, const std::optional<std::string>& value,
                             std::string& error) override;
    std::string checkOptions(int generation) const override;
    std::string optionHelp() const override;

    std::string stateFileName() const override { return "npce_spi.bin"; }
    std::vector<uint8_t> saveState() const override { return flash(); }
    bool loadState(const std::vector<uint8_t>& bytes, std::string& error) override;

    std::vector<uint8_t> flash() const;
    // False (flash unchanged) when the size is not 128 KB.
    bool setFlash(const std::vector<uint8_t>& bytes);

  private:
    void identify(Uart& uart);
    void erase(Uart& uart, Context& ctx);
    void checkClear(Uart& uart);
    void readFlash(Uart& uart);
    void writeFlash(Uart& uart, Context& ctx);
    [[noreturn]] static void fallSilent(Uart& uart);

    mutable std::mutex m_;
    std::vector<uint8_t> flash_;

    // Options: the chip and the faults.
    bool absent_ = false;
    std::optional<std::array<uint8_t, 3>> id_;
    bool eraseFails_ = false;
    bool notClear_ = false;
    bool endFails_ = false;
    std::optional<uint64_t> notReadyChunk_;
    std::optional<uint64_t> failChunk_;
    std::optional<uint64_t> corruptAddr_;
    std::optional<uint64_t> stallBlock_;
    std::optional<uint64_t> stallChunk_;
};

}  // namespace sim
