// ENE KB9010/9012/9016/9022 reached through its debug interface: 128 KB of
// flash read and written in 256-byte blocks.
#pragma once

#include <array>
#include <mutex>
#include <optional>

#include "sim/target.h"

namespace sim {

class EneKb90xx : public Target {
  public:
    static constexpr size_t kFlashSize = 128 * 1024;
    static constexpr size_t kBlockSize = 256;
    static constexpr size_t kBlocks = kFlashSize / kBlockSize;
    static constexpr uint8_t kDefaultVersion = 0x0C;

    // The five keyboard lines, in the order `ene-ffc=` gives their pins.
    struct CablePins {
        int kso3, ksi4, ksi5, ksi6, ksi7;
    };

    EneKb90xx();

    const char* name() const override { return "ENE KB90XX"; }
    uint8_t jig3Prefix() const override { return 'K'; }
    Family jig2Family() const override { return Family::V41; }
    bool takesJig2Command(uint8_t cmd) const override;
    void command(uint8_t cmd, Uart& uart, Context& ctx) override;

    OptionResult parseOption(const std::string& key, const std::optional<std::string>& value,
                             std::string& error) override;
    std::string checkOptions(int generation) const override;
    std::string optionHelp() const override;

    std::string stateFileName() const override { return "ene_kb90xx.bin"; }
    std::vector<uint8_t> saveState() const override { return flash(); }
    bool loadState(const std::vector<uint8_t>& bytes, std::string& error) override;

    std::vector<uint8_t> flash() const;
    // False (flash unchanged) when the size is not 128 KB.
    bool setFlash(const std::vector<uint8_t>& bytes);

    // The register values the CPLD must hold for the cable pins: the five
    // signals routed as the ENE window routes them.
    static std::array<uint8_t, 256> routingFor(const CablePins& pins);

  private:
    bool reachable(const Context& ctx) const;
    uint8_t readByte(const Context& ctx, size_t addr) const;
    void sendBlock(Uart& uart, const Context& ctx, size_t block);
    void readFlash(Uart& uart, Context& ctx);
    void writeFlash(Uart& uart, Context& ctx);
    void sumAndCrc(Uart& uart, const Context& ctx);

    mutable std::mutex m_;
    std::vector<uint8_t> flash_;

    // Options: the board and the faults.
    bool absent_ = false;
    uint8_t version_ = kDefaultVersion;
    std::optional<CablePins> ffc_;
    std::optional<uint64_t> failReadBlock_;
    std::optional<uint64_t> stallAfterBlock_;
    std::optional<uint64_t> stallAfterWrittenBlock_;
    std::optional<uint64_t> failWriteBlock_;
    std::optional<uint64_t> corruptAddr_;
};

}  // namespace sim
