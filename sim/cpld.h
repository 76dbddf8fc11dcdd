// The third-generation JIG's CPLD: the routing registers that join the pins
// of a flat cable to the signals a target needs. After 'S' 'R' (and at power
// on) it is in wire mode, the fixed routing for soldered wires.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

namespace sim {

class Cpld {
  public:
    // Register groups, one bit per cable pin 1-32 (four bytes each).
    static constexpr uint8_t kDriveEnable = 0x10;
    static constexpr uint8_t kSelectLow = 0x20;
    static constexpr uint8_t kSelectHigh = 0x24;
    // Bit 7 set: the pin in bits 0-4 (pin - 1) is read back by the JIG.
    static constexpr uint8_t kInputSelect = 0x40;

    void resetToWireMode() {
        std::lock_guard lk(m_);
        regs_.fill(0);
        wireMode_ = true;
    }
    void write(uint8_t reg, uint8_t value) {
        std::lock_guard lk(m_);
        regs_[reg] = value;
        wireMode_ = false;
    }
    bool wireMode() const {
        std::lock_guard lk(m_);
        return wireMode_;
    }
    std::array<uint8_t, 256> registers() const {
        std::lock_guard lk(m_);
        return regs_;
    }

  private:
    mutable std::mutex m_;
    std::array<uint8_t, 256> regs_{};
    bool wireMode_ = true;
};

}  // namespace sim
