// The laptop keyboard on the JIG's keyboard connector: the JIG scans the
// connector's 32 pins and answers each scan with the pairs it found joined.
// Which pairs a scan finds is scripted: by the `kbd=` option for whole runs,
// and by tests through SimJig while a scan runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "sim/target.h"

namespace sim {

class KeyboardMatrix : public Target {
  public:
    using Pair = std::pair<int, int>;
    static constexpr std::chrono::milliseconds kDefaultScanTime{2};

    const char* name() const override { return "keyboard"; }
    // The third generation takes the scan byte bare, without a mode letter.
    uint8_t jig3Prefix() const override { return 0; }
    Family jig2Family() const override { return Family::V41; }
    bool takesJig2Command(uint8_t cmd) const override;
    bool takesJig3Command(uint8_t cmd) const override;
    void command(uint8_t cmd, Uart& uart, Context& ctx) override;

    OptionResult parseOption(const std::string& key, const std::optional<std::string>& value,
                             std::string& error) override;
    std::string checkOptions(int generation) const override;
    std::string optionHelp() const override;

    // A keyboard keeps nothing between runs.
    std::string stateFileName() const override { return "keyboard.bin"; }
    std::vector<uint8_t> saveState() const override { return {}; }
    bool loadState(const std::vector<uint8_t>& bytes, std::string& error) override;

    // The answers of the next scans, after those already queued: the pairs
    // found (worded by the JIG, '&' at the end), or raw bytes sent as given.
    void queuePairs(const std::vector<Pair>& pairs);
    void queueRaw(const std::vector<uint8_t>& answer);
    // Scans answered since power on.
    uint64_t scans() const;

    // The JIG's wording of one scan that found `pairs`.
    static std::vector<uint8_t> answerFor(const std::vector<Pair>& pairs);

  private:
    void scan(Uart& uart);
    void buzzer(Uart& uart, Context& ctx);

    // One scripted answer, given by that many scans in a row.
    struct Scripted {
        std::vector<uint8_t> answer;
        uint64_t times = 1;
    };

    mutable std::mutex m_;
    std::deque<Scripted> script_;
    uint64_t scans_ = 0;
    bool buzzerMuted_ = false;  // the next 'I' of a third-generation JIG goes unanswered

    // Options.
    std::chrono::milliseconds scanTime_ = kDefaultScanTime;
    std::optional<uint64_t> silentAfter_;
    std::optional<uint64_t> cutScan_;
    std::optional<uint64_t> muteBuzzerAfter_;
};

}  // namespace sim
