#include "kb901x_form/kb901x_session.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "app/clock_text.h"
#include "app/hex_text.h"
#include "jiglink/identity.h"
#include "kb901x_form/kb901x_checksum.h"
#include "kb901x_form/kb901x_commands.h"
#include "kb901x_form/kb901x_controls.h"
#include "kb901x_form/kb901x_routing.h"

namespace zjig {

using namespace kb90;

namespace {

// Memo lines used on more than one path.
constexpr const char* kLostRead = "Lost Communication with ENE or timeout!";
constexpr const char* kLostWrite = "!!! Lost Communication with ENE or timeout !!! ";
constexpr const char* kWrittenIncorrectly = "!!! Data is written incorrectly !!! ";
constexpr const char* kVerifyOk = "Writing and verify is OK !";
constexpr const char* kStars = "**********************************";
constexpr const char* kTimePrefix = "Current time  ";
constexpr const char* kErrorDataFormat = "Error data format!";
constexpr const char* kBigPinsFfc = "Please select big pins FFC!";
constexpr const char* kSelectMb = "Please select MB!";

// Step names of the CPLD commands, shown when the JIG does not answer one.
enum class CpldStep { RESET_ALTERA, WR_ALTERA_REG };
const char* cpldStepName(CpldStep step) {
    return step == CpldStep::RESET_ALTERA ? "RESET_ALTERA" : "WR_ALTERA_REG";
}

// The operation tag of the mode.
enum class Tag { NONE, Reading, Writing };

constexpr int kGaugeStep = kGaugeMax / kBlockCount;

FileDialogSpec saveDialogSpec() {
    FileDialogSpec spec;
    spec.dialog = kSaveDialog;
    spec.save = true;
    spec.title = "Save file";
    spec.filter = "BIN file KB90XX (*.bin)|*.bin";
    spec.defaultExt = ".bin";
    spec.initialName = "Noname";
    spec.confirmOverwrite = true;
    return spec;
}

FileDialogSpec openDialogSpec() {
    FileDialogSpec spec;
    spec.dialog = kOpenDialog;
    spec.title = "Read file";
    spec.filter = "BIN file KB90XX (*.bin)|*.bin|other|*.*";
    return spec;
}

}  // namespace

struct Kb901xSession::State {
    State(LinkEnv env, UiPort& port, std::string dbPath)
        : ui(port), databasePath(std::move(dbPath)), link(std::move(env), kTransferBufferSize) {
        link.setCancelFlag(&stop);
    }

    UiPort& ui;
    const std::string databasePath;

    // --- mode state ---
    JigLink link;
    std::string identity;
    std::atomic<Tag> tag{Tag::NONE};
    std::atomic<bool> applied{false};  // the routing-applied flag
    std::atomic<bool> stop{false};     // the link's cancel flag: set to end a running operation

    // --- window selections (window thread only) ---
    std::optional<std::string> motherboard;
    std::optional<std::string> cable;
    bool oneToOne = true;  // the check box: pin 1 of the cable on pin 1 of the connector

    // --- the running operation: prepared by the handler, then the worker's alone ---
    bool jig3 = false;
    std::FILE* file = nullptr;
    int blockCounter = 0;
    std::vector<uint8_t> verifyImage;
    FlashChecksum fileSum;
    std::thread worker;

    // --- outcome, read by the front ends from any thread ---
    mutable std::mutex outcomeMutex;
    std::condition_variable workerEnded;
    bool workerRunning = false;
    std::optional<bool> succeeded;
    std::optional<ConnectResult> connectResult;

