#include "nuvoton_jtag_form/nuvjtag_session.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "base/clock_text.h"
#include "base/display_text.h"
#include "base/files.h"
#include "base/hex_text.h"
#include "base/loop_timer.h"
#include "jiglink/identity.h"
#include "nuvoton_jtag_form/nuvjtag_batch.h"
#include "nuvoton_jtag_form/nuvjtag_commands.h"
#include "nuvoton_jtag_form/nuvjtag_controls.h"
#include "nuvoton_jtag_form/nuvjtag_routing.h"
#include "nuvoton_jtag_form/nuvjtag_script.h"

namespace zjig {

using namespace nuvjtag;

namespace {

constexpr const char* kTimePrefix = "Current time  ";
// A second-generation JIG whose identity says this accepts every batch
// answer and needs one busy poll per sector.
constexpr std::string_view kIdNpceVc = "NPCE VC";
constexpr std::chrono::milliseconds kTimerInterval{100};

// The operation tag of the mode.
enum class Tag { NONE, TXT_SEND, NUVOTON_READ, ERASE_NUVOTON };

// NUV_Command's names.
enum class Command {
    SPI_OFF,
    SPI_ON,
    Test_Logic_Reset,
    IR_SHIFT,
    DR_SHIFT,
    DR_SHIFT_32,
    BUZ_OK,
    BUZ_ER
};

const char* commandName(Command c) {
    switch (c) {
        case Command::SPI_OFF:
            return "SPI_OFF";
        case Command::SPI_ON:
            return "SPI_ON";
        case Command::Test_Logic_Reset:
            return "Test-Logic-Reset";
        case Command::IR_SHIFT:
            return "IR_SHIFT";
        case Command::DR_SHIFT:
            return "DR_SHIFT";
        case Command::DR_SHIFT_32:
            return "DR_SHIFT_32";
        case Command::BUZ_OK:
            return "BUZ_OK";
        case Command::BUZ_ER:
            break;
    }
    return "BUZ_ER";
}

// NUV_AlteraCommand's names.
enum class AlteraCommand { RESET_ALTERA, WR_ALTERA_REG };

// After a read or a write the link stays open for the closing message; the
// mode is busy until that has let it go.
enum class Closing { None, Pending, Running };

FileDialogSpec scriptDialogSpec() {
    FileDialogSpec spec;
    spec.dialog = kScriptDialog;
    spec.title = "Open script";
    spec.filter = "Open vss file(*.vss)|*.vss";
    return spec;
}

FileDialogSpec saveDialogSpec() {
    FileDialogSpec spec;
    spec.dialog = kSaveDialog;
    spec.save = true;
    spec.title = "Save file";
    spec.filter = "BIN file NPCE (*.bin)|*.bin";
    spec.defaultExt = ".bin";
    spec.confirmOverwrite = true;
    return spec;
}

FileDialogSpec openDialogSpec() {
    FileDialogSpec spec;
    spec.dialog = kOpenDialog;
    spec.title = "Open file";
    spec.filter = "BIN file NPCE (*.bin)|*.bin|other|*.*";
    return spec;
}

Executor& windowThreadOf(const ModeContext& context) {
    if (!context.windowThread)
        throw std::invalid_argument("the Nuvoton JTAG session needs the window thread");
    return *context.windowThread;
}

std::string hex2(uint8_t byte) { return upperHex(byte, 2); }

}  // namespace

struct NuvotonJtagSession::State {
    explicit State(const ModeContext& context)
        : core(context, kTransferBufferSize),
          ui(core.ui),
          link(core.link),
          defaultScript(context.firmwareDir + kNuvotonScriptName),
          Timer_MSG_ER(windowThreadOf(context), kTimerInterval, [this] { Timer_MSG_ERTimer(); }) {}

    SessionCore core;
    UiPort& ui;
    JigLink& link;
    const std::string defaultScript;
    LoopTimer Timer_MSG_ER;

    // --- mode state ---
    std::string identity;
    std::atomic<Tag> tag{Tag::NONE};
    std::atomic<Closing> closing{Closing::None};
    std::atomic<bool> operationOk{false};  // the operation result shown by the closing message
    bool oneToOne = true;                  // CheckBox1
    RoutingTable routing;
    std::string scriptPath;  // empty: the default script
    std::string imagePath;
    // A wait for the JIG failed in this press: the commands that end it
    // take one read time-out each for their answers and say nothing more.
    bool lostJig = false;

