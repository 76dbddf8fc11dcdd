#include "edid/edid_session.h"

#include <algorithm>
#include <array>
#include <atomic>

#include "base/display_text.h"
#include "base/files.h"
#include "edid/edid_commands.h"
#include "edid/edid_controls.h"
#include "edid/edid_image.h"
#include "jiglink/identity.h"

namespace zjig {

using namespace edid;

namespace {

// Memo lines and dialogs used on more than one path.
constexpr const char* kReadNoAnswer = "EEPROM does not respond, check the connection !!!";
constexpr const char* kWriteFailed = "EEPROM does not respond, or write error! WP 7 pin = '0' ?";
constexpr const char* kCreateFileError = "Ошибка создания файла.";
constexpr const char* kOpenFileError = "Ошибка открытия файла.";
// An empty file would be written as 256 x FF and wipe the panel's EDID.
constexpr const char* kEmptyFile = "The file is empty, nothing written to the EEPROM.";

// The steps a wait can fail at, as the memo names them.
constexpr const char* kStepRead = "EEPROM read, 258 bytes";
constexpr const char* kStepWriteReady = "EEPROM write, answer to E w";
constexpr const char* kStepWriteData = "EEPROM write, 256 bytes";
constexpr const char* kStepWriteStatus = "EEPROM write, status";

FileDialogSpec saveDialogSpec() {
    FileDialogSpec spec;
    spec.dialog = kSaveDialog;
    spec.save = true;
    spec.title = "Укажите имя файла для сохранения.";
    spec.filter = "BIN файлы EEPROM (*.bin)|*.bin";
    spec.defaultExt = ".bin";
    spec.initialName = "Noname";
    spec.confirmOverwrite = true;
    return spec;
}

FileDialogSpec openDialogSpec() {
    FileDialogSpec spec;
    spec.dialog = kOpenDialog;
    spec.title = "Укажите файл за заливки.";
    spec.filter = "BIN файлы EEPROM (*.bin)|*.bin|Другие|*.*";
    return spec;
}

// Marks a handler as running for as long as it is in scope.
class Running {
  public:
    explicit Running(std::atomic<bool>& flag) : flag_(flag) { flag_ = true; }
    ~Running() { flag_ = false; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

  private:
    std::atomic<bool>& flag_;
};

}  // namespace

struct EdidSession::State {
    explicit State(const ModeContext& context)
        : core(context, kTransferBufferSize), ui(core.ui), link(core.link) {}

    SessionCore core;
    UiPort& ui;
    JigLink& link;

    std::string identity;
    bool jig3 = false;
    std::atomic<bool> running{false};

    // ------------------------------------------------------------------
    void say(const std::string& line) { ui.appendLine(kMemo, line); }

    bool connect() {
        const bool accepted = core.connect(connectVariantEdid(), identity);
        jig3 = accepted && contains(identity, kIdJig3);
        return accepted;
    }

    // A third-generation JIG answers the result byte with one byte.
    void sendResult(uint8_t result) { core.sendResult(result, jig3); }

    void EDID_ShowDump(const EepromImage& image) {
        for (const std::string& line : hexViewLines(image)) say(line);
    }

    void showSummary(const EepromImage& image) {
        ui.setText(kSummaryLabel, summaryText(summarize(image)));
    }

    void fileError(const char* message, const std::string& problem) {
        ui.messageBox(MessageKind::Error, std::string(message) + "\n" + problem);
        say("");
    }

    // A fresh operation starts with an empty memo and no summary.
    void clearWindow() {
        ui.clearMemo(kMemo);
        ui.setText(kSummaryLabel, "");
    }

    // ------------------------------------------------------------------
    // Read.

    // The 256 data bytes and the status pair. Exactly 258 bytes are taken;
    // anything the JIG sends beyond them stays queued and goes with the link.
    WaitResult receiveArea(std::array<uint8_t, kReceiveSize>& area) {
        const WaitResult r = link.waitForInput(kReceiveSize, kBlockWait);
        if (r != WaitResult::Ok) return r;
        size_t got = 0;
        while (got < kReceiveSize) {
            const auto missing = static_cast<uint32_t>(kReceiveSize - got);
            if (!ftOk(link.read(missing)) || link.bytesMoved == 0 || link.bytesMoved > missing)
                return WaitResult::LinkError;
            std::copy_n(link.data(), link.bytesMoved, area.begin() + static_cast<long>(got));
            got += link.bytesMoved;
        }
        return WaitResult::Ok;
    }

    std::string readWaitLine(WaitResult r) const {
        std::string line = core.waitFailureLine(kStepRead, r, kBlockWait);
        // How far the JIG got tells a dead EEPROM from a link that broke off.
        if (r == WaitResult::TimedOut)
            line += " (" + std::to_string(link.rxQueue) + " of " + std::to_string(kReceiveSize) +
                    " bytes came)";
        return line;
    }

    void readFailed(bool sayNoAnswer) {
        if (sayNoAnswer) {
            say(kReadNoAnswer);
            say("");
        }
        sendResult(kResultFail);
        core.endPress(false);
    }

