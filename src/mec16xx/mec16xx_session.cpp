#include "mec16xx/mec16xx_session.h"

#include <algorithm>
#include <array>
#include <atomic>

#include "base/clock_text.h"
#include "base/files.h"
#include "jiglink/identity.h"
#include "mec16xx/mec16xx_answers.h"
#include "mec16xx/mec16xx_commands.h"
#include "mec16xx/mec16xx_controls.h"

namespace zjig {

using namespace mec16;

namespace {

// The two time-line prefixes of the window: the English operations use one
// space, the Russian ones two.
constexpr const char* kTimeEn = "Current time ";
constexpr const char* kTimeRu = "Текущее время  ";
constexpr const char* kCloseEn = "Close VCOM port";
constexpr const char* kCloseRu = "Закрыли VCOM порт";
constexpr const char* kAfterJtagReset = "получили ответ после команды 1";
constexpr const char* kShortId = "ID готово 4 байта но сняли меньше ОШИБКА";

// The operation tag of the mode.
enum class Tag { NONE, ID, ERASE, READ_MAIN, READ_INFO, WRITE_MAIN };

// Third-generation steps: two bytes out, a known number of bytes back.
enum class Step { ALTERA_RESET, SPI_OFF, SPI_ON, JTAG_RESET, ID_READ };
struct StepBytes {
    const char* name;
    uint8_t first, second;
    uint32_t answer;
};
StepBytes stepBytes(Step step) {
    switch (step) {
        case Step::ALTERA_RESET:
            return {"ALTERA_RESET", kCpldPrefix, kCpldReset, 1};
        case Step::SPI_OFF:
            return {"SPI_OFF", kJtagPrefix, kJtagSpiOff, 1};
        case Step::SPI_ON:
            return {"SPI_ON", kJtagPrefix, kJtagSpiOn, 1};
        case Step::JTAG_RESET:
            return {"JTAG_RESET", kJtagPrefix, kJtagTapReset, 1};
        case Step::ID_READ:
            break;
    }
    return {"ID_READ", kModePrefix, kCmdReadId, static_cast<uint32_t>(kIdBytes)};
}

// The loss lines of the three register writes that finish a read or write.
struct FinishLines {
    const char* modeFinish;
    const char* modeIdle;
    const char* enableOff;
};
constexpr FinishLines kFinishAfterBreak = {"Потеряна связь с MEC16 (P100).",
                                           "Потеряна связь с MEC16 (P101).",
                                           "Потеряна связь с MEC16 (P102)"};
constexpr FinishLines kFinishMainOnly = {"Потеряна связь с MEC16 (P104).",
                                         "Потеряна связь с MEC16 (P105).",
                                         "Потеряна связь с MEC16 (P106)"};
constexpr FinishLines kFinishAfterInfo = {"Потеряна связь с MEC16 (P110).",
                                          "Потеряна связь с MEC16 (P111).",
                                          "Потеряна связь с MEC16 (P112)"};
constexpr FinishLines kFinishWrite = {"Потеряна связь с MEC16 (W104).",
                                      "Потеряна связь с MEC16 (W105).",
                                      "Потеряна связь с MEC16 (W106)"};

FileDialogSpec saveDialogSpec() {
    FileDialogSpec spec;
    spec.dialog = kSaveDialog;
    spec.save = true;
    spec.title = "Укажите имя файла для сохранения.";
    spec.filter = "BIN файл MEC16 (*.bin)|*.bin";
    spec.defaultExt = ".bin";
    spec.initialName = "Noname";
    spec.confirmOverwrite = true;
    return spec;
}

FileDialogSpec openDialogSpec() {
    FileDialogSpec spec;
    spec.dialog = kOpenDialog;
    spec.title = "Укажите файл за заливки.";
    spec.filter = "BIN файл MEC16 (*.bin)|*.bin|Другие|*.*";
    return spec;
}

}  // namespace

struct Mec16Session::State {
    explicit State(const ModeContext& context)
        : core(context, kTransferBufferSize), ui(core.ui), link(core.link) {}

    SessionCore core;
    UiPort& ui;
    JigLink& link;

    // --- mode state ---
    std::string identity;
    std::atomic<Tag> tag{Tag::NONE};
    std::atomic<bool> userBreak{false};