    // --- the running operation: prepared by the handler, then the worker's alone ---
    Script script;
    DumpFile dump;
    std::vector<uint8_t> image;

    // ------------------------------------------------------------------
    void say(const std::string& line) { ui.appendLine(kMemo, line); }
    bool busy() const { return tag.load() != Tag::NONE || closing.load() != Closing::None; }
    bool idleForPress() { return core.idleForPress(busy()); }
    bool npceVc() const { return contains(identity, kIdNpceVc); }

    bool connect() {
        lostJig = false;
        return core.connect(connectVariantNuvotonJtag(), identity, false);
    }

    void NUV_ResetButtons() {
        ui.setEnabled(kSettingsButton, true);
        ui.setEnabled(kConnectButton, false);
        ui.setEnabled(kReadButton, false);
        ui.setEnabled(kWriteButton, false);
        tag = Tag::NONE;
    }

    // ------------------------------------------------------------------
    // The command set. Every answer is awaited whole, within its bound.

    WaitResult awaitAnswer(uint32_t length, milliseconds limit = kAnswerWait) {
        if (lostJig) {
            link.read(length);  // one read, bounded by the link's read time-out
            return link.bytesMoved == length ? WaitResult::Ok : WaitResult::TimedOut;
        }
        if (length == 1) return link.readByte(limit);
        const WaitResult r = link.waitForExactly(length, limit);
        if (r != WaitResult::Ok) return r;
        if (!ftOk(link.read(length)) || link.bytesMoved != length) return WaitResult::LinkError;
        return WaitResult::Ok;
    }

    // A step that did not get its answer is named in the memo, once: the
    // ending that follows it says nothing more.
    bool stepOk(WaitResult r, const std::string& step, milliseconds limit = kAnswerWait) {
        if (r == WaitResult::Ok) return true;
        if (!lostJig) say(core.waitFailureLine(step, r, limit));
        lostJig = true;
        return false;
    }

    WaitResult NUV_Command(Command name, uint32_t value = 0) {
        const auto v = [value](int i) { return static_cast<uint8_t>(value >> (8 * i)); };
        uint32_t length = 1;
        switch (name) {
            case Command::SPI_OFF:
                link.send({kJtagPrefix, kCmdSpiOff});
                break;
            case Command::SPI_ON:
                link.send({kJtagPrefix, kCmdSpiOn});
                break;
            case Command::Test_Logic_Reset:
                link.send({kJtagPrefix, kCmdTapReset});
                break;
            case Command::IR_SHIFT:
                link.send({kJtagPrefix, kCmdIrShift, v(0)});
                break;
            case Command::DR_SHIFT:
                link.send({kJtagPrefix, kCmdDrShift, v(0)});
                break;
            case Command::DR_SHIFT_32:
                link.send({kJtagPrefix, kCmdDrShift32, v(0), v(1), v(2), v(3)});
                length = 4;
                break;
            case Command::BUZ_OK:
                link.send({kBuzzOk});
                break;
            case Command::BUZ_ER:
                link.send({kBuzzError});
                break;
        }
        return awaitAnswer(length);
    }

    bool command(Command name, uint32_t value = 0) {
        return stepOk(NUV_Command(name, value), commandName(name));
    }

    bool NUV_AlteraCommand(AlteraCommand name, uint8_t reg = 0, uint8_t value = 0) {
        if (name == AlteraCommand::RESET_ALTERA)
            link.send({kCpldPrefix, kCpldReset});
        else
            link.send({kCpldPrefix, kCpldWrite, reg, value});
        return stepOk(awaitAnswer(1),
                      name == AlteraCommand::RESET_ALTERA ? "RESET_ALTERA" : "WR_ALTERA_REG");
    }

    // The JIG's JTAG side back to its rest: routing reset, SPI on, link closed.
    void releaseJig() {
        NUV_AlteraCommand(AlteraCommand::RESET_ALTERA);
        command(Command::SPI_ON);
        core.closeLink();
    }

    // Selector/value pairs shifted one by one; the last value's answer stays
    // at the start of the transfer buffer.
    bool sendPairs(const std::vector<Pair>& pairs, const std::string& step) {
        for (const Pair& p : pairs) {
            if (!stepOk(NUV_Command(Command::DR_SHIFT, p.selector), step)) return false;
            if (!stepOk(NUV_Command(Command::DR_SHIFT_32, p.value), step)) return false;
        }
        return true;
    }

