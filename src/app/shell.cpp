#include "app/shell.h"

#include "base/clock_text.h"
#include "base/modes.h"
#include "base/names.h"
#include "jiglink/identity.h"

namespace zjig {

namespace {
const std::string kAsterisks(38, '*');

// Help lines for the flat-cable work of a third-generation JIG.
const char* const kFfcHelpLines[] = {
    "  The sequence of the connection while working on a flexible cable.",
    "1 Connect the motherboard and the programmer via a flexible cable.",
    "2 Connect the ground between the motherboard and the programmer.",
    ("3 In the shell, choose a motherboard, a flexible cable, the first in the first or not, and "
     "then click APPLY SETTINGS."),
    "4 Only NOW it is possible to connect the power supply to the motherboard !",
    "",
};
}  // namespace

Shell::Shell(ShellConfig config, UiPort& ui, Executor& windowThread)
    : config_(std::move(config)),
      ui_(ui),
      windowThread_(windowThread),
      runLog_(config_.runLogPath),
      link_(config_.env, kShellBufferSize),
      timerRun_(windowThread, std::chrono::milliseconds(300), [this] { Timer_RUNTimer(); }),
      timer5Sec_(windowThread, std::chrono::milliseconds(5000), [this] { Timer_5SECTimer(); }),
      timerMsg_(windowThread, std::chrono::milliseconds(200), [this] { TimerMSGTimer(); }) {}

Shell::~Shell() {
    updateCancel_ = true;
    if (updateThread_.joinable()) updateThread_.join();
    timerRun_.setEnabled(false);
    timer5Sec_.setEnabled(false);
    timerMsg_.setEnabled(false);
}

std::string Shell::identity() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return identity_;
}

void Shell::setIdentity(std::string id) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    identity_ = std::move(id);
}

std::string Shell::selectedText() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return selected_;
}

void Shell::joinUpdate() {
    if (updateThread_.joinable()) updateThread_.join();
}

bool Shell::MAIN_CONNECTClick(const std::string& selectedText) {
    if (selectedText.empty() || selectedText == kPleaseSelect) return true;
    // The shell's link belongs to the update thread while it runs; a second
    // "Start" then would fight it for the JIG.
    if (updateRunning_) {
        ui_.messageBox(MessageKind::Warning,
                       "The JIG firmware update is still running. Wait for it to end.");
        return false;
    }
    joinUpdate();
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        selected_ = selectedText;
    }
    ui_.clearMemo(names::kMemoUpdate);
    DetectJig(kKeepHandle);

    const std::string id = identity();
    if (id == kIdNoDevice) {
        link_.close();
        ui_.messageBox(MessageKind::Error, "JIG not connected to the USB port!");
        return true;
    }
    if (contains(id, kIdJig3Shell)) {
        for (const char* line : kFfcHelpLines) ui_.appendLine(names::kKb901xMemo, line);
    } else {
        ui_.setEnabled(names::kKb901xApply, false);
    }
    if (contains(id, kIdJig3Current)) {
        timerRun_.setEnabled(true);
        ui_.setEnabled(names::kKb901xApply, true);
        link_.close();
        return true;
    }
    runLog_.append("ReadThread_UPD start ... ");
    startUpdateThread();
    return true;
}

void Shell::startUpdateThread() {
    updateCancel_ = false;
    updateRunning_ = true;
    updateThread_ = std::thread([this] {
        UpdateHost host = updateHost();
        RunUpdateThread(host);
        updateRunning_ = false;
    });
}

UpdateHost Shell::updateHost() {
    return UpdateHost{ui_,
                      link_,
                      runLog_,
                      config_.env,
                      config_.firmwareDir,
                      identity(),
                      selectedText(),
                      timerRun_,
                      timer5Sec_,
                      timerMsg_,
                      resetWait_,
                      updateCancel_,
                      [this] {
                          if (onUpdateFailed) onUpdateFailed();
                      }};
}

void Shell::DetectJig(const std::string& closeMode) {
    const bool closeAfter = closeMode == kCloseHandle;
    runLog_.append({kAsterisks, dateTimeText(), kAsterisks});
    setIdentity(std::string(kIdNoDevice));
    link_.close();

    if (!ftOk(link_.enumerate())) {
        runLog_.append("Error FT_CreateDeviceInfoList");
        return;
    }
    if (link_.deviceCount == 0) {
        runLog_.append("Error numDevs = 0");
        return;
    }
    setIdentity(std::string(kIdNoAnswer));

    auto logResult = [&](FtStatus s, const char* ok, const char* error) {
        runLog_.append(ftOk(s) ? ok : error);
    };
    for (uint32_t count = link_.deviceCount; count != 0; --count) {
        runLog_.append("Open  numDevs -> " + std::to_string(count));
        // Opening the next device closes the one before: nothing uses the
        // connection of a device that stayed silent. A device that fails to
        // open leaves the one before open, for the update to work on.
        if (!ftOk(link_.open(count - 1))) {
            runLog_.append("ERROR FT_Open");
            continue;
        }
        runLog_.append("FT_Open OK");
        if (ftOk(link_.getDriverVersion()))
            runLog_.append("FT_GetDriverVersion OK    (" + std::to_string(link_.driverVersion) +
                           ")");
        else
            runLog_.append("Error FT_GetDriverVersion");
        logResult(link_.reset(), "FT_ResetDevice OK", "Error FT_ResetDevice");
        logResult(link_.setBaudRate(kLinkBaud), "FT_SetBaudRate OK", "Error FT_SetBaudRate");
        logResult(link_.setDataCharacteristics(), "FT_SetDataCharacteristics OK",
                  "Error FT_SetDataCharacteristics");
        logResult(link_.setTimeouts(kDefaultTimeoutMs, kDefaultTimeoutMs), "FT_SetTimeouts OK",
                  "Error FT_SetTimeouts");

        std::string answer;
        const uint32_t got = link_.identify(answer);
        runLog_.append("Read answer version bytes -> " + std::to_string(got));
        if (got > 0) {
            setIdentity(answer);
            runLog_.append(answer);
            logResult(link_.setLatencyTimer(kAcceptedLatencyMs), "FT_SetLatencyTimer OK",
                      "Error FT_SetLatencyTimer");
            if (closeAfter) link_.close();
            return;
        }
        if (closeAfter) link_.close();
    }
    runLog_.append("NOT ANSWER ");
}

void Shell::Timer_RUNTimer() {
    timerRun_.setEnabled(false);
    const std::string selected = selectedText();
    runLog_.append({"User select -> " + selected, "Go to application. End."});
    const char* window = modeWindow(selected);
    if (window) ui_.showWindow(window);
    ui_.hideWindow(names::kMainWindow);
    if (window && onModeWindowShown) onModeWindowShown(window);
}

void Shell::Timer_5SECTimer() {
    timer5Sec_.setEnabled(false);
    resetWait_ = true;
}

}  // namespace zjig

namespace zjig {

void Shell::TimerMSGTimer() {
    timerMsg_.setEnabled(false);
    ui_.messageBox(MessageKind::Warning, " Please press the reset button on the JIG!");
}

void Shell::SpeedButton_UPD_EXITClick() {
    if (updateRunning_) {
        updateCancel_ = true;
        return;
    }
    ui_.clearMemo(names::kMemoUpdate);
    ui_.setEnabled(names::kUpdateExit, false);
    ui_.hideWindow(names::kUpdateWindow);
}

}  // namespace zjig