    // --- the check boxes (window thread only) ---
    bool readInfoTicked = false;
    bool eraseInfoTicked = false;

    // --- the running operation: prepared by the handler, then the worker's alone ---
    bool jig3 = false;
    bool mainAndInfo = false;  // the area mode of a read
    std::array<uint8_t, kIdBytes> id{};
    DumpFile dump;               // a read's output
    std::vector<uint8_t> image;  // a write's file, read whole before anything is changed
    size_t imagePosition = 0;
    int blockCounter = 0;
    // A line saying that the JIG or the controller was lost has been shown:
    // the operation has failed, even where it goes on to its end.
    bool lossShown = false;

    // ------------------------------------------------------------------
    void say(const std::string& line) { ui.appendLine(kMemo, line); }
    void timeLine(const char* prefix) { say(prefix + dateTimeText()); }
    void lost(const std::string& line) {
        say(line);
        lossShown = true;
    }
    // A wait that did not end with its bytes: its line, then the loss line
    // of the step unless the program is being closed.
    void lost(const std::string& where, WaitResult why, const std::string& line,
              milliseconds limit = kAnswerWait) {
        say(core.waitFailureLine(where, why, limit));
        lossShown = true;
        if (why != WaitResult::Cancelled) say(line);
    }
    void send(uint8_t byte) { link.send({byte}); }
    void send(const std::vector<uint8_t>& bytes) {
        link.send(bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    bool idleForPress() { return core.idleForPress(tag.load() != Tag::NONE); }

    bool connect() {
        const bool accepted = core.connect(connectVariantMec(), identity);
        jig3 = accepted && contains(identity, kIdJig3);
        return accepted;
    }

    // Ends a press on the window thread: outcome kept, mode idle again.
    void endPress(bool ok) {
        core.setOutcome(ok && !lossShown);
        tag = Tag::NONE;
    }

    void shapesBlack() {
        ui.setColor(kFwpShape, kBlack);
        ui.setColor(kBootLockShape, kBlack);
    }

    std::string idText() const { return registerValueText(id.data()); }
    bool idAbsent() const {
        return std::all_of(id.begin(), id.end(), [](uint8_t b) { return b == kNoId; });
    }

    // ------------------------------------------------------------------
    // Primitives.

    // One third-generation step; false (with a line) when its answer did
    // not come. The ID step leaves the ID bytes at the start of the buffer.
    bool MEC16_Step(Step step) {
        const StepBytes s = stepBytes(step);
        link.send({s.first, s.second});
        const WaitResult r = link.waitForInput(s.answer, kAnswerWait);
        if (r == WaitResult::Ok) {
            link.read(s.answer);
            return true;
        }
        say(core.waitFailureLine(s.name, r));
        lossShown = true;
        return false;
    }

    // Takes what came of the four ID bytes, at most four; the bytes that did
    // not come stay 0xFF, so an ID that never arrived reads as no controller.
    size_t takeIdBytes(WaitResult r) {
        size_t count = 0;
        if (r == WaitResult::Ok) {
            link.read(static_cast<uint32_t>(kIdBytes));
            count = std::min<size_t>(link.bytesMoved, kIdBytes);
        } else if (r == WaitResult::TimedOut && link.rxQueue > 0) {
            link.read(std::min<uint32_t>(link.rxQueue, static_cast<uint32_t>(kIdBytes)));
            count = std::min<size_t>(link.bytesMoved, kIdBytes);
        }
        std::copy_n(link.data(), count, id.begin());
        return count;
    }

    // The second-generation JTAG reset and ID read ('1', 'j'); the erase and
    // the write use them on both generations. Returns the ID bytes received.
    size_t readIdSecondGeneration() {
        id.fill(kNoId);
        send(kCmdTapReset);
        WaitResult r = link.waitForInput(1, kAnswerWait);
        if (r != WaitResult::Ok) {
            say(core.waitFailureLine("JTAG_RESET", r));
            lossShown = true;
            return 0;
        }
        link.read(1);
        say(kAfterJtagReset);
        send(kCmdReadId);
        r = link.waitForInput(static_cast<uint32_t>(kIdBytes), kAnswerWait);
        if (r != WaitResult::Ok) {
            say(core.waitFailureLine("ID_READ", r));
            lossShown = true;
        }
        return takeIdBytes(r);
    }

    // The ID in the generation's own forms. Returns the ID bytes received.
    size_t MEC16_ReadId() {
        if (!jig3) return readIdSecondGeneration();
        id.fill(kNoId);
        for (Step step : {Step::ALTERA_RESET, Step::SPI_OFF, Step::JTAG_RESET})
            if (!MEC16_Step(step)) return 0;
        if (!MEC16_Step(Step::ID_READ)) return 0;
        std::copy_n(link.data(), kIdBytes, id.begin());
        return kIdBytes;
    }

    // One register read, bounded by the link's read time-out; nothing when
    // the answer did not come whole.
    std::optional<RegisterValue> MEC16_ReadReg(const char* address) {
        send(registerReadCommand(jig3, address));
        link.read(static_cast<uint32_t>(kRegisterAnswerBytes));
        return parseRegisterAnswer(link.data(), link.bytesMoved);
    }

    bool MEC16_WriteReg(const char* address, uint32_t value) {
        send(registerWriteCommand(jig3, address, value));
        link.read(1);
        return registerWriteDone(link.data(), link.bytesMoved);
    }

    // Writes a register and shows its line, or its loss line.
    bool writeRegister(const char* address, uint32_t value, const std::string& done,
                       const std::string& loss) {
        if (MEC16_WriteReg(address, value)) {
            say(done);
            return true;
        }
        lost(loss);
        return false;
    }

    // The JIG's result signal; a third-generation JIG answers it.
    void MEC16_Indicate(bool ok) {
        send(ok ? kResultOk : kResultFail);
        if (!jig3) return;
        const WaitResult r = link.readByte(kAnswerWait);
        if (r != WaitResult::Ok) {
            say(core.waitFailureLine(ok ? "Indicate OK" : "Indicate ERROR", r));
            lossShown = true;
        }
    }

    void MEC16_Release() {
        if (jig3) {
            MEC16_Step(Step::JTAG_RESET);
            MEC16_Step(Step::SPI_ON);
        } else {
            send(kCmdRelease);
        }
    }

    // A result byte sent on its own; a third-generation JIG's answer to it
    // is taken so that it cannot spill into the next connection.
    void sendResultByte(uint8_t result) { core.sendResult(result, jig3); }

    // ------------------------------------------------------------------
    // Connection check.

    void BitBtn_MEC16Click() {
        if (!idleForPress()) return;
        lossShown = false;
        tag = Tag::ID;
        ui.setGaugeProgress(kGauge, 0);
        shapesBlack();
        timeLine(kTimeEn);
        if (!connect()) return endPress(false);

        bool fault = false;
        const size_t got = MEC16_ReadId();
        if (got < kIdBytes) {
            if (!jig3) say(kShortId);
            fault = true;
        }
        say("ID from MEC -> " + idText());

        struct Register {
            const char* address;
            const char* label;
            const char* loss;
        };
        constexpr Register kShown[] = {
            {kRegDeviceInfo, "REG FFFD00h -> ", "Потеряна связь с MEC (I100)"},
            {kRegMode, "REG FF3908h -> ", "Потеряна связь с MEC (I101)"},
            {kRegEnable, "REG FF3910h -> ", "Потеряна связь с MEC (I102)"},
            {kRegStatus, "REG FF390Ch -> ", "Потеряна связь с MEC (I103)"},
        };
        std::optional<RegisterValue> status;
        for (const Register& reg : kShown) {
            const auto value = MEC16_ReadReg(reg.address);
            if (value) {
                say(reg.label + value->text);
            } else {
                lost(reg.loss);
                fault = true;
            }
            status = value;  // the last one read is the status register
        }
        // Without a status answer there is nothing to judge the protection
        // by: no protection lines, and the shapes stay black.
        if (status) {
            const Protection p = protectionOf(status->statusByte);
            if (p.fwp) {
                say("--> FW write protect! (FWP ножка)");
                ui.setColor(kFwpShape, kRed);
                fault = true;
            } else {
                say("--> Erase and Write allowed (FWP pin).");
                ui.setColor(kFwpShape, kGreen);
            }
            if (p.bootLock) {
                say("--> Boot_Lock! (защита загрузочного блока)");
                ui.setColor(kBootLockShape, kRed);
                fault = true;
            } else {
                say("--> Erase and Write boot allowed.");
                ui.setColor(kBootLockShape, kGreen);
            }
        }
        MEC16_Indicate(!fault);
        MEC16_Release();
        say(kCloseEn);
        core.closeLink();
        timeLine(kTimeEn);
        say("");
        endPress(!fault);
    }

    // ------------------------------------------------------------------
    // Read.

    void BitBtn_RD_MEC16Click() {
        if (!idleForPress()) return;
        lossShown = false;
        userBreak = false;
        tag = Tag::READ_MAIN;
        ui.setColor(kGauge, kGreen);
        ui.setGaugeProgress(kGauge, 0);
        ui.setGaugeMax(kGauge, kReadGaugeMax);
        if (!connect()) return endPress(false);

        const auto path = ui.fileDialog(saveDialogSpec());
        if (!path) {
            say("User break");
            return readRefused();
        }
        if (const std::string problem = dump.open(*path); !problem.empty()) {
            say("Error create file");
            ui.messageBox(MessageKind::Error, "Error create file\n" + problem);
            return readRefused();
        }
        timeLine(kTimeEn);
        say("Write to file: ");
        say(*path);
        mainAndInfo = readInfoTicked;
        say(mainAndInfo ? "Read FLASH and INFO to file" : "Read only FLASH to file");
        say("Read FLASH MEC ...");

        MEC16_ReadId();
        say("ID from MEC -> " + idText());
        if (idAbsent()) {
            say("Invalid ID. Read break!");
            return readStartFailed();
        }
        if (!writeRegister(kRegEnable, kEnableOn, "Write to reg FF3910h 1",
                           "Потеряна связь с MEC (R100)") ||
            !writeRegister(kRegMode, kModeRead, "Write to reg FF3908h 105h",
                           "Потеряна связь с MEC (R101)"))
            return readStartFailed();

        blockCounter = 1;
        // The start command goes out before the worker takes the link over,
        // so that the link is never used by two threads at once.
        send(startReadCommand(jig3, kMainAddress));
        startWorker();
    }

    // Before the file was made: the link is let go with the failure signal.
    void readRefused() {
        MEC16_Indicate(false);
        say(kCloseEn);
        core.closeLink();
        endPress(false);
    }

    void readStartFailed() {
        closeDump(false);
        MEC16_Indicate(false);
        MEC16_Release();
        say(kCloseEn);
        core.closeLink();
        timeLine(kTimeEn);
        say("");
        endPress(false);
    }

    std::string blockName() const {
        return tag.load() == Tag::READ_INFO
                   ? "INFO block " + std::to_string(blockCounter) + " of " +
                         std::to_string(kInfoBlocks)
                   : "Block " + std::to_string(blockCounter) + " of " + std::to_string(kMainBlocks);
    }

    // Waits for one block with its status byte and keeps its data in the
    // file. False when the read has ended on the way.
    bool takeBlock(bool info) {
        WaitResult r = link.waitForExactly(static_cast<uint32_t>(kBlockWithStatus), kBlockWait);
        if (r == WaitResult::Ok && (!ftOk(link.read(static_cast<uint32_t>(kBlockWithStatus))) ||
                                    link.bytesMoved != kBlockWithStatus))
            r = WaitResult::LinkError;
        if (r != WaitResult::Ok) {
            // What came of a broken block is no answer to the closing steps.
            if (r == WaitResult::Overflow) link.read(link.rxQueue);
            blockLost(info, blockName(), r);
            return false;
        }
        // Each block reaches the disk before the next is asked for, so a
        // read cut short keeps every block read so far, the failed one too.
        if (!dump.write(link.data(), kBlockSize)) {
            fileWriteFailed();
            return false;
        }
        return true;
    }

    // The block did not come (silence, too many bytes, a broken link) or
    // came with a bad status: the stream is stopped, registers left as they are.
    void blockLost(bool info, const std::string& where = {}, WaitResult why = WaitResult::Ok) {
        const char* line =
            info ? "Lost communication with MEC (P109)." : "Lost communication with MEC (P103).";
        send(kCmdEnd);
        if (!info) MEC16_Release();
        if (why == WaitResult::Ok)
            lost(line);
        else
            lost(where, why, line, kBlockWait);
        MEC16_Indicate(false);
        if (info) MEC16_Release();
        finishRead(false);
    }

    // The disk refused a block: the stream is stopped and the controller put
    // back as after a user break.
    void fileWriteFailed() {
        send(kCmdEnd);
        say("Error writing file!");
        ui.messageBox(MessageKind::Error,
                      "Error writing file!\n" + fileProblem(dump.partPath(), dump.lastError()));
        lossShown = true;
        finishRegisters(kFinishAfterBreak);
        MEC16_Release();
        MEC16_Indicate(false);
        finishRead(false);
    }

    void finishRegisters(const FinishLines& lines) {
        writeRegister(kRegMode, kModeFinish, "Write to reg FF3908h 100h", lines.modeFinish);
        writeRegister(kRegMode, kModeIdle, "Write to reg FF3908h 0", lines.modeIdle);
        writeRegister(kRegEnable, kEnableOff, "Write to reg FF3910h 0", lines.enableOff);
    }

    // One step of the main area; true when the read has ended.
    bool readMainStep() {
        if (!takeBlock(false)) return true;
        ui.setGaugeProgress(kGauge, (kReadGaugeMax / kMainBlocks) * blockCounter);
        if (userBreak.load()) {
            send(kCmdEnd);
            say("User break read ...");
            finishRegisters(kFinishAfterBreak);
            MEC16_Release();
            MEC16_Indicate(false);
            return finishRead(false);
        }
        if (link.data()[kBlockSize] != kBlockGood) {
            blockLost(false);
            return true;
        }
        if (blockCounter != kMainBlocks) {
            send(kCmdNext);
            ++blockCounter;
            return false;
        }
        send(kCmdEnd);
        say("Read FLASH complete.");
        if (!mainAndInfo) {
            finishRegisters(kFinishMainOnly);
            MEC16_Indicate(true);
            MEC16_Release();
            return finishRead(true);
        }
        tag = Tag::READ_INFO;
        blockCounter = 1;
        // A loss here is reported and the INFO stream still asked for; its
        // blocks then tell whether the controller reads.
        writeRegister(kRegMode, kModeFinish, "Write to reg FF3908h 100h",
                      "Потеряна связь с MEC16 (P107).");
        say("Read INFO ...");
        writeRegister(kRegMode, kModeRead, "Write to reg FF3908h 105h",
                      "Потеряна связь с MEC16 (P108).");
        send(startReadCommand(jig3, kInfoAddress));
        return false;
    }

    // One step of the INFO area; a user break does not stop it.
    bool readInfoStep() {
        if (!takeBlock(true)) return true;
        if (link.data()[kBlockSize] != kBlockGood) {
            blockLost(true);
            return true;
        }
        if (blockCounter != kInfoBlocks) {
            send(kCmdNext);
            ++blockCounter;
            return false;
        }
        send(kCmdEnd);
        say("Read INFO complete.");
        finishRegisters(kFinishAfterInfo);
        MEC16_Indicate(true);
        MEC16_Release();
        return finishRead(true);
    }

    // The common close of a read.
    bool finishRead(bool ok) {
        say(kCloseEn);
        core.closeLink();
        closeDump(ok && !lossShown);
        timeLine(kTimeEn);
        say("");
        endPress(ok);
        return true;
    }

    // A read that succeeded replaces the file; one that failed keeps what
    // was there before and says where the blocks read are.
    void closeDump(bool ok) {
        if (!dump.isOpen()) return;
        if (!core.finishDump(dump, ok, "Error create file") && ok) lossShown = true;
    }

    // ------------------------------------------------------------------
    // Protection test of the erase and the write: true when protected.

    bool protectionRefuses(uint8_t statusByte) {
        const Protection p = protectionOf(statusByte);
        if (p.fwp) {
            say("--> СТОИТ ЗАЩИТА ЗАПИСИ ! (FWP ножка)");
            ui.setColor(kFwpShape, kRed);
        } else {
            say("--> Стирание и запись разрешена (FWP ножка)");
            ui.setColor(kFwpShape, kGreen);
        }
        if (p.bootLock) {
            say("--> Стоит Boot_Lock ! (защита загрузочного блока)");
            ui.setColor(kBootLockShape, kRed);
        } else {
            say("--> Стирание и запись загрузочного блока разрешена");
            ui.setColor(kBootLockShape, kGreen);
        }
        return p.fwp || p.bootLock;
    }

    // ------------------------------------------------------------------
    // Erase, entirely on the window thread.

    void BitBtn_MEC16_ERASEClick() {
        if (!idleForPress()) return;
        lossShown = false;
        tag = Tag::ERASE;
        ui.setGaugeProgress(kGauge, 0);
        shapesBlack();
        timeLine(kTimeRu);
        if (!connect()) return endPress(false);

        bool fault = false;
        if (readIdSecondGeneration() < kIdBytes) {
            say(kShortId);
            fault = true;
        }
        say("Получен ID от MEC16 -> " + idText());
        // Without the status there is no knowing whether the flash is
        // protected: the erase is not started on a guess.
        const auto status = MEC16_ReadReg(kRegStatus);
        if (!status) {
            lost("Потеряна связь с MEC16 (E100)");
            return eraseEnd(false);
        }
        say("Регистр FF390Ch -> " + status->text);
        if (protectionRefuses(status->statusByte) || fault) {
            sendResultByte(kResultFail);
            say("--> Каманда стирания отменена.");
            return eraseEnd(false);
        }
        const uint32_t eraseCommand = eraseInfoTicked ? kEraseMainAndInfo : kEraseMain;
        if (!writeRegister(kRegEnable, kEnableOn, "Записали в регистр FF3910h 1",
                           "Потеряна связь с MEC16 (E101)") ||
            !writeRegister(kRegMode, kModeErase, "Записали в регистр FF3908h 107h",
                           "Потеряна связь с MEC16 (E102)") ||
            !writeRegister(kRegAddress, eraseCommand, "Отправили команду стирания.",
                           "Потеряна связь с MEC16 (E103)"))
            return eraseEnd(false);
        if (!waitWhileErasing()) return eraseEnd(false);
        say("Стирание завершено успешно.");
        if (!writeRegister(kRegMode, kModeFinish, "Записали в регистр FF3908h 100h",
                           "Потеряна связь с MEC16 (E105)") ||
            !writeRegister(kRegMode, kModeIdle, "Записали в регистр FF3908h 0",
                           "Потеряна связь с MEC16 (E106)") ||
            !writeRegister(kRegEnable, kEnableOff, "Записали в регистр FF3910h 0",
                           "Потеряна связь с MEC16 (E107)"))
            return eraseEnd(false);
        sendResultByte(kResultOk);
        eraseEnd(true);
    }

    // Asks for the status until the busy bit clears, within the erase's bound.
    bool waitWhileErasing() {
        constexpr const char* kLostBusy = "Потеряна связь с MEC16 (E104)";
        const milliseconds limit = link.effectiveLimit(kEraseWait);
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (true) {
            if (link.cancelled()) {
                lost("Erase", WaitResult::Cancelled, kLostBusy);
                return false;
            }
            const auto status = MEC16_ReadReg(kRegStatus);
            if (!status) {
                lost(kLostBusy);
                return false;
            }
            if (!protectionOf(status->statusByte).busy) return true;
            if (std::chrono::steady_clock::now() >= deadline) {
                say("Erase: the controller is still busy after " + std::to_string(limit.count()) +
                    " ms");
                lost(kLostBusy);
                return false;
            }
        }
    }

    void eraseEnd(bool ok) {
        send(kCmdRelease);
        say(kCloseRu);
        core.closeLink();
        timeLine(kTimeRu);
        say("");
        endPress(ok);
    }

    // ------------------------------------------------------------------
    // Write.

    void BitBtn_MEC16_WRITEClick() {
        if (!idleForPress()) return;
        lossShown = false;
        userBreak = false;
        tag = Tag::WRITE_MAIN;
        ui.setColor(kGauge, kRed);
        ui.setGaugeProgress(kGauge, 0);
        ui.setGaugeMax(kGauge, kWriteGaugeMax);
        if (!connect()) return endPress(false);

        const auto path = ui.fileDialog(openDialogSpec());
        if (!path) {
            say("Операция записи прервана");
            return writeRefused();
        }
        // The file is read whole and checked before anything on the
        // controller changes.
        LoadedFile loaded;
        if (const std::string problem = loadImage(*path, kMainSize, loaded); !problem.empty()) {
            say("Ошибка открытия файла");
            ui.messageBox(MessageKind::Error,
                          "Ошибка открытия файла\n" + fileProblem(*path, problem));
            return writeRefused();
        }
        if (const std::string warning = imageSizeWarning(*path, loaded.size, kMainSize, kPadByte);
            !warning.empty())
            ui.messageBox(MessageKind::Warning, warning);
        image = std::move(loaded.bytes);
        imagePosition = 0;

        timeLine(kTimeRu);
        say("Записываем в файл: ");
        say(*path);
        // Writing the INFO area is not offered (its check box stays
        // disabled): the write is always of the main area.
        say("Выбрана запись только MAIN блока");
        say("Начали запись MEC16 main block ...");

        // A short ID is only reported here; one that is all 0xFF (or never
        // came) stops the write.
        if (readIdSecondGeneration() < kIdBytes) say(kShortId);
        say("Получен ID от MEC16 -> " + idText());
        if (idAbsent()) {
            say("Неверный ID. Операция прервана!");
            return writeStartFailed();
        }
        const auto status = MEC16_ReadReg(kRegStatus);
        if (!status) {
            lost("Потеряна связь с MEC16 (TW001)");
            return writeStartFailed();
        }
        if (protectionRefuses(status->statusByte)) {
            say("--> Команда записи отменена (nFWP или BOOT_LOCK)");
            return writeStartFailed();
        }
        if (!writeRegister(kRegEnable, kEnableOn, "Записали в регистр FF3910h 1",
                           "Потеряна связь с MEC16 (W100)") ||
            !writeRegister(kRegMode, kModeProgram, "Записали в регистр FF3908h 106h",
                           "Потеряна связь с MEC16 (W101)") ||
            !writeRegister(kRegAddress, kProgramFromStart, "Записали в регистр FF3904h 0",
                           "Потеряна связь с MEC16 (W101A)"))
            return writeStartFailed();

        blockCounter = 1;
        send(kCmdStartWrite);
        startWorker();
    }

    void writeRefused() {
        image.clear();
        sendResultByte(kResultFail);
        say(kCloseRu);
        core.closeLink();
        endPress(false);
    }

    void writeStartFailed() {
        image.clear();
        sendResultByte(kResultFail);
        send(kCmdRelease);
        say(kCloseRu);
        core.closeLink();
        timeLine(kTimeRu);
        say("");
        endPress(false);
    }

    std::string chunkName() const {
        return "Chunk " + std::to_string(blockCounter) + " of " + std::to_string(kChunkCount);
    }

    // One chunk of the write; true when the write has ended.
    bool writeStep() {
        // The JIG's answer to 'W' or 'N': it is ready for the chunk.
        WaitResult r = link.readByte(kAnswerWait);
        if (r != WaitResult::Ok) return writeLost(chunkName(), r);

        std::array<uint8_t, kChunkSize> chunk;
        chunk.fill(kPadByte);
        const size_t got = std::min(kChunkSize, image.size() - imagePosition);
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(imagePosition), got, chunk.begin());
        imagePosition += got;
        if (got < kChunkSize) return writeShortFileEnd(chunk);

        link.send(chunk.data(), static_cast<uint32_t>(kChunkSize));
        ui.setGaugeProgress(kGauge, (kWriteGaugeMax / kChunkCount) * blockCounter);
        r = link.readByte(kAnswerWait);
        if (r != WaitResult::Ok) return writeLost(chunkName(), r);
        if (link.data()[0] != kChunkGood) return writeLost({}, WaitResult::Ok);
        if (blockCounter == kChunkCount) return writeComplete();
        ++blockCounter;
        send(kCmdNext);
        return false;
    }

    // A chunk not programmed, or the JIG silent: the write stops where it is.
    bool writeLost(const std::string& where, WaitResult why) {
        constexpr const char* kLostChunk = "Потеряна связь с MEC16 (W103)";
        if (why == WaitResult::Ok)
            lost(kLostChunk);
        else
            lost(where, why, kLostChunk);
        send(kCmdEnd);
        if (jig3) MEC16_Step(Step::SPI_ON);
        MEC16_Indicate(false);
        return finishWrite(false, false);
    }

    // The file ended before the main area: its last chunk goes out padded
    // and the write ends there.
    bool writeShortFileEnd(const std::array<uint8_t, kChunkSize>& chunk) {
        say("-> Предупреждение!");
        say("-> Записываемый файл короче!");
        link.send(chunk.data(), static_cast<uint32_t>(kChunkSize));
        const WaitResult r = link.readByte(kAnswerWait);
        // A last chunk that was not programmed is a failed write, whatever
        // the rest of the end does.
        bool chunkOk = r == WaitResult::Ok && link.data()[0] == kChunkGood;
        if (!chunkOk) {
            constexpr const char* kLostLast = "Потеряна связь с MEC16 (W102)";
            if (r == WaitResult::Ok)
                lost(kLostLast);
            else
                lost(chunkName(), r, kLostLast);
        }
        send(kCmdEnd);
        finishRegisters(kFinishWrite);
        if (jig3) MEC16_Step(Step::SPI_ON);
        MEC16_Indicate(chunkOk);
        return finishWrite(chunkOk, false);
    }

    bool writeComplete() {
        send(kCmdEnd);
        say("Write FLASH complete.");
        finishRegisters(kFinishWrite);
        MEC16_Indicate(true);
        MEC16_Release();
        return finishWrite(true, true);
    }

    bool finishWrite(bool ok, bool closeLine) {
        if (closeLine) say(kCloseEn);
        core.closeLink();
        timeLine(kTimeEn);
        say("");
        image.clear();
        endPress(ok);
        return true;
    }

    // ------------------------------------------------------------------
    // The worker.

    void startWorker() {
        core.startWorker([this] { ReadThread_MEC16(); });
    }

    void ReadThread_MEC16() {
        bool ended = false;
        while (!ended) {
            switch (tag.load()) {
                case Tag::READ_MAIN:
                    ended = readMainStep();
                    break;
                case Tag::READ_INFO:
                    ended = readInfoStep();
                    break;
                case Tag::WRITE_MAIN:
                    ended = writeStep();
                    break;
                case Tag::NONE:
                case Tag::ID:
                case Tag::ERASE:
                    ended = true;
                    break;
            }
        }
    }

    // ------------------------------------------------------------------

    void FormCreate() {
        ui.setGaugeMax(kGauge, kLayoutGaugeMax);
        shapesBlack();
        ui.setEnabled(kWriteInfoBox, false);
    }

    void EXIT_MEC16Click() {
        if (tag.load() != Tag::NONE) {
            userBreak = true;
            return;
        }
        ui.showWindow(kMainWindow);
        ui.hideWindow(kWindow);
    }

    void BitBtn_MEC16_HELPClick() {
        if (tag.load() != Tag::NONE) return;
        for (auto line : kHelpLines) say(std::string(line));
    }
};

Mec16Session::Mec16Session(const ModeContext& context) : state_(std::make_unique<State>(context)) {}

Mec16Session::~Mec16Session() { shutdown(); }

SessionCore& Mec16Session::core() const { return state_->core; }

void Mec16Session::FormCreate() { state_->FormCreate(); }
void Mec16Session::BitBtn_MEC16Click() { state_->BitBtn_MEC16Click(); }
void Mec16Session::BitBtn_RD_MEC16Click() { state_->BitBtn_RD_MEC16Click(); }
void Mec16Session::BitBtn_MEC16_ERASEClick() { state_->BitBtn_MEC16_ERASEClick(); }
void Mec16Session::BitBtn_MEC16_WRITEClick() { state_->BitBtn_MEC16_WRITEClick(); }
void Mec16Session::EXIT_MEC16Click() { state_->EXIT_MEC16Click(); }
void Mec16Session::BitBtn_MEC16_HELPClick() { state_->BitBtn_MEC16_HELPClick(); }
void Mec16Session::CheckBox_MEC16_RDClick(bool ticked) { state_->readInfoTicked = ticked; }
void Mec16Session::CheckBox_erase_mec16Click(bool ticked) { state_->eraseInfoTicked = ticked; }

bool Mec16Session::busy() const { return state_->tag.load() != Tag::NONE; }
bool Mec16Session::userBreak() const { return state_->userBreak.load(); }

}  // namespace zjig

namespace zjig::mec16 {
std::unique_ptr<ModeSession> makeSession(const ModeContext& context) {
    return std::make_unique<Mec16Session>(context);
}
}  // namespace zjig::mec16