    // Sends a finished batch and waits for its answer byte.
    bool NUV_BatchSend(const Batch& batch, const std::string& step, uint8_t& answer) {
        link.send(batch.bytes.data(), static_cast<uint32_t>(batch.bytes.size()));
        if (!stepOk(awaitAnswer(1), step)) return false;
        answer = link.data()[0];
        return true;
    }

    // ------------------------------------------------------------------
    // Send settings.

    void BitBtn_SETTINGSClick() {
        if (!idleForPress()) return;
        if (!connect()) return core.setOutcome(false);
        ui.setGaugeProgress(kGauge, 0);
        say("");
        say(kTimePrefix + dateTimeText());
        if (contains(identity, kIdNuvoton)) {
            // Second generation: the technician solders the wires.
            say("Version FW -> " + identity);
            say("Communication with programmer installed.");
            const std::string wiring = wiringText(oneToOne);
            say("User selected " + wiring);
            ui.messageBox(MessageKind::Warning, "Please connect GND and: \n" + wiring);
        } else if (!sendRouting()) {
            core.closeLink();
            ui.setEnabled(kConnectButton, false);
            return core.setOutcome(false);
        }
        core.closeLink();
        ui.messageBox(MessageKind::Warning, std::string(kPowerOnDialog));
        say("");
        ui.setEnabled(kConnectButton, true);
        ui.setEnabled(kSettingsButton, false);
        core.setOutcome(true);
    }

    bool sendRouting() {
        if (!NUV_AlteraCommand(AlteraCommand::RESET_ALTERA) || !command(Command::SPI_ON))
            return false;
        routing = routingFor(oneToOne);
        say(oneToOne ? "Selected 30 pin FFC (TYPE B)" : "Selected 30 pin FFC (TYPE A))");
        for (const auto& [reg, value] : routingRegisterWrites(routing))
            if (!NUV_AlteraCommand(AlteraCommand::WR_ALTERA_REG, reg, value)) return false;
        say("Settings for NUVOTON send.");
        return true;
    }

    // ------------------------------------------------------------------
    // Check connection, and the script.

    void BitBtn_CONNECTClick() {
        if (!idleForPress()) return;
        if (!connect()) return core.setOutcome(false);
        if (!command(Command::SPI_OFF) || !command(Command::Test_Logic_Reset) ||
            !command(Command::DR_SHIFT_32, kIdShiftIn))
            return scriptEnding();
        std::array<uint8_t, 4> id{};
        std::copy_n(link.data(), id.size(), id.begin());
        const std::array<uint8_t, 4> shown = {id[3], id[2], id[1], id[0]};
        say("Read NUVOTON ID " + upperHexBytes(shown.data(), shown.size()));
        const uint32_t read = static_cast<uint32_t>(id[0]) | static_cast<uint32_t>(id[1]) << 8 |
                              static_cast<uint32_t>(id[2]) << 16 |
                              static_cast<uint32_t>(id[3]) << 24;
        if (read != kExpectedId) {
            say("Wrong ID. Break.");
            say("");
            command(Command::SPI_ON);
            command(Command::BUZ_ER);
            core.closeLink();
            NUV_ResetButtons();
            ui.messageBox(MessageKind::Error, std::string(kWrongIdDialog));
            return core.setOutcome(false);
        }
        if (scriptPath.empty()) {
            scriptPath = defaultScript;
            say(std::string(" *** Default file -> ") + kNuvotonScriptName);
        }
        // The whole script is read and checked here, before its first shift
        // goes out: a broken line never leaves the controller half prepared.
        LoadedFile file;
        std::string reason = readRegularFile(scriptPath, kMaxScriptBytes, file);
        if (reason.empty() && file.size > kMaxScriptBytes)
            reason = "the file is " + std::to_string(file.size) + " bytes, too large for a script";
        if (!reason.empty()) {
            say("Break! Open file (.vss) error or not found!");
            scriptEnding();
            ui.messageBox(MessageKind::Error, displayText(fileProblem(scriptPath, reason)));
            return;
        }
        ScriptParse parsed = parseScript(file.bytes.data(), file.bytes.size());
        if (parsed.refusal) {
            say("Break! Script line " + std::to_string(parsed.refusal->line) + ": " +
                parsed.refusal->reason);
            return scriptEnding();
        }
        script = std::move(parsed.script);
        tag = Tag::TXT_SEND;
        startWorker();
    }

    // The check or the replay ends without a replayed script.
    void scriptEnding() {
        command(Command::SPI_ON);
        command(Command::BUZ_ER);
        core.closeLink();
        NUV_ResetButtons();
        core.setOutcome(false);
    }