    void EDID_READClick() {
        if (!core.idleForPress(running.load())) return;
        Running guard(running);
        clearWindow();
        if (!connect()) return core.setOutcome(false);
        say("Reading EEPROM ...");
        link.send({kCmdPrefix, kCmdRead});

        std::array<uint8_t, kReceiveSize> area{};
        const WaitResult r = receiveArea(area);
        if (r != WaitResult::Ok) {
            say(readWaitLine(r));
            return readFailed(r != WaitResult::Cancelled);
        }
        switch (statusOf(area[kEepromSize], area[kEepromSize + 1])) {
            case EepromStatus::Error:
                return readFailed(true);
            case EepromStatus::Other:
                // Neither success nor failure: the JIG is left as it is.
                return core.endPress(false);
            case EepromStatus::Ok:
                break;
        }
        EepromImage image;
        std::copy_n(area.begin(), kEepromSize, image.begin());
        say("Reading from the EEPROM is completed successfully.");
        EDID_ShowDump(image);
        say("");
        sendResult(kResultOk);
        // The JIG is free again before the technician picks a file.
        core.closeLink();
        showSummary(image);
        core.setOutcome(saveDump(image));
    }

    // The save dialog and the file. A file the disk refused part of is
    // removed; the dump stays in the memo.
    bool saveDump(const EepromImage& image) {
        const auto path = ui.fileDialog(saveDialogSpec());
        if (!path) {
            say("Write to file is interrupted.");
            return false;
        }
        DumpFile dump;
        if (const std::string problem = dump.open(*path); !problem.empty()) {
            fileError(kCreateFileError, problem);
            return false;
        }
        say("Save the file: ");
        say(displayText(*path));
        std::string problem;
        if (!dump.write(image.data(), image.size()))
            problem = fileProblem(dump.partPath(), dump.lastError());
        else
            problem = dump.commit();
        if (problem.empty()) return true;
        dump.discard();
        fileError(kCreateFileError, problem);
        return false;
    }

    // ------------------------------------------------------------------
    // Write.

    // Waits for exactly `count` answer bytes and reads them; more is an
    // overflow, the same failure as silence.
    WaitResult answer(uint32_t count) {
        const WaitResult r = link.waitForExactly(count, kAnswerWait);
        if (r != WaitResult::Ok) return r;
        if (!ftOk(link.read(count)) || link.bytesMoved != count) return WaitResult::LinkError;
        return WaitResult::Ok;
    }

    void writeFailed(const char* step, WaitResult why) {
        say(core.waitFailureLine(step, why));
        if (why != WaitResult::Cancelled) say(kWriteFailed);
        sendResult(kResultFail);
        core.endPress(false);
    }

    void EDID_WRITEClick() {
        if (!core.idleForPress(running.load())) return;
        Running guard(running);
        clearWindow();
        if (!connect()) return core.setOutcome(false);
        const auto path = ui.fileDialog(openDialogSpec());
        if (!path) {
            say("Write operation is interrupted.");
            return core.endPress(false);
        }
        // The file is read whole and checked before 'E' 'w' reaches the JIG.
        LoadedFile loaded;
        if (const std::string problem = readRegularFile(*path, kEepromSize, loaded);
            !problem.empty()) {
            fileError(kOpenFileError, fileProblem(*path, problem));
            return core.endPress(false);
        }
        if (loaded.size == 0) {
            say(kEmptyFile);
            return core.endPress(false);
        }
        if (const std::string warning =
                imageSizeWarning(*path, loaded.size, kEepromSize, kPadByte, "the EEPROM");
            !warning.empty())
            ui.messageBox(MessageKind::Warning, warning);
        say("Writing EEPROM ...");
        const EepromImage image = imageFromFile(loaded.bytes);
        showSummary(image);

        link.send({kCmdPrefix, kCmdWrite});
        if (const WaitResult r = answer(kWriteReadySize); r != WaitResult::Ok)
            return writeFailed(kStepWriteReady, r);
        EDID_ShowDump(image);
        say("");
        if (!ftOk(link.send(image.data(), kEepromSize)) || link.bytesMoved != kEepromSize)
            return writeFailed(kStepWriteData, WaitResult::LinkError);
        if (const WaitResult r = answer(kStatusSize); r != WaitResult::Ok)
            return writeFailed(kStepWriteStatus, r);
        switch (statusOf(link.data()[0], link.data()[1])) {
            case EepromStatus::Ok:
                say("Writing data to EEPROM is completed successfully.");
                sendResult(kResultOk);
                return core.endPress(true);
            case EepromStatus::Error:
                say(kWriteFailed);
                sendResult(kResultFail);
                return core.endPress(false);
            case EepromStatus::Other:
                return core.endPress(false);
        }
    }

    void EXIT_EDIDClick() {
        clearWindow();
        ui.showWindow(kMainWindow);
        ui.hideWindow(kWindow);
    }
};

EdidSession::EdidSession(const ModeContext& context) : state_(std::make_unique<State>(context)) {}

EdidSession::~EdidSession() { shutdown(); }

SessionCore& EdidSession::core() const { return state_->core; }

void EdidSession::FormCreate() { state_->ui.setText(kSummaryLabel, ""); }
void EdidSession::EDID_READClick() { state_->EDID_READClick(); }
void EdidSession::EDID_WRITEClick() { state_->EDID_WRITEClick(); }
void EdidSession::EXIT_EDIDClick() { state_->EXIT_EDIDClick(); }

bool EdidSession::busy() const { return state_->running.load(); }

}  // namespace zjig

namespace zjig::edid {
std::unique_ptr<ModeSession> makeSession(const ModeContext& context) {
    return std::make_unique<EdidSession>(context);
}
}  // namespace zjig::edid
