#include "sim/keyboard_matrix.h"

#include <algorithm>
#include <sstream>
#include <thread>

namespace sim {

namespace {

constexpr uint8_t kScanJig2 = 'u';  // second generation: start scanning
constexpr uint8_t kScan = 'U';      // third generation: one scan; second: the next one
constexpr uint8_t kBuzzer = 'I';
constexpr uint8_t kLeave = 'Q';  // second generation: back to the firmware's commands
constexpr uint8_t kGroup = '>';
constexpr uint8_t kEnd = '&';
constexpr uint8_t kBuzzerDone = 'G';
constexpr int kPins = 32;
// A script of idle scans longer than this is surely a typing error.
constexpr uint64_t kMaxIdleScans = 100'000'000;
constexpr uint64_t kMaxScanMs = 1000;

bool parsePair(const std::string& text, KeyboardMatrix::Pair& pair) {
    const auto dash = text.find('-');
    if (dash == std::string::npos) return false;
    uint64_t i = 0, j = 0;
    if (!parseNumber(text.substr(0, dash), kPins, i) ||
        !parseNumber(text.substr(dash + 1), kPins, j))
        return false;
    if (i < 1 || i >= j) return false;
    pair = {static_cast<int>(i), static_cast<int>(j)};
    return true;
}

}  // namespace

std::vector<uint8_t> KeyboardMatrix::answerFor(const std::vector<Pair>& pairs) {
    // One group per first pin: '>' i, then every j joined to it.
    std::vector<uint8_t> answer;
    int group = -1;
    for (const auto& [i, j] : pairs) {
        if (i != group) {
            answer.push_back(kGroup);
            answer.push_back(static_cast<uint8_t>(i));
            group = i;
        }
        answer.push_back(static_cast<uint8_t>(j));
    }
    answer.push_back(kEnd);
    return answer;
}

bool KeyboardMatrix::takesJig2Command(uint8_t cmd) const { return cmd == kScanJig2; }

bool KeyboardMatrix::takesJig3Command(uint8_t cmd) const {
    // 'I' is the firmware's own (answered 'G') unless a fault is asked for.
    return cmd == kScan || (cmd == kBuzzer && muteBuzzerAfter_);
}

void KeyboardMatrix::command(uint8_t cmd, Uart& uart, Context& ctx) {
    if (ctx.generation() == 3) {
        if (cmd == kScan) scan(uart);
        if (cmd == kBuzzer) buzzer(uart, ctx);
        return;
    }
    if (cmd != kScanJig2) return;
    // The second generation stays in its scan loop until 'Q'. Any other
    // byte (the 'B' of a program that left the loop without 'Q') also ends
    // the loop and is then taken as a command of the firmware.
    scan(uart);
    for (;;) {
        const uint8_t c = uart.get();
        if (c == kScan) {
            scan(uart);
        } else if (c == kBuzzer) {
            buzzer(uart, ctx);
        } else {
            if (c != kLeave) ctx.handBack(c);
            return;
        }
    }
}

void KeyboardMatrix::scan(Uart& uart) {
    // Walking 32 pins takes the JIG a moment; an idle scan loop is paced by it.
    std::this_thread::sleep_for(scanTime_);
    std::vector<uint8_t> answer{kEnd};
    uint64_t number = 0;
    {
        std::lock_guard lk(m_);
        number = ++scans_;
        if (!script_.empty()) {
            answer = script_.front().answer;
            if (--script_.front().times == 0) script_.pop_front();
        }
        if (muteBuzzerAfter_ && number == *muteBuzzerAfter_) buzzerMuted_ = true;
    }
    if (cutScan_ && number == *cutScan_) {
        // Cut before its end mark.
        const auto end = std::find(answer.begin(), answer.end(), kEnd);
        answer.erase(end, answer.end());
    }
    uart.put(answer.data(), answer.size());
    // The JIG hangs: nothing more comes until its reset button.
    if (silentAfter_ && number == *silentAfter_)
        for (;;) uart.get();
}

void KeyboardMatrix::buzzer(Uart& uart, Context& ctx) {
    if (ctx.generation() != 3) return;  // the second generation only beeps
    bool muted = false;
    {
        std::lock_guard lk(m_);
        std::swap(muted, buzzerMuted_);
    }
    if (!muted) uart.put(kBuzzerDone);
}

void KeyboardMatrix::queuePairs(const std::vector<Pair>& pairs) { queueRaw(answerFor(pairs)); }

void KeyboardMatrix::queueRaw(const std::vector<uint8_t>& answer) {
    std::lock_guard lk(m_);
    script_.push_back({answer, 1});
}

uint64_t KeyboardMatrix::scans() const {
    std::lock_guard lk(m_);
    return scans_;
}

bool KeyboardMatrix::loadState(const std::vector<uint8_t>& bytes, std::string& error) {
    if (bytes.empty()) return true;
    error = "should be empty (a keyboard keeps nothing)";
    return false;
}

OptionResult KeyboardMatrix::parseOption(const std::string& key,
                                         const std::optional<std::string>& value,
                                         std::string& error) {
    auto number = [&](uint64_t min, uint64_t max, std::optional<uint64_t>& out) {
        uint64_t n = 0;
        if (!value || !parseNumber(*value, max, n) || n < min) {
            error =
                key + " needs a number from " + std::to_string(min) + " to " + std::to_string(max);
            return OptionResult::Bad;
        }
        out = n;
        return OptionResult::Taken;
    };
    if (key == "kbd") {
        if (!value) {
            error = "kbd needs the scans, e.g. kbd=3-7+3-9/12-20";
            return OptionResult::Bad;
        }
        std::deque<Scripted> script;
        std::stringstream scans(*value + "/");
        std::string entry;
        while (std::getline(scans, entry, '/')) {
            if (!entry.empty() && entry[0] == '_') {
                uint64_t n = 0;
                if (!parseNumber(entry.substr(1), kMaxIdleScans, n) || n < 1) {
                    error = "kbd: '" + entry + "' should be _N, N idle scans (1 or more)";
                    return OptionResult::Bad;
                }
                script.push_back({{kEnd}, n});
                continue;
            }
            std::vector<Pair> pairs;
            std::stringstream items(entry);
            std::string item;
            while (std::getline(items, item, '+')) {
                Pair p;
                if (!parsePair(item, p)) {
                    error = "kbd: '" + item + "' should be I-J, pins 1 <= I < J <= 32";
                    return OptionResult::Bad;
                }
                pairs.push_back(p);
            }
            if (!entry.empty() && entry.back() == '+') {
                error = "kbd: '" + entry + "' ends with '+'";
                return OptionResult::Bad;
            }
            script.push_back({answerFor(pairs), 1});
        }
        std::lock_guard lk(m_);
        script_ = std::move(script);
        return OptionResult::Taken;
    }
    if (key == "kbd-scan-ms") {
        std::optional<uint64_t> ms;
        const auto r = number(0, kMaxScanMs, ms);
        if (ms) scanTime_ = std::chrono::milliseconds(*ms);
        return r;
    }
    if (key == "kbd-silent-after") return number(1, kMaxIdleScans, silentAfter_);
    if (key == "kbd-cut") return number(1, kMaxIdleScans, cutScan_);
    if (key == "kbd-mute-buzzer") return number(1, kMaxIdleScans, muteBuzzerAfter_);
    return OptionResult::NotMine;
}

std::string KeyboardMatrix::checkOptions(int generation) const {
    if (generation == 2 && muteBuzzerAfter_)
        return "kbd-mute-buzzer needs a third-generation JIG (the second does not answer 'I')";
    return {};
}

std::string KeyboardMatrix::optionHelp() const {
    return R"(Keyboard matrix (firmware V41 on jig2; bare 'U' on jig3):
  kbd=SCAN/SCAN/...     what the next scans find, in order; afterwards every
                        scan finds nothing. A SCAN is pairs of joined pins
                        I-J (1 <= I < J <= 32) linked by '+', e.g.
                        kbd=3-7+3-9/12-20; an empty SCAN finds nothing, and
                        _N stands for N scans that find nothing (a key
                        released for a while), e.g. kbd=3-7/_500/3-7
  kbd-scan-ms=N         how long one scan takes (default 2 ms)
  kbd-silent-after=N    the JIG falls silent after answering scan N, until
                        its reset button is pressed
  kbd-cut=N             the answer to scan N lacks its closing '&'
  kbd-mute-buzzer=N     jig3: the first 'I' after scan N is not answered
  An answer is '>' I J J ... per first pin I, then '&'; a scan that finds
  nothing answers '&' alone. jig3: each 'U' is one scan; 'I' sounds the
  buzzer and is answered 'G'. jig2: 'u' starts scanning and answers the
  first scan; then 'U' scans again, 'I' sounds the buzzer (no answer) and
  'Q' leaves. Any other byte also leaves the scan loop and is then taken as
  a command, so a 'B' sent after a scan ended without 'Q' is answered with
  the identity. Scans count from 1 since the JIG was powered.
)";
}

}  // namespace sim
