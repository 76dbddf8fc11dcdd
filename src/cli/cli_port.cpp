#include "cli/cli_port.h"

#include <unistd.h>

#include "base/display_text.h"

namespace zjig::cli {

CliPort::CliPort(std::FILE* out, std::FILE* err) : out_(out), err_(err) {
    progressEnabled_ = isatty(fileno(err_)) != 0;
}

void CliPort::printMemo(const std::string& memo) {
    std::lock_guard<std::mutex> lock(mutex_);
    printed_.insert(memo);
}

void CliPort::setFileAnswer(std::optional<std::string> path) {
    std::lock_guard<std::mutex> lock(mutex_);
    fileAnswer_ = std::move(path);
}

void CliPort::showProgressOf(const std::string& gauge) {
    std::lock_guard<std::mutex> lock(mutex_);
    progressGauge_ = gauge;
}

void CliPort::finishProgress() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (progressShown_) {
        std::fputs("\n", err_);
        std::fflush(err_);
        progressShown_ = false;
        lastPercent_ = -1;
    }
}

void CliPort::appendLine(const std::string& memo, const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!printed_.count(memo)) return;
    if (progressShown_) {
        // Keep the bar below the text: clear it, print, redraw.
        std::fputs("\r\033[K", err_);
        std::fflush(err_);
    }
    // Memo lines carry no control bytes of their own; text taken from files
    // is shown escaped rather than sent raw to the terminal.
    const std::string shown = displayText(line);
    std::fwrite(shown.data(), 1, shown.size(), out_);
    std::fputs("\n", out_);
    std::fflush(out_);
    if (progressShown_) drawProgressLocked();
}

void CliPort::clearMemo(const std::string&) {}

void CliPort::setText(const std::string& control, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    text_[control] = text;
}

void CliPort::setItems(const std::string& list, const std::vector<std::string>& items) {
    std::lock_guard<std::mutex> lock(mutex_);
    items_[list] = items;
}

void CliPort::setEnabled(const std::string& control, bool enabled) {
    std::lock_guard<std::mutex> lock(mutex_);
    enabled_[control] = enabled;
}

void CliPort::setChecked(const std::string& control, bool checked) {
    std::lock_guard<std::mutex> lock(mutex_);
    checked_[control] = checked;
}

void CliPort::setVisible(const std::string&, bool) {}

void CliPort::setColor(const std::string&, Rgb) {}

void CliPort::setGaugeMax(const std::string& gauge, int maximum) {
    std::lock_guard<std::mutex> lock(mutex_);
    gaugeMax_[gauge] = maximum;
    if (gauge == progressGauge_) drawProgressLocked();
}

void CliPort::setGaugeProgress(const std::string& gauge, int progress) {
    std::lock_guard<std::mutex> lock(mutex_);
    gaugeValue_[gauge] = progress;
    if (gauge == progressGauge_) drawProgressLocked();
}

void CliPort::drawProgressLocked() {
    if (!progressEnabled_ || progressGauge_.empty()) return;
    const int maximum = gaugeMax_.count(progressGauge_) ? gaugeMax_[progressGauge_] : 100;
    const int value = gaugeValue_.count(progressGauge_) ? gaugeValue_[progressGauge_] : 0;
    int percent = maximum > 0 ? static_cast<int>(100LL * value / maximum) : (value > 0 ? 100 : 0);
    percent = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    if (progressShown_ && percent == lastPercent_) return;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    std::string bar = "\r[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') + "] ";
    bar += std::to_string(percent) + "%";
    std::fputs(bar.c_str(), err_);
    std::fflush(err_);
    progressShown_ = true;
    lastPercent_ = percent;
}

void CliPort::showWindow(const std::string& window) {
    std::lock_guard<std::mutex> lock(mutex_);
    visible_.insert(window);
}

void CliPort::hideWindow(const std::string& window) {
    std::lock_guard<std::mutex> lock(mutex_);
    visible_.erase(window);
}

void CliPort::messageBox(MessageKind kind, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (progressShown_) std::fputs("\r\033[K", err_);
    // One prefixed line per line of the dialog, control bytes escaped.
    const char* prefix = kind == MessageKind::Error ? "error" : "warning";
    size_t from = 0;
    while (true) {
        const size_t end = text.find('\n', from);
        const std::string line = displayText(std::string_view(text).substr(from, end - from));
        std::fprintf(err_, "%s: %s\n", prefix, line.c_str());
        if (end == std::string::npos) break;
        from = end + 1;
    }
    std::fflush(err_);
    if (kind == MessageKind::Error) ++errors_;
    if (progressShown_) drawProgressLocked();
}

std::optional<std::string> CliPort::fileDialog(const FileDialogSpec&) {
    std::lock_guard<std::mutex> lock(mutex_);
    return fileAnswer_;
}

int CliPort::errorDialogs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

std::optional<bool> CliPort::checked(const std::string& control) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = checked_.find(control);
    if (it == checked_.end()) return std::nullopt;
    return it->second;
}

std::optional<bool> CliPort::enabled(const std::string& control) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = enabled_.find(control);
    if (it == enabled_.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> CliPort::text(const std::string& control) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = text_.find(control);
    if (it == text_.end()) return std::nullopt;
    return it->second;
}

std::vector<std::string> CliPort::items(const std::string& list) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = items_.find(list);
    return it == items_.end() ? std::vector<std::string>{} : it->second;
}

bool CliPort::visible(const std::string& window) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return visible_.count(window) != 0;
}

}  // namespace zjig::cli
