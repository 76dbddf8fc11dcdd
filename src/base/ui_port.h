// The port through which sessions talk to their windows. Controls and windows
// are named by their layout names ("KB901X_Memo", "TUPDATE_FORM"), so that one
// port serves every window. Sessions may call it from any thread; each front
// end keeps the calls in the order they were made.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zjig {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kGreen{0, 255, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kYellow{255, 255, 0};
inline constexpr Rgb kButtonFace{240, 240, 240};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kAqua{0, 255, 255};
inline constexpr Rgb kMagenta{255, 0, 255};

enum class MessageKind { Error, Warning };

struct FileDialogSpec {
    std::string dialog;  // layout name, e.g. "SaveDialog_KB90"
    bool save = false;
    std::string title;
    std::string filter;  // "BIN file KB90XX (*.bin)|*.bin|other|*.*"
    std::string defaultExt;
    std::string initialName;
    bool confirmOverwrite = false;
};

class UiPort {
  public:
    virtual ~UiPort() = default;

    virtual void appendLine(const std::string& memo, const std::string& line) = 0;
    virtual void clearMemo(const std::string& memo) = 0;
    // Caption of a label or button, or the shown text of a drop-down list.
    virtual void setText(const std::string& control, const std::string& text) = 0;
    virtual void setItems(const std::string& list, const std::vector<std::string>& items) = 0;
    virtual void setEnabled(const std::string& control, bool enabled) = 0;
    // Ticks or clears a check box (not a user's click: no event follows).
    virtual void setChecked(const std::string& control, bool checked) = 0;
    // Shows or hides one control inside its window.
    virtual void setVisible(const std::string& control, bool visible) = 0;
    // Background of a list or label, fill of a shape, foreground of a gauge.
    virtual void setColor(const std::string& control, Rgb colour) = 0;
    virtual void setGaugeMax(const std::string& gauge, int maximum) = 0;
    virtual void setGaugeProgress(const std::string& gauge, int progress) = 0;
    virtual void showWindow(const std::string& window) = 0;
    virtual void hideWindow(const std::string& window) = 0;

    // Modal dialog with one OK button; returns once it is dismissed.
    virtual void messageBox(MessageKind kind, const std::string& text) = 0;
    // A file chosen and accepted, or nothing when the user cancelled.
    virtual std::optional<std::string> fileDialog(const FileDialogSpec& spec) = 0;
};

}  // namespace zjig
