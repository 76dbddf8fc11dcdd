// The 256-byte EEPROM of an LCD panel (its EDID memory), reached through the
// JIG's EEPROM command set: 'E' 'r' reads it whole, 'E' 'w' writes it whole.
#pragma once

#include <array>
#include <mutex>
#include <optional>

#include "sim/target.h"

namespace sim {

class EdidEeprom : public Target {
  public:
    static constexpr size_t kSize = 256;

    EdidEeprom();

    const char* name() const override { return "EDID EEPROM"; }
    uint8_t jig3Prefix() const override { return 'E'; }
    Family jig2Family() const override { return Family::V41; }
    bool takesJig2Command(uint8_t cmd) const override { return cmd == 'E'; }
    void command(uint8_t cmd, Uart& uart, Context& ctx) override;

    OptionResult parseOption(const std::string& key, const std::optional<std::string>& value,
                             std::string& error) override;
    std::string checkOptions(int generation) const override;
    std::string optionHelp() const override;

    std::string stateFileName() const override { return "edid_eeprom.bin"; }
    std::vector<uint8_t> saveState() const override { return memory(); }
    bool loadState(const std::vector<uint8_t>& bytes, std::string& error) override;

    std::vector<uint8_t> memory() const;
    // False (memory unchanged) when the size is not 256 bytes.
    bool setMemory(const std::vector<uint8_t>& bytes);

    // The panel the EEPROM holds when nothing else was put there: a made-up
    // 15.6" 1920x1080 panel of maker "ZVX", base block and one extension
    // block, both with their checksums right.
    static std::vector<uint8_t> defaultContent();

  private:
    enum class WriteSilence { None, InsteadOfReady, InsteadOfStatus };

    void read(Uart& uart);
    void write(Uart& uart, Context& ctx);
    std::array<uint8_t, 2> status() const;

    mutable std::mutex m_;
    std::vector<uint8_t> memory_;

    // Options: the panel and the faults.
    bool absent_ = false;
    bool writeProtected_ = false;
    std::optional<std::array<uint8_t, 2>> otherStatus_;
    std::optional<uint64_t> readSilentAfter_;
    WriteSilence writeSilence_ = WriteSilence::None;
    uint64_t surplus_ = 0;
};

}  // namespace sim
