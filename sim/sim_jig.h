// The simulated JIG, seen from the USB side: one bridge with the JIG behind
// it. This model is written from the wire tables only and shares no code with
// the program that drives it, so that a mistake on the PC side cannot be
// mirrored here and pass unseen.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace sim {

using Clock = std::chrono::steady_clock;

// The text `zjig --help-sim` prints: every option of a `sim:` port.
std::string helpText();

class SimJig;

// One simulated bridge. Every call is safe from any thread; calls on a device
// that is not open fail (return false / 0).
class SimDevice {
  public:
    // Parses the option text of a `sim:` port ("" or "jig3,state=/tmp/x").
    // Returns null and sets `error` on an unknown or malformed option.
    static std::unique_ptr<SimDevice> create(const std::string& options, std::string& error);
    ~SimDevice();

    bool open();  // false for a device made to refuse opening
    void close();
    bool isOpen() const;

    // Bridge configuration. resetDevice empties both queues.
    void resetDevice();
    void setBaudRate(uint32_t baud);
    // The JIG's UART takes 8 data bits, 1 stop bit, no parity (8, 0, 0 in the
    // bridge's words); with any other format every byte is garbled.
    void setDataCharacteristics(uint8_t bits, uint8_t stopBits, uint8_t parity);
    void setLatencyTimer(uint8_t ms);
    void setTimeouts(uint32_t readMs, uint32_t writeMs);
    uint32_t driverVersion() const;

    // Queues bytes towards the JIG; returns the count taken.
    size_t write(const uint8_t* data, size_t n);
    // Blocks until n bytes are there or the read time-out has run out.
    size_t read(uint8_t* data, size_t n);
    // Bytes that have reached the PC and bytes not yet on the wire.
    void status(uint32_t& rxQueue, uint32_t& txQueue);
    void purge(bool rx, bool tx);
    // Blocks until more than `rxSeen` bytes have reached the PC, or `until`.
    void waitForData(uint32_t rxSeen, Clock::time_point until);

    // --- for tests ---
    // Every byte the PC wrote since the last call, in order (also while closed).
    std::vector<uint8_t> takeHostBytes();
    // The identity the JIG answers to 'B' now (without line end).
    std::string identity() const;
    SimJig& jig();

  private:
    SimDevice();
    std::unique_ptr<SimJig> jig_;
};

// The JIG behind the bridge, for tests: what the PC sent, what the JIG holds.
// Every accessor is safe while the JIG runs.
class SimJig {
  public:
    enum class Stage { Firmware, Jig2Bootloader, Jig3Bootloader };

    ~SimJig();
    SimJig(const SimJig&) = delete;
    SimJig& operator=(const SimJig&) = delete;

    // Every byte the PC wrote since the last call, in order.
    std::vector<uint8_t> takeHostBytes();
    // The identity the running firmware answers to 'B', without its CR LF;
    // empty for a silent firmware.
    std::string identity() const;
    // The exact bytes answered to 'B' (with CR LF unless `id=` said otherwise).
    std::string identityAnswer() const;
    int generation() const;
    Stage stage() const;
    // The UART speed of the JIG side now (921600 or 115200).
    uint32_t jigBaud() const;

    // The reset button: presses so far, and one press now (as the technician
    // would, whatever `reset=` says).
    int resetPresses() const;
    void pressResetButton();

    // ENE KB90XX flash, 131072 bytes. setEneFlash refuses another size; it is
    // a completed change, so `state=` saves it.
    std::vector<uint8_t> eneFlash() const;
    bool setEneFlash(const std::vector<uint8_t>& bytes);

    // EDID EEPROM, 256 bytes; setEdidEeprom refuses another size and is a
    // completed change, so `state=` saves it.
    std::vector<uint8_t> edidEeprom() const;
    bool setEdidEeprom(const std::vector<uint8_t>& bytes);
    // NPCE SPI flash, 131072 bytes, likewise.
    std::vector<uint8_t> npceFlash() const;
    bool setNpceFlash(const std::vector<uint8_t>& bytes);
    // Keyboard matrix: what the next scans find, after those already
    // scripted (by `kbd=` or earlier calls): joined pin pairs, worded by the
    // JIG, or an answer's raw bytes sent as they are. Afterwards a scan finds
    // nothing ('&'). keyScans counts the scans answered since power on.
    void queueKeyScan(const std::vector<std::pair<int, int>>& pairs);
    void queueKeyScanBytes(const std::vector<uint8_t>& answer);
    uint64_t keyScans() const;

    // Any target's memory by its name ("ene", ...): what `state=DIR` keeps
    // of it. Empty for an unknown name. setTargetMemory refuses what the
    // target's state file would refuse; a set memory is saved like a
    // completed change.
    std::vector<uint8_t> targetMemory(const std::string& target) const;
    bool setTargetMemory(const std::string& target, const std::vector<uint8_t>& bytes);

    // Third-generation CPLD: all 256 register values, and whether it is in
    // wire mode (after 'S' 'R' and at power on, until the next 'S' 'W').
    std::array<uint8_t, 256> cpldRegisters() const;
    bool cpldWireMode() const;

    // Bootloader memories: the second generation's 6144-byte flash, and the
    // bytes the third generation's bootloader took (at most 131072).
    std::vector<uint8_t> jig2BootFlash() const;
    std::vector<uint8_t> jig3BootImage() const;

    // Why the last save into `state=DIR` failed; empty when it worked.
    std::string stateError() const;

    struct Impl;

  private:
    friend class SimDevice;
    explicit SimJig(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace sim
