#include "kb901x_form/kb901x_session.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "base/clock_text.h"
#include "base/display_text.h"
#include "base/files.h"
#include "base/hex_text.h"
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
    explicit State(const ModeContext& context)
        : core(context, kTransferBufferSize),
          ui(core.ui),
          link(core.link),
          databasePath(context.dataDir + kEneDatabaseName) {}

    SessionCore core;
    UiPort& ui;
    JigLink& link;
    const std::string databasePath;

    // --- mode state ---
    std::string identity;
    std::atomic<Tag> tag{Tag::NONE};
    std::atomic<bool> applied{false};  // the routing-applied flag

    // --- window selections (window thread only) ---
    std::optional<std::string> motherboard;
    std::optional<std::string> cable;
    bool oneToOne = true;  // the check box: pin 1 of the cable on pin 1 of the connector

    // --- the running operation: prepared by the handler, then the worker's alone ---
    bool jig3 = false;
    DumpFile dump;               // a read's output
    std::vector<uint8_t> image;  // a write's file, read whole before the write starts
    size_t imagePosition = 0;
    int blockCounter = 0;
    FlashChecksum fileSum;

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
    // The success or failure byte that ends a press; a third-generation JIG
    // answers it with one byte.
    void sendResult(uint8_t result) { core.sendResult(result, jig3); }
    void closeLink() { core.closeLink(); }
    void setOutcome(bool ok) { core.setOutcome(ok); }
    void endPress(bool ok) { core.endPress(ok); }
    bool idleForPress() { return core.idleForPress(tag.load() != Tag::NONE); }

    bool connect() {
        const bool accepted = core.connect(connectVariantKb901x(), identity);
        jig3 = accepted && contains(identity, kIdJig3);
        return accepted;
    }

    std::string waitFailureLine(const std::string& where, WaitResult r,
                                milliseconds limit = kAnswerWait) const {
        return core.waitFailureLine(where, r, limit);
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

        LoadedFile db;
        if (!readRegularFile(databasePath, kMaxDatabaseBytes, db).empty()) {
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
        ui.setItems(kMbList, splitMbDatabase(std::string(db.bytes.begin(), db.bytes.end())));
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
        // The record comes from the database file: shown escaped, so that a
        // NUL cannot cut the line nor a control byte reach the terminal.
        say("User select --> " + displayText(*motherboard) + " (" + std::to_string(cablePins) +
            " pin FFC)" + (oneToOne ? " 1 to 1 " : " mirrored"));
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
        if (const std::string problem = dump.open(*path); !problem.empty()) {
            ui.messageBox(MessageKind::Error, "Ошибка создания файла.\n" + problem);
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
        if (!dump.write(link.data(), kBlockSize)) {
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
        // The file is read whole and checked before 'W' erases the flash.
        LoadedFile loaded;
        if (const std::string problem = loadImage(*path, kFlashSize, loaded); !problem.empty()) {
            ui.messageBox(MessageKind::Error, "Error open file!\n" + fileProblem(*path, problem));
            return endPress(false);
        }
        if (const std::string warning = imageSizeWarning(*path, loaded.size, kFlashSize, kPadByte);
            !warning.empty())
            ui.messageBox(MessageKind::Warning, warning);
        image = std::move(loaded.bytes);
        imagePosition = 0;
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
        const size_t got = std::min(kBlockSize, image.size() - imagePosition);
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(imagePosition), got, block.begin());
        imagePosition += got;
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
                if (position >= image.size() || got[i] != image[position]) {
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
        core.startWorker([this] { ReadThread_KB90(); });
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
    }

    // Common end of a read or write: the link and the file are let go, the
    // outcome is kept and the mode is idle again.
    void finishOperation(bool ok) {
        closeLink();
        // A read that succeeded replaces the file; one that failed keeps what
        // was there before and says where the blocks read are.
        if (dump.isOpen()) ok = core.finishDump(dump, ok, "Ошибка создания файла.");
        image.clear();
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
};

Kb901xSession::Kb901xSession(const ModeContext& context)
    : state_(std::make_unique<State>(context)) {}

Kb901xSession::~Kb901xSession() { shutdown(); }

SessionCore& Kb901xSession::core() const { return state_->core; }

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

bool Kb901xSession::routingApplied() const { return state_->applied.load(); }

}  // namespace zjig

namespace zjig::kb90 {
std::unique_ptr<ModeSession> makeSession(const ModeContext& context) {
    return std::make_unique<Kb901xSession>(context);
}
}  // namespace zjig::kb90