    // ------------------------------------------------------------------
    void say(const std::string& line) { ui.appendLine(kMemo, line); }
    void timeLine() { say(kTimePrefix + dateTimeText()); }
    void send(uint8_t byte) { link.send({byte}); }
    // A command that starts an operation: with the mode prefix on a JIG 3.
    void sendModeCommand(uint8_t command) {
        if (jig3)
            link.send({kModePrefix, command});
        else
            link.send({command});
    }
    // The success or failure byte that ends a press. A third-generation JIG
    // answers it with one byte; that answer is taken here (one read, bounded
    // by the link's read time-out) so that it cannot spill into the identity
    // of the next connection.
    void sendResult(uint8_t result) {
        send(result);
        if (jig3) link.read(1);
    }
    // The last bytes must leave before the bridge is let go.
    void closeLink() {
        if (!link.isOpen()) return;
        link.drain();
        link.close();
    }
    void setOutcome(bool ok) {
        std::lock_guard<std::mutex> lock(outcomeMutex);
        succeeded = ok;
    }
    // Closes the link of a press that ends before any worker starts.
    void endPress(bool ok) {
        closeLink();
        setOutcome(ok);
    }

    // A new press starts only on an idle mode; a worker that has just ended
    // is joined first so that its last window updates come before ours.
    bool idleForPress() {
        if (tag.load() != Tag::NONE) return false;
        if (worker.joinable()) worker.join();
        std::lock_guard<std::mutex> lock(outcomeMutex);
        succeeded.reset();
        connectResult.reset();
        return true;
    }

    bool connect() {
        identity.clear();
        const ConnectResult r = ConnectJig(link, ui, connectVariantKb901x(), identity);
        {
            std::lock_guard<std::mutex> lock(outcomeMutex);
            connectResult = r;
        }
        jig3 = r == ConnectResult::Accepted && contains(identity, kIdJig3);
        return r == ConnectResult::Accepted;
    }

    // A wait that did not end with its bytes, as one memo line.
    std::string waitFailureLine(const std::string& where, WaitResult r,
                                milliseconds limit = kAnswerWait) const {
        switch (r) {
            case WaitResult::TimedOut:
                return where + ": no answer from the programmer within " +
                       std::to_string(link.effectiveLimit(limit).count()) + " ms";
            case WaitResult::Overflow:
                return where + ": the programmer sent more bytes than expected";
            case WaitResult::Cancelled:
                return where + ": stopped, the program is closing";
            case WaitResult::LinkError:
                return where + ": the connection to the programmer failed";
            case WaitResult::Ok:
                break;
        }
        return where;
    }

    std::string blockName(int block) const {
        return "Block " + std::to_string(block) + " of " + std::to_string(kBlockCount);
    }

    // ------------------------------------------------------------------
    // Motherboard database and cable routing.

    void FormCreate() {
        applied = false;
        motherboard.reset();
        cable.reset();
        oneToOne = true;
        ui.setColor(kMbList, kYellow);
        ui.setColor(kFfcList, kYellow);
        ui.setGaugeMax(kGauge, kGaugeMax);
        ui.setItems(kFfcList, std::vector<std::string>(kFfcItems.begin(), kFfcItems.end()));

        std::FILE* db = std::fopen(databasePath.c_str(), "rb");
        if (!db) {
            ui.setText(kResultLabel, "Create base of connections KB90XX !");
            ui.setColor(kMbList, kButtonFace);
            ui.setColor(kFfcList, kButtonFace);
            ui.setEnabled(kMbList, false);
            ui.setEnabled(kFfcList, false);
            ui.setEnabled(kOrientationBox, false);
            return;
        }
        ui.setEnabled(kMbList, true);
        ui.setEnabled(kFfcList, true);
        ui.setEnabled(kOrientationBox, true);
        ui.setText(kMbList, std::string(kMbListPrompt));
        ui.setText(kFfcList, std::string(kFfcListPrompt));
        ui.setText(kResultLabel, "");
        std::string content;
        std::array<char, 4096> chunk;
        size_t n = 0;
        while ((n = std::fread(chunk.data(), 1, chunk.size(), db)) > 0)
            content.append(chunk.data(), n);
        std::fclose(db);
        ui.setItems(kMbList, splitMbDatabase(content));
    }

