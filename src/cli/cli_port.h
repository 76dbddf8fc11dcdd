// The window port of the command line: the memo lines of the command's own
// window go to standard output, message dialogs to standard error, and the
// gauge becomes a progress bar when standard error is a terminal. File
// dialogs take the FILE argument of the command.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "base/ui_port.h"

namespace zjig::cli {

class CliPort : public UiPort {
  public:
    CliPort(std::FILE* out = stdout, std::FILE* err = stderr);

    // The memos whose lines are the command's output.
    void printMemo(const std::string& memo);
    // The answer of the next file dialogs (nothing: cancelled).
    void setFileAnswer(std::optional<std::string> path);
    // Draw a progress bar for this gauge (only when standard error is a terminal).
    void showProgressOf(const std::string& gauge);
    void setProgressEnabled(bool enabled) { progressEnabled_ = enabled; }

    void appendLine(const std::string& memo, const std::string& line) override;
    void clearMemo(const std::string& memo) override;
    void setText(const std::string& control, const std::string& text) override;
    void setItems(const std::string& list, const std::vector<std::string>& items) override;
    void setEnabled(const std::string& control, bool enabled) override;
    void setChecked(const std::string& control, bool checked) override;
    void setVisible(const std::string& control, bool visible) override;
    void setColor(const std::string& control, Rgb colour) override;
    void setGaugeMax(const std::string& gauge, int maximum) override;
    void setGaugeProgress(const std::string& gauge, int progress) override;
    void showWindow(const std::string& window) override;
    void hideWindow(const std::string& window) override;
    void messageBox(MessageKind kind, const std::string& text) override;
    std::optional<std::string> fileDialog(const FileDialogSpec& spec) override;

    int errorDialogs() const;
    std::optional<bool> enabled(const std::string& control) const;
    std::optional<bool> checked(const std::string& control) const;
    std::optional<std::string> text(const std::string& control) const;
    std::vector<std::string> items(const std::string& list) const;
    bool visible(const std::string& window) const;
    // Ends a progress bar line so the next output starts on a fresh line.
    void finishProgress();

  private:
    void drawProgressLocked();

    mutable std::mutex mutex_;
    std::FILE* out_;
    std::FILE* err_;
    std::set<std::string> printed_;
    std::optional<std::string> fileAnswer_;
    std::string progressGauge_;
    bool progressEnabled_ = false;
    bool progressShown_ = false;
    int lastPercent_ = -1;
    std::map<std::string, int> gaugeMax_, gaugeValue_;
    std::map<std::string, bool> enabled_;
    std::map<std::string, bool> checked_;
    std::map<std::string, std::string> text_;
    std::map<std::string, std::vector<std::string>> items_;
    std::set<std::string> visible_;
    int errors_ = 0;
};

}  // namespace zjig::cli
