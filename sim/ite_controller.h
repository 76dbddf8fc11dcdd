// An ITE embedded controller reached through its parallel flash interface on
// the keyboard pins, with the 128 KB SPI flash behind it. The JIG must first
// be told which connector contact carries each of the fifteen interface
// signals (setup items, kept in the JIG's RAM); only the board's own mapping
// reaches the controller.
#pragma once

#include <array>
#include <mutex>
#include <optional>

#include "sim/target.h"

namespace sim {

class IteController : public Target {
  public:
    static constexpr size_t kFlashSize = 128 * 1024;
    static constexpr size_t kBlockSize = 256;
    static constexpr size_t kChunkSize = 128;
    static constexpr size_t kSignals = 15;
    // The state file: the flash, then the JIG's fifteen mapped contacts.
    static constexpr size_t kStateSize = kFlashSize + kSignals;

    // Contacts in the order PD0..PD7, BUSY, STB, AFD, INIT, SLIN, KSI4, KSI5.
    using Contacts = std::array<uint8_t, kSignals>;

    IteController();

    const char* name() const override { return "ITE"; }
    uint8_t jig3Prefix() const override { return 'T'; }
    Family jig2Family() const override { return Family::Ite; }
    bool takesJig2Command(uint8_t cmd) const override;
    void command(uint8_t cmd, Uart& uart, Context& ctx) override;

    OptionResult parseOption(const std::string& key, const std::optional<std::string>& value,
                             std::string& error) override;
    std::string checkOptions(int generation) const override;
    std::string optionHelp() const override;

    std::string stateFileName() const override { return "ite.bin"; }
    std::vector<uint8_t> saveState() const override;
    // 131072 bytes set the flash only; 131087 the flash and the mapping.
    bool loadState(const std::vector<uint8_t>& bytes, std::string& error) override;

  private:
    void connect(Uart& uart);
    void setAddress(Uart& uart, uint8_t reg);
    void writeData(Uart& uart, uint8_t value, Context& ctx);
    void setup(Uart& uart, Context& ctx);
    void readBlock(Uart& uart);
    void setWriteAddress(Uart& uart);
    void writeChunk(Uart& uart, Context& ctx);
    // The flash side of the interface: register 05h and 08h writes.
    void flashControl(uint8_t value);
    void flashData(uint8_t value, Context& ctx);
    void endFlashCommand(Context& ctx);
    [[noreturn]] void fallSilent(Uart& uart);

    mutable std::mutex m_;
    std::vector<uint8_t> flash_;
    Contacts mapped_{};  // the JIG's RAM: 0 is not connected

    // The controller's interface, from the last connect on.
    bool connected_ = false;
    uint8_t address_ = 0;
    std::array<uint8_t, 256> registers_{};
    int registerWrites_ = 0;
    int blocksSent_ = 0;
    int chunksTaken_ = 0;
    // The SPI flash: chip select, the command's bytes, write enable, and
    // the streaming read.
    bool selected_ = false;
    bool closing_ = false;
    std::vector<uint8_t> flashCommand_;
    bool writeEnabled_ = false;
    std::optional<size_t> streamAt_;
    std::optional<size_t> writeAt_;

    // Options: the board and the faults.
    bool absent_ = false;
    uint8_t id1_ = 0x5A, id2_ = 0x71, revision_ = 0x02;
    Contacts board_;
    std::optional<uint64_t> addressError_;
    std::optional<uint64_t> refuseRegister_;
    bool refuseSetup_ = false;
    std::optional<uint64_t> refuseItem_;
    std::optional<uint64_t> silentAfterBlock_;
    std::optional<uint64_t> silentInBlock_;
    std::optional<uint64_t> badBlock_;
    bool refuseWriteAddress_ = false;
    std::optional<uint64_t> refuseChunk_;
    std::optional<uint64_t> silentAfterChunk_;
};

}  // namespace sim