    void KB90_ParseMbRecord() {
        const auto pins = parseMbRecord(*motherboard);
        if (!pins) {
            ui.setText(kResultLabel, kErrorDataFormat);
            return;
        }
        const int cablePins = ffcPinCount(*cable);
        if (cablePins < pins->highest()) {
            ui.setText(kResultLabel, kBigPinsFfc);
            return;
        }
        ui.setText(kResultLabel, wiringHelp(oneToOne ? *pins : mirrorPins(*pins, cablePins)));
    }

    // Sends one CPLD command and waits for its answer byte (value not used).
    bool KB90_CpldCommand(CpldStep step, uint8_t reg = 0, uint8_t value = 0) {
        if (step == CpldStep::RESET_ALTERA)
            link.send({kCpldPrefix, kCpldReset});
        else
            link.send({kCpldPrefix, kCpldWrite, reg, value});
        const WaitResult r = link.readByte(kAnswerWait);
        if (r == WaitResult::Ok) return true;
        say(waitFailureLine(std::string("(") + cpldStepName(step) + ")", r));
        return false;
    }

    // Without an applied routing a third-generation JIG is put back into the
    // routing for soldered wires.
    bool wireModeFallback() {
        if (!jig3 || applied) return true;
        say("-->");
        say("WARNING !!! The default mode for SOLDERING WIRES.");
        say("To work on a flexible cable (FFC) - select the MB and FFC!");
        return KB90_CpldCommand(CpldStep::RESET_ALTERA);
    }

    void SpeedButton1Click() {
        if (!idleForPress()) return;
        applied = false;
        if (!motherboard) return refuse(kSelectMb);
        if (!cable) return refuse("Select FFC cable you used!");
        if (motherboard->find("KS") == std::string::npos) return refuse(kSelectMb);
        // The record is parsed again here: the pins last parsed on selection
        // may belong to another record when this one failed to parse.
        const auto pins = parseMbRecord(*motherboard);
        if (!pins) return refuse(kErrorDataFormat);
        const int cablePins = ffcPinCount(*cable);
        if (cablePins < pins->highest()) return refuse(kBigPinsFfc);

        say("");
        say("User select --> " + *motherboard + " (" + std::to_string(cablePins) + " pin FFC)" +
            (oneToOne ? " 1 to 1 " : " mirrored"));
        const PinSet route = oneToOne ? *pins : mirrorPins(*pins, cablePins);

        if (!connect()) return setOutcome(false);
        if (!jig3) {
            say("Not for this version JIG!");
            return endPress(false);
        }
        if (!KB90_CpldCommand(CpldStep::RESET_ALTERA)) return endPress(false);
        for (const auto& [reg, value] : routingRegisterWrites(routingFor(route))) {
            if (!KB90_CpldCommand(CpldStep::WR_ALTERA_REG, reg, value)) return endPress(false);
        }
        sendResult(kResultOk);
        say("Settings sent successfully!");
        say("Check GND. Connect the motherboard power adapter.");
        say("We are ready for reading or writing");
        closeLink();
        applied = true;
        setOutcome(true);
    }

    void refuse(const std::string& line) {
        say(line);
        setOutcome(false);
    }

    // ------------------------------------------------------------------
    // Read.

    bool KB90_CheckChip() {
        sendModeCommand(kCmdVersion);
        link.read(1);  // one read, bounded by the link's read time-out
        const uint8_t version = link.data()[0];
        if (link.bytesMoved == 1 && version != kNoChip) {
            say("Communication with KB90XX installed.");
            say("Embedded Debug Version ID = " + std::to_string(version));
            return true;
        }
        say("");
        say("No connection to the KB90XX!");
        say("Check the settings !");
        say("Motherboard is connected / powered ?");
        sendResult(kResultFail);
        return false;
    }