    // Sends the shifts of the line of command `i`; `i` moves past them.
    bool NUV_SendScriptLine(size_t& i) {
        const uint32_t line = script.commands[i].line;
        for (; i < script.commands.size() && script.commands[i].line == line; ++i) {
            const ScriptCommand& c = script.commands[i];
            const std::vector<uint8_t> bytes = commandBytes(c);
            link.send(bytes.data(), static_cast<uint32_t>(bytes.size()));
            if (!stepOk(awaitAnswer(static_cast<uint32_t>(answerBytes(c.kind))),
                        "Script line " + std::to_string(line + 1)))
                return false;
        }
        return true;
    }

    // The line counter moves on to `counter`; comment lines have no shifts
    // to wait for, so the gauge and the counter move once for a run of them.
    void lineCounterTo(uint32_t& shown, uint32_t counter) {
        if (counter <= shown) return;
        ui.setGaugeProgress(kGauge, static_cast<int>(std::min(counter, script.lineCount)));
        constexpr uint32_t kCounterStep = 256;
        const uint32_t multiple = counter / kCounterStep * kCounterStep;
        if (multiple > shown) ui.setText(kLineCounter, std::to_string(multiple));
        shown = counter;
    }

    void replay() {
        say("Sending start: " + dateTimeText());
        ui.setGaugeProgress(kGauge, 0);
        ui.setColor(kGauge, kYellow);
        ui.setGaugeMax(kGauge, static_cast<int>(script.lineCount));
        uint32_t counter = 1;
        for (size_t i = 0; i < script.commands.size();) {
            const uint32_t line = script.commands[i].line;
            if (!NUV_SendScriptLine(i)) return scriptEnding();
            lineCounterTo(counter, line + 2);
        }
        lineCounterTo(counter, script.lineCount + 1);
        say("Sending end:   " + dateTimeText());
        ui.setEnabled(kReadButton, true);
        ui.setEnabled(kWriteButton, true);
        say("I`m ready to READ or WRITE.");
        core.closeLink();
        tag = Tag::NONE;
        core.setOutcome(true);
    }

    void BitBtnFILE_OPENClick() {
        ui.setVisible(kLineCounter, true);
        scriptPath.clear();
        if (const auto chosen = ui.fileDialog(scriptDialogSpec())) scriptPath = *chosen;
        if (!scriptPath.empty()) say("User select VSS file: " + displayText(scriptPath));
    }

    // ------------------------------------------------------------------
    // Read.

    void BitBtn_NUV_JTAG_RDClick() {
        if (!idleForPress()) return;
        if (!connect()) return core.setOutcome(false);
        const auto path = ui.fileDialog(saveDialogSpec());
        if (!path) {
            say("Write to file is interrupted. All stop.");
            say("");
            return core.endPress(false);
        }
        imagePath = *path;
        if (const std::string problem = dump.open(*path); !problem.empty()) {
            ui.messageBox(MessageKind::Error, "Error create file!\n" + displayText(problem));
            return core.endPress(false);
        }
        say("Data from NUVOTON save to file: " + displayText(*path));
        tag = Tag::NUVOTON_READ;
        ui.setColor(kGauge, kGreen);
        ui.setGaugeMax(kGauge, kPageCount);
        ui.setGaugeProgress(kGauge, 0);
        startWorker();
    }

    void readFlash() {
        say("Reading ...       " + dateTimeText());
        for (int page = 1; page <= kPageCount; ++page) {
            link.send({kJtagPrefix, kCmdReadPage});
            WaitResult r = link.waitForExactly(kPageSize, kBlockWait);
            if (r == WaitResult::Ok &&
                (!ftOk(link.read(kPageSize)) || link.bytesMoved != kPageSize))
                r = WaitResult::LinkError;
            if (!stepOk(r, "Page " + std::to_string(page) + " of " + std::to_string(kPageCount),
                        kBlockWait))
                return failureEnd();
            // Each page reaches the disk as it comes: a read cut short keeps
            // every page read so far.
            if (!dump.write(link.data(), kPageSize))
                return fileFailure(fileProblem(dump.partPath(), dump.lastError()));
            ui.setGaugeProgress(kGauge, page);
        }
        if (const std::string problem = dump.commit(); !problem.empty())
            return fileFailure(problem);
        say("Reading complete. " + dateTimeText());
        successEnd();
    }

    void fileFailure(const std::string& problem) {
        say("Error writing file!");
        ui.messageBox(MessageKind::Error, displayText(problem));
        failureEnd();
    }

