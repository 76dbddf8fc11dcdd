// A window port that records every call as one line of text, for tests.
// Dialogs answer from queues the test fills beforehand.
#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/ui_port.h"

namespace zjig::test {

class RecorderPort : public UiPort {
  public:
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

    // Next answer of a file dialog (nullopt: cancelled). Without one queued, cancelled.
    void queueFile(std::optional<std::string> path);

    // Every call so far, in order: "memo KB901X_Memo: text", "enable MAIN_CONNECT 1",
    // "check CheckBox_HIDE 0", "visible StaticText_in_counter 1",
    // "gauge CGauge_UPD 5", "gaugemax CGauge_UPD 5", "show TUPDATE_FORM", "error: text", ...
    std::vector<std::string> calls() const;
    // The lines appended to one memo (clears included: a clear empties the list).
    std::vector<std::string> memo(const std::string& memo) const;
    // Every line appended to the memo, clears ignored.
    std::vector<std::string> memoHistory(const std::string& memo) const;
    std::vector<std::string> messages() const;  // "error: ..." / "warning: ..."
    std::optional<bool> enabled(const std::string& control) const;
    std::optional<bool> checked(const std::string& control) const;
    // A control's last setVisible (empty before any).
    std::optional<bool> controlVisible(const std::string& control) const;
    std::optional<int> gauge(const std::string& gauge) const;
    std::optional<int> gaugeMax(const std::string& gauge) const;
    std::optional<Rgb> colour(const std::string& control) const;
    std::optional<std::string> text(const std::string& control) const;
    std::vector<std::string> items(const std::string& list) const;
    bool visible(const std::string& window) const;
    void clear();

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    std::deque<std::optional<std::string>> files_;
};

}  // namespace zjig::test