    void KB901X_READClick() {
        if (!idleForPress()) return;
        if (!connect()) return setOutcome(false);
        if (!wireModeFallback() || !KB90_CheckChip()) return endPress(false);
        if (jig3) {
            send(kResultOk);
            const WaitResult r = link.readByte(kAnswerWait);
            if (r != WaitResult::Ok) {
                say(waitFailureLine("Ready", r));
                say(kLostRead);
                sendResult(kResultFail);
                return endPress(false);
            }
        }
        const auto path = ui.fileDialog(saveDialogSpec());
        if (!path) {
            say("Write to file is interrupted.");
            say("");
            return endPress(false);
        }
        file = std::fopen(path->c_str(), "wb");
        if (!file) {
            ui.messageBox(MessageKind::Error, "Ошибка создания файла.");
            return endPress(false);
        }
        say("Save the file: ");
        say(*path);
        ui.setColor(kGauge, kGreen);
        ui.setGaugeProgress(kGauge, 0);
        say("Reading KB90XX ...");
        ui.setEnabled(kWriteButton, false);
        ui.setEnabled(kExitButton, false);
        timeLine();
        tag = Tag::Reading;
        blockCounter = 1;
        // The start command goes out before the worker takes the link over,
        // so that the link is never used by two threads at once.
        sendModeCommand(kCmdRead);
        startWorker();
    }

    // One read step; true when the operation has ended.
    bool readStep() {
        const WaitResult r = link.waitForExactly(kBlockSize, kBlockWait);
        if (r != WaitResult::Ok)
            return readFailed(waitFailureLine(blockName(blockCounter), r, kBlockWait), r);
        if (!ftOk(link.read(kBlockSize)) || link.bytesMoved != kBlockSize)
            return readFailed(waitFailureLine(blockName(blockCounter), WaitResult::LinkError),
                              WaitResult::LinkError);
        // Each block reaches the disk as it comes, so a dump cut short keeps
        // every block read so far.
        if (std::fwrite(link.data(), 1, kBlockSize, file) != kBlockSize || std::fflush(file) != 0) {
            send(kCmdEnd);
            say("Error writing file!");
            timeLine();
            sendResult(kResultFail);
            return finishRead(false);
        }
        ui.setGaugeProgress(kGauge, kGaugeStep * blockCounter);
        if (jig3) {
            send(kCmdBlockState);
            const WaitResult answer = link.readByte(kAnswerWait);
            if (answer != WaitResult::Ok)
                return readFailed(waitFailureLine(blockName(blockCounter), answer), answer);
            if (link.data()[0] != kAnswerGood) return readFailed({}, WaitResult::Ok);
        }
        if (blockCounter == kBlockCount) {
            send(kCmdEnd);
            say("Reading completed successfully.");
            timeLine();
            sendResult(kResultOk);
            return finishRead(true);
        }
        send(kCmdNext);
        ++blockCounter;
        return false;
    }

    // The JIG stayed silent, sent too much, or refused a block.
    bool readFailed(const std::string& detail, WaitResult why) {
        send(kCmdEnd);
        if (!detail.empty()) say(detail);
        if (why != WaitResult::Cancelled) say(kLostRead);
        timeLine();
        sendResult(kResultFail);
        return finishRead(false);
    }

    bool finishRead(bool ok) {
        finishOperation(ok);
        ui.setEnabled(kWriteButton, true);
        ui.setEnabled(kExitButton, true);
        return true;
    }

    // ------------------------------------------------------------------
    // Write.