    // ------------------------------------------------------------------
    // Write.

    void BitBtn_NUV_JTAG_WRClick() {
        if (!idleForPress()) return;
        if (!connect()) return core.setOutcome(false);
        const auto path = ui.fileDialog(openDialogSpec());
        if (!path) {
            say("Read to file is interrupted. All stop.");
            say("");
            return core.endPress(false);
        }
        imagePath = *path;
        // The file is read whole and checked before the first sector is erased.
        LoadedFile loaded;
        if (const std::string problem = loadImage(*path, kFlashSize, loaded); !problem.empty()) {
            ui.messageBox(MessageKind::Error,
                          "Error open file!\n" + displayText(fileProblem(*path, problem)));
            return core.endPress(false);
        }
        if (const std::string warning = imageSizeWarning(*path, loaded.size, kFlashSize, kPadByte);
            !warning.empty())
            ui.messageBox(MessageKind::Warning, displayText(warning));
        image = std::move(loaded.bytes);
        image.resize(kFlashSize, kPadByte);
        say("Write from file: " + displayText(*path));
        tag = Tag::ERASE_NUVOTON;
        ui.setColor(kGauge, kMagenta);
        ui.setGaugeMax(kGauge, kSectorCount);
        ui.setGaugeProgress(kGauge, 0);
        startWorker();
    }

    // The busy poll after a sector erase, until the flash is ready or the
    // bound has passed. `status` is the flash status last read.
    bool waitSectorErased(int sector, uint8_t& status) {
        const std::string step = "Erase sector " + std::to_string(sector);
        const milliseconds limit = link.effectiveLimit(kSectorEraseWait);
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (true) {
            if (!sendPairs(busyPoll(), step)) return false;
            status = link.data()[0];
            if ((status & kFlashBusyMask) == 0 || npceVc()) return true;
            if (link.cancelled()) return stepOk(WaitResult::Cancelled, step);
            if (std::chrono::steady_clock::now() >= deadline) {
                say(step + ": the flash is still busy after " + std::to_string(limit.count()) +
                    " ms");
                lostJig = true;
                return false;
            }
        }
    }

    void writeFlash() {
        say("Erase blocks... " + dateTimeText());
        uint8_t status = 0;
        for (int s = 0; s < kSectorCount; ++s) {
            const std::string step = "Erase sector " + std::to_string(s + 1);
            uint8_t answer = 0;  // the erase batch's answer says nothing
            if (!NUV_BatchSend(eraseBatch(s), step, answer) || !sendPairs(eraseFollowUp(), step) ||
                !waitSectorErased(s + 1, status))
                return failureEnd();
            ui.setGaugeProgress(kGauge, s + 1);
        }
        say("Erase complete! " + dateTimeText() + "    status=" + hex2(status) + "h");

        say("Write bytes ... ");
        ui.setColor(kGauge, kRed);
        ui.setGaugeMax(kGauge, kPageCount);
        ui.setGaugeProgress(kGauge, 0);
        uint8_t answer = 0;
        if (!NUV_BatchSend(setupBatch(), "Write set-up", answer)) return failureEnd();
        if (answer != kBatchDone && !npceVc()) {
            say("FAULT first !=22  " + hex2(answer) + "h");
            return failureEnd();
        }
        for (int page = 0; page < kPageCount; ++page) {
            const uint8_t* bytes = image.data() + static_cast<size_t>(page) * kPageSize;
            const PagePlace place = pagePlace(page);
            const std::string step =
                "Page " + std::to_string(page + 1) + " of " + std::to_string(kPageCount);
            if (!NUV_BatchSend(dataBatch(place, bytes), step, answer)) return failureEnd();
            if (answer != kBatchDone && !npceVc()) {
                say("FAULT A_gr  !=22h  " + hex2(answer) + "h");
                return failureEnd();
            }
            const uint8_t crc = NUV_Crc8(bytes, kPageSize);
            if (!NUV_BatchSend(commitBatch(place, crc), step, answer)) return failureEnd();
            if (answer != kBatchDone && !npceVc()) {
                say("FAULT B_gr  !=22h  " + hex2(answer) + "h");
                return failureEnd();
            }
            ui.setGaugeProgress(kGauge, page + 1);
        }
        image.clear();
        say("Write complete! " + dateTimeText());
        successEnd();
    }

    // ------------------------------------------------------------------
    // The worker and the ends of a read or a write.

    void startWorker() {
        core.startWorker([this] { ReadThread_JTAG_NUV(); });
    }

