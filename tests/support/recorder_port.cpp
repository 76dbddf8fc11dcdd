#include "support/recorder_port.h"

#include <algorithm>
#include <cstdio>

namespace zjig::test {

namespace {
std::string rgbText(Rgb c) {
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}
// The value after "<verb> <name> " of the last matching call, if any.
std::optional<std::string> lastValue(const std::vector<std::string>& calls, const std::string& verb,
                                     const std::string& name) {
    const std::string prefix = verb + " " + name + " ";
    for (auto it = calls.rbegin(); it != calls.rend(); ++it) {
        if (it->rfind(prefix, 0) == 0) return it->substr(prefix.size());
    }
    return std::nullopt;
}
}  // namespace

#define ZJIG_RECORD(text)                         \
    do {                                          \
        std::lock_guard<std::mutex> lock(mutex_); \
        calls_.push_back(text);                   \
    } while (0)

void RecorderPort::appendLine(const std::string& memo, const std::string& line) {
    ZJIG_RECORD("memo " + memo + ": " + line);
}
void RecorderPort::clearMemo(const std::string& memo) { ZJIG_RECORD("clear " + memo); }
void RecorderPort::setText(const std::string& control, const std::string& text) {
    ZJIG_RECORD("text " + control + " " + text);
}
void RecorderPort::setItems(const std::string& list, const std::vector<std::string>& items) {
    std::string joined;
    for (size_t i = 0; i < items.size(); ++i) joined += (i ? "\x1f" : "") + items[i];
    ZJIG_RECORD("items " + list + " " + joined);
}
void RecorderPort::setEnabled(const std::string& control, bool enabled) {
    ZJIG_RECORD("enable " + control + " " + (enabled ? "1" : "0"));
}
void RecorderPort::setChecked(const std::string& control, bool checked) {
    ZJIG_RECORD("check " + control + " " + (checked ? "1" : "0"));
}
void RecorderPort::setVisible(const std::string& control, bool visible) {
    ZJIG_RECORD("visible " + control + " " + (visible ? "1" : "0"));
}
void RecorderPort::setColor(const std::string& control, Rgb colour) {
    ZJIG_RECORD("colour " + control + " " + rgbText(colour));
}
void RecorderPort::setGaugeMax(const std::string& gauge, int maximum) {
    ZJIG_RECORD("gaugemax " + gauge + " " + std::to_string(maximum));
}
void RecorderPort::setGaugeProgress(const std::string& gauge, int progress) {
    ZJIG_RECORD("gauge " + gauge + " " + std::to_string(progress));
}
void RecorderPort::showWindow(const std::string& window) { ZJIG_RECORD("show " + window); }
void RecorderPort::hideWindow(const std::string& window) { ZJIG_RECORD("hide " + window); }
void RecorderPort::messageBox(MessageKind kind, const std::string& text) {
    ZJIG_RECORD(std::string(kind == MessageKind::Error ? "error: " : "warning: ") + text);
}
std::optional<std::string> RecorderPort::fileDialog(const FileDialogSpec& spec) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back("dialog " + spec.dialog + " " + spec.title);
    if (files_.empty()) return std::nullopt;
    auto answer = files_.front();
    files_.pop_front();
    return answer;
}

void RecorderPort::queueFile(std::optional<std::string> path) {
    std::lock_guard<std::mutex> lock(mutex_);
    files_.push_back(std::move(path));
}

std::vector<std::string> RecorderPort::calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

std::vector<std::string> RecorderPort::memo(const std::string& memo) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> lines;
    const std::string prefix = "memo " + memo + ": ";
    for (const auto& c : calls_) {
        if (c == "clear " + memo)
            lines.clear();
        else if (c.rfind(prefix, 0) == 0)
            lines.push_back(c.substr(prefix.size()));
    }
    return lines;
}

std::vector<std::string> RecorderPort::memoHistory(const std::string& memo) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> lines;
    const std::string prefix = "memo " + memo + ": ";
    for (const auto& c : calls_)
        if (c.rfind(prefix, 0) == 0) lines.push_back(c.substr(prefix.size()));
    return lines;
}

std::vector<std::string> RecorderPort::messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& c : calls_)
        if (c.rfind("error: ", 0) == 0 || c.rfind("warning: ", 0) == 0) out.push_back(c);
    return out;
}

std::optional<bool> RecorderPort::enabled(const std::string& control) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto v = lastValue(calls_, "enable", control);
    if (!v) return std::nullopt;
    return *v == "1";
}

std::optional<bool> RecorderPort::checked(const std::string& control) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto v = lastValue(calls_, "check", control);
    if (!v) return std::nullopt;
    return *v == "1";
}

std::optional<bool> RecorderPort::controlVisible(const std::string& control) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto v = lastValue(calls_, "visible", control);
    if (!v) return std::nullopt;
    return *v == "1";
}

std::optional<int> RecorderPort::gauge(const std::string& gauge) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto v = lastValue(calls_, "gauge", gauge);
    if (!v) return std::nullopt;
    return std::stoi(*v);
}

std::optional<int> RecorderPort::gaugeMax(const std::string& gauge) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto v = lastValue(calls_, "gaugemax", gauge);
    if (!v) return std::nullopt;
    return std::stoi(*v);
}

std::optional<Rgb> RecorderPort::colour(const std::string& control) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto v = lastValue(calls_, "colour", control);
    if (!v) return std::nullopt;
    Rgb c;
    int r = 0, g = 0, b = 0;
    if (std::sscanf(v->c_str(), "%d,%d,%d", &r, &g, &b) != 3) return std::nullopt;
    c.r = static_cast<uint8_t>(r);
    c.g = static_cast<uint8_t>(g);
    c.b = static_cast<uint8_t>(b);
    return c;
}

std::optional<std::string> RecorderPort::text(const std::string& control) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastValue(calls_, "text", control);
}

std::vector<std::string> RecorderPort::items(const std::string& list) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto v = lastValue(calls_, "items", list);
    std::vector<std::string> out;
    if (!v) return out;
    size_t start = 0;
    while (true) {
        size_t sep = v->find('\x1f', start);
        out.push_back(v->substr(start, sep == std::string::npos ? std::string::npos : sep - start));
        if (sep == std::string::npos) break;
        start = sep + 1;
    }
    if (out.size() == 1 && out[0].empty()) out.clear();
    return out;
}

bool RecorderPort::visible(const std::string& window) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = calls_.rbegin(); it != calls_.rend(); ++it) {
        if (*it == "show " + window) return true;
        if (*it == "hide " + window) return false;
    }
    return false;
}

void RecorderPort::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
}

}  // namespace zjig::test