    void KB901X_WRITEClick() {
        if (!idleForPress()) return;
        if (!connect()) return setOutcome(false);
        if (!wireModeFallback() || !KB90_CheckChip()) return endPress(false);
        const auto path = ui.fileDialog(openDialogSpec());
        if (!path) {
            say("Write operation is interrupted.");
            return endPress(false);
        }
        // The file is read once whole for the verification and opened again
        // for the blocks.
        std::FILE* image = std::fopen(path->c_str(), "rb");
        if (image) {
            verifyImage.assign(kFlashSize, 0);
            verifyImage.resize(std::fread(verifyImage.data(), 1, kFlashSize, image));
            std::fclose(image);
            file = std::fopen(path->c_str(), "rb");
        }
        if (!image || !file) {
            ui.messageBox(MessageKind::Error, "Error open file!");
            return endPress(false);
        }
        say("Write in KB90XX file:");
        say(*path);
        ui.setColor(kGauge, kRed);
        ui.setGaugeProgress(kGauge, 0);
        say("There is a writing KB90XX...");
        ui.setEnabled(kReadButton, false);
        ui.setEnabled(kExitButton, false);
        timeLine();
        fileSum = {};
        tag = Tag::Writing;
        blockCounter = 1;
        sendModeCommand(kCmdWrite);
        startWorker();
    }

    // One write step; true when the operation has ended.
    bool writeStep() {
        WaitResult r = link.readByte(kAnswerWait);  // the JIG asks for the block
        if (r != WaitResult::Ok) {
            abortWrite(waitFailureLine(blockName(blockCounter), r), r, true);
            return finishWrite(false);
        }

        std::array<uint8_t, kBlockSize> block;
        block.fill(kPadByte);
        const size_t got = std::fread(block.data(), 1, block.size(), file);
        if (got < block.size() && std::ferror(file)) {
            send(kCmdEnd);
            say("Error reading file!");
            sendResult(kResultFail);
            return finishWrite(false);
        }
        if (got < block.size()) return writeShortFileEnd(block);

        link.send(block.data(), kBlockSize);
        if (!jig3) fileSum.add(block.data(), block.size());
        ui.setGaugeProgress(kGauge, kGaugeStep * blockCounter);
        ++blockCounter;
        r = link.readByte(kAnswerWait);
        if (r != WaitResult::Ok || (jig3 && link.data()[0] == kAnswerBlockError)) {
            abortWrite(r == WaitResult::Ok ? "" : waitFailureLine(blockName(blockCounter - 1), r),
                       r, true);
            return finishWrite(false);
        }

        if (blockCounter == kBlockCount + 1) {
            send(kCmdEnd);
            const bool ok = jig3 ? verifyByReadBack() : verifyBySum();
            return finishWrite(ok);
        }
        send(kCmdNext);
        return false;
    }

    // The file ended in or before this block: the block goes out padded and
    // the write stops there, without verification.
    bool writeShortFileEnd(const std::array<uint8_t, kBlockSize>& block) {
        say(" __ Warning __");
        say("Recorded file is less than 128*1024 byte");
        link.send(block.data(), kBlockSize);
        const WaitResult r = link.readByte(kAnswerWait);
        const uint8_t answer = link.data()[0];  // before 'X' takes the transfer buffer
        send(kCmdEnd);
        if (r != WaitResult::Ok) {
            say(waitFailureLine(blockName(blockCounter), r));
            if (r != WaitResult::Cancelled) say(kLostWrite);
            sendResult(kResultFail);
            return finishWrite(false);
        }
        if (jig3 && answer != kAnswerGood) {
            say(kLostWrite);
            sendResult(kResultFail);
            return finishWrite(false);
        }
        sendResult(kResultOk);
        return finishWrite(true);
    }

    // Ends a write or verification that lost the JIG; `sendEnd` when the JIG
    // is still inside the flash operation.
    void abortWrite(const std::string& detail, WaitResult why, bool sendEnd) {
        if (sendEnd) send(kCmdEnd);
        if (!detail.empty()) say(detail);
        if (why != WaitResult::Cancelled) say(kLostWrite);
        sendResult(kResultFail);
    }

    bool finishWrite(bool ok) {
        timeLine();
        finishOperation(ok);
        ui.setEnabled(kReadButton, true);
        ui.setEnabled(kExitButton, true);
        return true;
    }

