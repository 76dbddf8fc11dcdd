// The window port of the desktop program. Controls and windows are found by
// their layout names (each widget's objectName). Every call runs on the GUI
// thread and in the order the calls were made, whichever thread made them:
// calls from other threads are queued; a call on the GUI thread first runs
// whatever is still queued, then itself. Message boxes and file dialogs block
// their caller until answered.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "base/ui_port.h"

namespace zjig::gui {

// "desc|*.bin|other|*.*" → {"desc (*.bin)", "other (*.*)"}; a description
// that already names its pattern in brackets is kept as it is.
QStringList qtNameFilters(const std::string& filter);

class QtPort : public UiPort {
  public:
    using MessageBoxHandler = std::function<void(MessageKind, const std::string&)>;
    using FileDialogHandler = std::function<std::optional<std::string>(const FileDialogSpec&)>;

    // Must be created on the GUI thread.
    QtPort();
    ~QtPort() override;
    QtPort(const QtPort&) = delete;
    QtPort& operator=(const QtPort&) = delete;

    // Registers a window under its layout name (on the GUI thread). Controls
    // are looked for in the windows in the order they were added.
    void addWindow(QWidget* window);

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

    // Replace the real dialogs (tests, screenshots). Set on the GUI thread
    // before any dialog can be asked for.
    void setMessageBoxHandler(MessageBoxHandler handler) {
        messageBoxHandler_ = std::move(handler);
    }
    void setFileDialogHandler(FileDialogHandler handler) {
        fileDialogHandler_ = std::move(handler);
    }

    // Runs every queued call now (GUI thread only).
    void flush();
    // The program is closing: queued calls are dropped, later calls do
    // nothing, and callers waiting for a dialog get "dismissed"/"cancelled",
    // so that workers can be stopped and joined.
    void close();
    bool closed() const;

    // Calls waiting for the GUI thread.
    size_t queuedCalls() const;

    // Names asked for that no window holds: a wiring fault, kept for tests.
    std::set<std::string> unknownNames() const;

    QWidget* findWindow(const std::string& name) const;
    QWidget* findControl(const std::string& name) const;
    // A named part that one widget draws among many (a key shape): not a
    // widget of its own but an object with a `colour` property, which
    // setColor sets.
    QObject* findItem(const std::string& name) const;
    static constexpr const char* kColourProperty = "colour";

  private:
    struct Pending;
    void call(std::function<void()> action);
    bool onGuiThread() const;
    void drain();
    void missing(const std::string& name) const;
    void runMessageBox(MessageKind kind, const std::string& text);
    std::optional<std::string> runFileDialog(const FileDialogSpec& spec);
    template <typename Result>
    Result callAndWait(std::function<Result()> action, Result whenClosed);

    std::unique_ptr<QObject> context_;
    std::vector<QPointer<QWidget>> windows_;

    mutable std::mutex mutex_;
    std::condition_variable answered_;
    std::deque<std::function<void()>> queue_;
    bool drainPosted_ = false;
    bool closed_ = false;
    mutable std::set<std::string> unknown_;

    MessageBoxHandler messageBoxHandler_;
    FileDialogHandler fileDialogHandler_;
};

}  // namespace zjig::gui
