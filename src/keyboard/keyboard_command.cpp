// zjig keyboard scan: one visit to the keyboard matrix tester. "Buzzer off"
// is ticked when asked, START SCAN pressed, and the scan runs (its watchdog
// is a window timer, so the window thread runs meanwhile) until the time
// given or a stop signal; then STOP, as a technician would press it. Every
// shape painted red, yellow or black becomes one line of output.
#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>

#include "cli/runtime.h"
#include "keyboard/keyboard_answer.h"
#include "keyboard/keyboard_controls.h"
#include "keyboard/keyboard_session.h"

namespace zjig::keyboard {

namespace {

using namespace cli;
using Clock = std::chrono::steady_clock;

// The output lines go through the port's printed memo path, in order with
// everything else the port prints.
constexpr const char* kScanOutput = "zjig keyboard scan";
// Without --seconds the scan runs until it is stopped.
constexpr std::chrono::hours kUntilStopped{24 * 365};
// After STOP the scan ends with the next answer, or by its watchdog.
constexpr std::chrono::seconds kStopGuard{5};

struct ScanRequest {
    std::optional<double> seconds;
    bool buzzerOff = false;
    bool json = false;
};

const char* colourWord(Rgb colour) {
    if (colour == kReported) return "red";
    if (colour == kReportedAgain) return "yellow";
    if (colour == kHidden) return "black";
    return nullptr;  // aqua after a Clear: nothing to say
}

// The terminal's port, with the shapes' colours turned into output lines.
class ScanPort : public UiPort {
  public:
    ScanPort(CliPort& port, bool json) : port_(port), json_(json) {}
    void startClock() { start_ = Clock::now(); }

    void setColor(const std::string& control, Rgb colour) override {
        port_.setColor(control, colour);
        const char* word = colourWord(colour);
        if (!word || control.rfind("Shape", 0) != 0) return;
        const PinPair pair = pairOfKey(std::atoi(control.c_str() + 5));
        if (!hasShape(pair)) return;
        std::string line;
        if (json_) {
            const auto ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_);
            line = "{\"i\":" + std::to_string(pair.i) + ",\"j\":" + std::to_string(pair.j) +
                   ",\"colour\":\"" + word + "\",\"ms\":" + std::to_string(ms.count()) + "}";
        } else {
            line = std::to_string(pair.i) + "-" + std::to_string(pair.j) + " " + word;
        }
        port_.appendLine(kScanOutput, line);
    }

    void appendLine(const std::string& memo, const std::string& line) override {
        port_.appendLine(memo, line);
    }
    void clearMemo(const std::string& memo) override { port_.clearMemo(memo); }
    void setText(const std::string& control, const std::string& text) override {
        port_.setText(control, text);
    }
    void setItems(const std::string& list, const std::vector<std::string>& items) override {
        port_.setItems(list, items);
    }
    void setEnabled(const std::string& control, bool enabled) override {
        port_.setEnabled(control, enabled);
    }
    void setChecked(const std::string& control, bool checked) override {
        port_.setChecked(control, checked);
    }
    void setVisible(const std::string& control, bool visible) override {
        port_.setVisible(control, visible);
    }
    void setGaugeMax(const std::string& gauge, int maximum) override {
        port_.setGaugeMax(gauge, maximum);
    }
    void setGaugeProgress(const std::string& gauge, int progress) override {
        port_.setGaugeProgress(gauge, progress);
    }
    void showWindow(const std::string& window) override { port_.showWindow(window); }
    void hideWindow(const std::string& window) override { port_.hideWindow(window); }
    void messageBox(MessageKind kind, const std::string& text) override {
        port_.messageBox(kind, text);
    }
    std::optional<std::string> fileDialog(const FileDialogSpec& spec) override {
        return port_.fileDialog(spec);
    }

  private:
    CliPort& port_;
    const bool json_;
    Clock::time_point start_ = Clock::now();
};

int runScan(Runtime& rt, const ScanRequest& request) {
    CliPort& port = *rt.port;
    port.printMemo(kScanOutput);
    ScanPort scanPort(port, request.json);
    ModeContext context = rt.modeContext();
    context.ui = &scanPort;
    KeyboardSession session(context);
    session.FormCreate();
    if (request.buzzerOff) {
        scanPort.setChecked(kBuzzerBox, true);
        session.Buzzer_boxClick(true);
    }

    bool pressed = false;
    rt.loop.post([&] {
        scanPort.startClock();
        session.START_SCANClick();
        pressed = true;
    });
    const auto scanTime =
        request.seconds ? std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::duration<double>(*request.seconds))
                        : std::chrono::duration_cast<std::chrono::milliseconds>(kUntilStopped);
    runLoopUntil(
        rt, [&] { return pressed && (!session.busy() || interrupted()); }, scanTime);

    if (session.busy()) {
        session.stopScan();
        const auto guard = session.watchdogLimit() + kStopGuard;
        if (!runLoopUntil(
                rt, [&] { return !session.busy(); }, guard))
            session.shutdown();
    }
    session.waitIdle(kStopGuard);

    const auto connect = session.lastConnectResult();
    const auto status = port.text(kStatusLabel).value_or("");
    if (connect && *connect != ConnectResult::Accepted) {
        std::fprintf(rt.err, "error: %s\n", status.c_str());
        return exitCodeFor(*connect);
    }
    const bool stopped = session.lastOperationSucceeded() == true;
    if (!stopped) std::fprintf(rt.err, "error: %s\n", status.c_str());
    std::fprintf(rt.err, "pairs seen: %d\n", session.pairsSeen());
    // A stop signal ends the scan as STOP does, but the command reports it.
    if (interrupted()) return kExitFailed;
    return stopped ? kExitOk : kExitFailed;
}

}  // namespace

void addCommands(CLI::App& app, cli::Runtime& rt) {
    auto* keyboard = app.add_subcommand("keyboard", "Keyboard matrix tester");
    keyboard->require_subcommand(1);
    auto request = std::make_shared<ScanRequest>();
    auto* scan = keyboard->add_subcommand(
        "scan",
        "Scan the keyboard connector; print each pair as its shape changes: \"I-J red\", "
        "\"I-J yellow\" or \"I-J black\" (hidden)");
    scan->add_option("--seconds", request->seconds,
                     "Stop the scan after S seconds (default: run until Ctrl-C)")
        ->check(CLI::NonNegativeNumber);
    scan->add_flag("--buzzer-off", request->buzzerOff,
                   "Tick \"Buzzer off\": the JIG does not beep on a key");
    scan->add_flag("--json", request->json,
                   "One JSON object per change instead: {\"i\":3,\"j\":7,\"colour\":\"red\","
                   "\"ms\":1234} (ms since the scan started)");
    scan->callback(
        [&rt, request] { rt.action = [&rt, request] { return runScan(rt, *request); }; });
}

}  // namespace zjig::keyboard