    // The second-generation sum stopped: 'X' has gone out already.
    bool abortVerify(const std::string& where, WaitResult why) {
        abortWrite(waitFailureLine(where, why), why, false);
        return false;
    }

    // Second generation: the JIG sums the flash; both sums must match ours.
    bool verifyBySum() {
        say("Writing is completed successfully.");
        say(kStars);
        say("SUMM of data from a file  -> " + upperHex(fileSum.sum, 4));
        say("CRC16 of data from a file -> " + upperHex(fileSum.crc, 4));
        say(kStars);
        ui.setGaugeProgress(kGauge, 0);
        ui.setColor(kGauge, kYellow);
        blockCounter = 0;
        send(kCmdSum);
        int skipped = 0;
        while (blockCounter < kBlockCount) {
            const WaitResult r = link.readByte(kAnswerWait);
            if (r != WaitResult::Ok) return abortVerify("Flash sum", r);
            if (link.data()[0] == kAnswerSumTick) {
                ++blockCounter;
                ui.setGaugeProgress(kGauge, kGaugeStep * blockCounter);
            } else if (++skipped > kMaxSkippedSumBytes) {
                return abortVerify("Flash sum", WaitResult::Overflow);
            }
        }
        std::array<uint8_t, kSumResultBytes> b{};
        for (auto& byte : b) {
            const WaitResult r = link.readByte(kAnswerWait);
            if (r != WaitResult::Ok) return abortVerify("Flash sum", r);
            byte = link.data()[0];
        }
        say("SUMM FLASH KB90XX -> " + upperHex(b[1], 2) + upperHex(b[0], 2));
        say("CRC16 FLASH KB90XX-> " + upperHex(b[3], 2) + upperHex(b[2], 2));
        const uint16_t flashSum = static_cast<uint16_t>(b[1] << 8 | b[0]);
        const uint16_t flashCrc = static_cast<uint16_t>(b[3] << 8 | b[2]);
        if (flashSum == fileSum.sum && flashCrc == fileSum.crc) {
            say(kStars);
            say(kVerifyOk);
            sendResult(kResultOk);
            return true;
        }
        say(kWrittenIncorrectly);
        sendResult(kResultFail);
        return false;
    }

    // Third generation: the whole flash is read back and compared with the file.
    bool verifyByReadBack() {
        say("Writing is completed ...");
        say("Verification ...");
        ui.setGaugeProgress(kGauge, 0);
        ui.setColor(kGauge, kYellow);
        blockCounter = 0;
        size_t position = 0;
        link.send({kModePrefix, kCmdRead});
        while (true) {
            const WaitResult r = link.waitForExactly(kBlockSize, kBlockWait);
            if (r == WaitResult::Ok) link.read(kBlockSize);
            if (r != WaitResult::Ok || link.bytesMoved != kBlockSize) {
                const WaitResult why = r != WaitResult::Ok ? r : WaitResult::LinkError;
                abortWrite(waitFailureLine("Verification, " + blockName(blockCounter + 1), why,
                                           kBlockWait),
                           why, true);
                return false;
            }
            const uint8_t* got = link.data();
            for (size_t i = 0; i < kBlockSize; ++i, ++position) {
                if (position >= verifyImage.size() || got[i] != verifyImage[position]) {
                    send(kCmdEnd);
                    say(kWrittenIncorrectly);
                    sendResult(kResultFail);
                    return false;
                }
            }
            ++blockCounter;
            ui.setGaugeProgress(kGauge, kGaugeStep * blockCounter);
            if (blockCounter == kBlockCount) {
                send(kCmdEnd);
                sendResult(kResultOk);
                say(kVerifyOk);
                return true;
            }
            send(kCmdRead);
        }
    }

    // ------------------------------------------------------------------
    // The worker.