    void ReadThread_JTAG_NUV() {
        switch (tag.load()) {
            case Tag::TXT_SEND:
                return replay();
            case Tag::NUVOTON_READ:
                return readFlash();
            case Tag::ERASE_NUVOTON:
                return writeFlash();
            case Tag::NONE:
                return;
        }
    }

    // The link stays open for the closing message, which lets it go; the
    // mode stays busy until then, so no press can open a second link.
    void holdLinkForClosing(bool ok) {
        operationOk = ok;
        closing = Closing::Pending;
        Timer_MSG_ER.setEnabled(true);
        NUV_ResetButtons();
        core.setOutcome(ok);
    }

    void successEnd() {
        command(Command::BUZ_OK);
        holdLinkForClosing(true);
    }

    void failureEnd() {
        if (dump.isOpen()) core.abandonDump(dump);
        image.clear();
        command(Command::BUZ_ER);
        holdLinkForClosing(false);
    }

    void Timer_MSG_ERTimer() {
        Timer_MSG_ER.setEnabled(false);
        Closing expected = Closing::Pending;
        if (!closing.compare_exchange_strong(expected, Closing::Running)) return;
        if (!operationOk)
            ui.messageBox(MessageKind::Error, std::string(kProtocolErrorDialog));
        else
            ui.messageBox(MessageKind::Warning, std::string(kPowerOffDialog));
        releaseJig();
        tag = Tag::NONE;
        closing = Closing::None;
    }

    // ------------------------------------------------------------------

    void BitBtn_EXIT_NUVClick() {
        if (!idleForPress()) return;
        if (connect()) releaseJig();
        NUV_ResetButtons();
        ui.setText(kLineCounter, "");
        ui.setGaugeProgress(kGauge, 0);
        ui.clearMemo(kMemo);
        ui.showWindow(kMainWindow);
        ui.hideWindow(kWindow);
    }

    void shutdown() {
        core.stop = true;
        core.waitIdle(std::chrono::hours(1));
        Closing expected = Closing::Pending;
        if (closing.compare_exchange_strong(expected, Closing::Running)) {
            Timer_MSG_ER.setEnabled(false);
            lostJig = true;  // closing quietly, each answer within a read time-out
            releaseJig();
            tag = Tag::NONE;
            closing = Closing::None;
        }
        core.shutdown();
    }

    void FormCreate() {
        for (std::string_view line : kInitialMemo) say(std::string(line));
        oneToOne = true;
        ui.setChecked(kCableBox, true);
        ui.setText(kLineCounter, "");
        ui.setVisible(kLineCounter, false);
        ui.setGaugeMax(kGauge, kGaugeLayoutMax);
        ui.setGaugeProgress(kGauge, 0);
        NUV_ResetButtons();
    }
};

NuvotonJtagSession::NuvotonJtagSession(const ModeContext& context)
    : state_(std::make_unique<State>(context)) {}

NuvotonJtagSession::~NuvotonJtagSession() { shutdown(); }

SessionCore& NuvotonJtagSession::core() const { return state_->core; }

void NuvotonJtagSession::FormCreate() { state_->FormCreate(); }
void NuvotonJtagSession::CheckBox1Click(bool checked) { state_->oneToOne = checked; }
void NuvotonJtagSession::BitBtn_SETTINGSClick() { state_->BitBtn_SETTINGSClick(); }
void NuvotonJtagSession::BitBtn_CONNECTClick() { state_->BitBtn_CONNECTClick(); }
void NuvotonJtagSession::BitBtnFILE_OPENClick() { state_->BitBtnFILE_OPENClick(); }
void NuvotonJtagSession::BitBtn_NUV_JTAG_RDClick() { state_->BitBtn_NUV_JTAG_RDClick(); }
void NuvotonJtagSession::BitBtn_NUV_JTAG_WRClick() { state_->BitBtn_NUV_JTAG_WRClick(); }
void NuvotonJtagSession::BitBtn_EXIT_NUVClick() { state_->BitBtn_EXIT_NUVClick(); }
void NuvotonJtagSession::Timer_MSG_ERTimer() { state_->Timer_MSG_ERTimer(); }

bool NuvotonJtagSession::busy() const { return state_->busy(); }

void NuvotonJtagSession::shutdown() { state_->shutdown(); }

}  // namespace zjig

namespace zjig::nuvjtag {
std::unique_ptr<ModeSession> makeSession(const ModeContext& context) {
    return std::make_unique<NuvotonJtagSession>(context);
}
}  // namespace zjig::nuvjtag