    void startWorker() {
        {
            std::lock_guard<std::mutex> lock(outcomeMutex);
            workerRunning = true;
        }
        worker = std::thread([this] { ReadThread_KB90(); });
    }

    void ReadThread_KB90() {
        bool ended = false;
        while (!ended) {
            switch (tag.load()) {
                case Tag::Reading:
                    ended = readStep();
                    break;
                case Tag::Writing:
                    ended = writeStep();
                    break;
                case Tag::NONE:
                    ended = true;
                    break;
            }
        }
        std::lock_guard<std::mutex> lock(outcomeMutex);
        workerRunning = false;
        workerEnded.notify_all();
    }

    // Common end of a read or write: the link and the file are let go, the
    // outcome is kept and the mode is idle again.
    void finishOperation(bool ok) {
        closeLink();
        if (file) {
            std::fclose(file);
            file = nullptr;
        }
        verifyImage.clear();
        setOutcome(ok);
        tag = Tag::NONE;
    }

    void EXIT_KB901XClick() {
        if (tag.load() != Tag::NONE) return;
        applied = false;
        ui.clearMemo(kMemo);
        ui.showWindow(kMainWindow);
        ui.hideWindow(kWindow);
        ui.setGaugeProgress(kGauge, 0);
    }

    bool waitIdle(std::chrono::milliseconds limit) {
        {
            std::unique_lock<std::mutex> lock(outcomeMutex);
            if (!workerEnded.wait_for(lock, limit, [&] { return !workerRunning; })) return false;
        }
        if (worker.joinable()) worker.join();
        return true;
    }

    void shutdown() {
        stop = true;
        if (worker.joinable()) worker.join();
        closeLink();
        stop = false;
    }
};

Kb901xSession::Kb901xSession(LinkEnv env, UiPort& ui, std::string databasePath)
    : state_(std::make_unique<State>(std::move(env), ui, std::move(databasePath))) {}

Kb901xSession::~Kb901xSession() { shutdown(); }

void Kb901xSession::FormCreate() { state_->FormCreate(); }

void Kb901xSession::ComboBox_KB901XSelect(const std::string& motherboardText) {
    State& s = *state_;
    s.ui.setColor(kMbList, kButtonFace);
    s.motherboard = motherboardText;
    if (s.cable) s.KB90_ParseMbRecord();
}

void Kb901xSession::ComboBox_KB901X_FFCSelect(const std::string& cableText) {
    State& s = *state_;
    s.ui.setColor(kFfcList, kButtonFace);
    s.cable = cableText;
    if (s.motherboard) s.KB90_ParseMbRecord();
}

void Kb901xSession::CheckBox_KB901XClick(bool ticked) {
    State& s = *state_;
    s.oneToOne = ticked;
    if (s.cable && s.motherboard) s.KB90_ParseMbRecord();
}

void Kb901xSession::SpeedButton1Click() { state_->SpeedButton1Click(); }
void Kb901xSession::KB901X_READClick() { state_->KB901X_READClick(); }
void Kb901xSession::KB901X_WRITEClick() { state_->KB901X_WRITEClick(); }
void Kb901xSession::EXIT_KB901XClick() { state_->EXIT_KB901XClick(); }

bool Kb901xSession::busy() const { return state_->tag.load() != Tag::NONE; }

bool Kb901xSession::waitIdle(std::chrono::milliseconds limit) { return state_->waitIdle(limit); }

void Kb901xSession::shutdown() { state_->shutdown(); }

std::optional<bool> Kb901xSession::lastOperationSucceeded() const {
    std::lock_guard<std::mutex> lock(state_->outcomeMutex);
    return state_->succeeded;
}

std::optional<ConnectResult> Kb901xSession::lastConnectResult() const {
    std::lock_guard<std::mutex> lock(state_->outcomeMutex);
    return state_->connectResult;
}

bool Kb901xSession::routingApplied() const { return state_->applied.load(); }

}  // namespace zjig
