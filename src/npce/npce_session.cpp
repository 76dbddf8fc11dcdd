#include "npce/npce_session.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "base/clock_text.h"
#include "base/display_text.h"
#include "base/files.h"
#include "base/hex_text.h"
#include "jiglink/identity.h"
#include "npce/npce_answers.h"
#include "npce/npce_commands.h"
#include "npce/npce_controls.h"

namespace zjig {

using namespace npce;

namespace {

// Memo lines used on more than one path.
constexpr const char* kTimePrefix = "Current time  ";
constexpr const char* kCorrupted = "ERROR timeout. Corrupted data !? ";
constexpr const char* kLostChip = "** Lost contact with the chip or ERROR timeout **";
constexpr const char* kWriteFailed = "** ERROR write or ERROR timeout **";

// The operation tag of the mode.
enum class Tag { NONE, Reading_NPCE, Write_NPCE };

// The gauge moves by this much per read block, and by half of it per chunk.
constexpr int kGaugePerChunk = kGaugeMax / kChunkCount;
constexpr int kGaugePerBlock = 2 * kGaugePerChunk;

FileDialogSpec saveDialogSpec() {
    FileDialogSpec spec;
    spec.dialog = kSaveDialog;
    spec.save = true;
    spec.title = "Save file";
    spec.filter = "BIN file NPCE (*.bin)|*.bin";
    spec.defaultExt = ".bin";
    spec.initialName = "NPCE_";
    spec.confirmOverwrite = true;
    return spec;
}

FileDialogSpec openDialogSpec() {
    FileDialogSpec spec;
    spec.dialog = kOpenDialog;
    spec.title = "Read file";
    spec.filter = "BIN file NPCE (*.bin)|*.bin|other|*.*";
    return spec;
}

std::string blockName(int block) {
    return "Block " + std::to_string(block) + " of " + std::to_string(kBlockCount);
}
std::string chunkName(int chunk) {
    return "Chunk " + std::to_string(chunk) + " of " + std::to_string(kChunkCount);
}
std::string resultByteName(uint8_t result) {
    return std::string("Result byte '") + static_cast<char>(result) + "'";
}
const char* const kReadEndName = "End of the read ('-')";
const char* const kWriteEndName = "End of the write (07h)";

}  // namespace

struct NpceSession::State {
    explicit State(const ModeContext& context)
        : core(context, kTransferBufferSize), ui(core.ui), link(core.link) {}

    SessionCore core;
    UiPort& ui;
    JigLink& link;

    // --- mode state ---
    std::string identity;
    std::atomic<Tag> tag{Tag::NONE};

    // --- the running operation: prepared by the handler, then the worker's alone ---
    bool jig3 = false;
    // Once the JIG has stayed silent (or the operation is being stopped), the
    // closing answers get one read time-out each, not a full wait.
    bool jigSilent = false;
    DumpFile dump;  // a read's output
    // A read that compares the flash with `image` instead of saving it.
    bool compareOnly = false;
    std::vector<uint8_t> readBack;
    std::vector<uint8_t> image;  // a write's image, 131072 bytes, FFh past the file's end
    int blockCounter = 0;

    // ------------------------------------------------------------------
    void say(const std::string& line) { ui.appendLine(kMemo, line); }
    void timeLine() { say(kTimePrefix + dateTimeText()); }
    void send(uint8_t byte) { link.send({byte}); }
    // The first command of a sequence: with the mode prefix on a JIG 3.
    void sendFirst(uint8_t command) {
        if (jig3)
            link.send({kModePrefix, command});
        else
            link.send({command});
    }
    void closeLink() { core.closeLink(); }
    void setOutcome(bool ok) { core.setOutcome(ok); }
    void endPress(bool ok) { core.endPress(ok); }

    // A press on an idle mode, with what the last one learnt of the JIG forgotten.
    bool idleForPress() {
        if (!core.idleForPress(tag.load() != Tag::NONE)) return false;
        jigSilent = false;
        return true;
    }

    bool connect() {
        const bool accepted = core.connect(connectVariantNpce(), identity);
        jig3 = accepted && contains(identity, kIdJig3);
        return accepted;
    }

    // Waits for an answer of exactly `n` bytes and reads it into the link's
    // buffer. A wait that fails is shown as one line naming `step`.
    WaitResult takeAnswer(uint32_t n, const std::string& step, milliseconds limit) {
        if (jigSilent || link.cancelled()) {
            // One read, bounded by the link's read time-out.
            if (ftOk(link.read(n)) && link.bytesMoved == n) return WaitResult::Ok;
            say(step + ": no answer from the programmer");
            return WaitResult::TimedOut;
        }
        WaitResult r = link.waitForExactly(n, limit);
        if (r == WaitResult::Ok && (!ftOk(link.read(n)) || link.bytesMoved != n))
            r = WaitResult::LinkError;
        if (r == WaitResult::Ok) return r;
        say(core.waitFailureLine(step, r, limit));
        if (r != WaitResult::Overflow) jigSilent = true;
        return r;
    }

    // 'I' after success, 'O' after failure; the JIG's one-byte answer is
    // taken but not looked at.
    void NPCE_SendEndByte(uint8_t byte) {
        send(byte);
        takeAnswer(1, resultByteName(byte), kAnswerWait);
    }

    // ------------------------------------------------------------------
    // Identification.

    bool NPCE_CheckChipId() {
        sendFirst(kCmdIdentify);
        const WaitResult r = link.waitForExactly(kIdAnswerBytes, kAnswerWait);
        uint32_t got = 0;
        if (r == WaitResult::Ok) {
            if (ftOk(link.read(kIdAnswerBytes))) got = link.bytesMoved;
        } else {
            say(core.waitFailureLine("Flash ID", r));
            if (r != WaitResult::Overflow) jigSilent = true;
            // Whatever came is shown.
            if (ftOk(link.getStatus()) && link.rxQueue > 0 &&
                ftOk(link.read(std::min<uint32_t>(link.rxQueue, kIdAnswerBytes))))
                got = link.bytesMoved;
        }
        const FlashIdAnswer id = readFlashId(link.data(), got);
        if (r == WaitResult::Ok && id.accepted) {
            say("Communication with NPCE installed.");
            say("ID FLASH EFh 4012h ");
            NPCE_SendEndByte(kResultOk);
            return true;
        }
        say("No connection to the NPCE! reading ID -> " + id.shown);
        say("Check soldering NPCE or chip damaged.");
        NPCE_SendEndByte(kResultFail);
        return false;
    }

    // ------------------------------------------------------------------
    // Read.

    void NPCE_READClick() {
        if (!idleForPress()) return;
        say("");
        if (!connect()) return setOutcome(false);
        if (!NPCE_CheckChipId()) return endPress(false);
        const auto path = ui.fileDialog(saveDialogSpec());
        if (!path) {
            say("Write to file is interrupted.");
            return endPress(false);
        }
        if (const std::string problem = dump.open(*path); !problem.empty()) {
            ui.messageBox(MessageKind::Error, "Ошибка создания файла.\n" + problem);
            return endPress(false);
        }
        say("Save the file: ");
        say(displayText(*path));
        ui.setColor(kGauge, kGreen);
        ui.setGaugeProgress(kGauge, 0);
        say("Reading ...");
        ui.setEnabled(kWriteButton, false);
        ui.setEnabled(kExitButton, false);
        timeLine();
        tag = Tag::Reading_NPCE;
        blockCounter = 1;
        // The first command goes out before the worker takes the link over,
        // so that the link is never used by two threads at once.
        sendFirst(kCmdRead);
        startWorker();
    }

    // The read's exchange, with the flash compared in memory with an image
    // file padded as a write pads it.
    void verifyFileClick() {
        if (!idleForPress()) return;
        say("");
        if (!connect()) return setOutcome(false);
        if (!NPCE_CheckChipId()) return endPress(false);
        const auto path = ui.fileDialog(openDialogSpec());
        if (!path) {
            say("Write operation is interrupted.");
            return endPress(false);
        }
        if (!loadWriteImage(*path)) return endPress(false);
        say("Compare the flash with the file:");
        say(displayText(*path));
        ui.setColor(kGauge, kYellow);
        ui.setGaugeProgress(kGauge, 0);
        say("Reading ...");
        ui.setEnabled(kWriteButton, false);
        ui.setEnabled(kExitButton, false);
        timeLine();
        compareOnly = true;
        readBack.clear();
        tag = Tag::Reading_NPCE;
        blockCounter = 1;
        sendFirst(kCmdRead);
        startWorker();
    }

    bool compareWithImage() {
        const auto diff = std::mismatch(readBack.begin(), readBack.end(), image.begin());
        if (diff.first == readBack.end()) {
            say("The flash holds the file.");
            return true;
        }
        const auto offset = static_cast<uint32_t>(diff.first - readBack.begin());
        say("The flash differs from the file.");
        ui.messageBox(MessageKind::Error,
                      "The flash differs from the file at offset " + std::to_string(offset) +
                          " (0x" + upperHex(offset, 5) + "): flash " + upperHex(*diff.first, 2) +
                          "h, file " + upperHex(*diff.second, 2) + "h.");
        return false;
    }

    // One read step; true when the operation has ended.
    bool readStep() {
        const WaitResult r = link.waitForExactly(kBlockSize, kBlockWait);
        if (r != WaitResult::Ok)
            return readFailed(core.waitFailureLine(blockName(blockCounter), r, kBlockWait), r);
        if (!ftOk(link.read(kBlockSize)) || link.bytesMoved != kBlockSize)
            return readFailed(core.waitFailureLine(blockName(blockCounter), WaitResult::LinkError),
                              WaitResult::LinkError);
        // Each block reaches the disk as it comes, so a dump cut short keeps
        // every block read so far.
        if (compareOnly) {
            readBack.insert(readBack.end(), link.data(), link.data() + kBlockSize);
        } else if (!dump.write(link.data(), kBlockSize)) {
            send(kCmdReadEnd);
            takeAnswer(kStatusAnswerBytes, kReadEndName, kAnswerWait);
            say("Error writing file!");
            say(displayText(fileProblem(dump.partPath(), dump.lastError())));
            timeLine();
            NPCE_SendEndByte(kResultFail);
            return finishRead(false);
        }
        ui.setGaugeProgress(kGauge, kGaugePerBlock * blockCounter);
        if (blockCounter == kBlockCount) {
            send(kCmdReadEnd);
            say("Reading complete ...");
            timeLine();
            // A JIG that does not answer in full has not confirmed the read.
            const WaitResult end = takeAnswer(kStatusAnswerBytes, kReadEndName, kAnswerWait);
            if (end != WaitResult::Ok || link.data()[0] == kEndTimedOut) {
                if (end != WaitResult::Cancelled) say(kCorrupted);
                NPCE_SendEndByte(kResultFail);
                return finishRead(false);
            }
            NPCE_SendEndByte(kResultOk);
            return finishRead(true);
        }
        send(kCmdRead);
        ++blockCounter;
        return false;
    }

    // The JIG stayed silent or sent too much: the read sequence is ended.
    bool readFailed(const std::string& detail, WaitResult why) {
        say(detail);
        if (why != WaitResult::Overflow) jigSilent = true;
        send(kCmdReadEnd);
        takeAnswer(kStatusAnswerBytes, kReadEndName, kAnswerWait);
        if (why != WaitResult::Cancelled) say(kCorrupted);
        timeLine();
        NPCE_SendEndByte(kResultFail);
        return finishRead(false);
    }

    bool finishRead(bool ok) {
        if (compareOnly && ok) ok = compareWithImage();
        finishOperation(ok);
        enableButtons();
        return true;
    }

    // ------------------------------------------------------------------
    // Write.

    void NPCE_WRITEClick() {
        if (!idleForPress()) return;
        say("");
        if (!connect()) return setOutcome(false);
        if (!NPCE_CheckChipId()) return endPress(false);
        const auto path = ui.fileDialog(openDialogSpec());
        if (!path) {
            say("Write operation is interrupted.");
            return endPress(false);
        }
        // The file is read whole and checked before the erase.
        if (!loadWriteImage(*path)) return endPress(false);
        say("Write to NPCE file:");
        say(displayText(*path));

        ui.setColor(kGauge, kRed);
        ui.setGaugeProgress(kGauge, 0);
        timeLine();
        say("Erase ...");
        ui.setEnabled(kReadButton, false);
        ui.setEnabled(kExitButton, false);

        sendFirst(kCmdErase);
        WaitResult r = takeAnswer(kStatusAnswerBytes, "Erase", kEraseWait);
        if (r != WaitResult::Ok || link.data()[0] != kStatusDone) {
            if (r != WaitResult::Cancelled) say(kLostChip);
            return endWriteBeforeWorker();
        }
        say("Check clear data ...");
        sendFirst(kCmdCheckClear);
        r = takeAnswer(kStatusAnswerBytes, "Check clear", kCheckClearWait);
        if (r != WaitResult::Ok) {
            if (r != WaitResult::Cancelled) say(kLostChip);
            return endWriteBeforeWorker();
        }
        if (link.data()[0] != kStatusDone) {
            say("** Data not clear !**");
            return endWriteBeforeWorker();
        }
        say("All data is clear!");
        say("Write ...");
        tag = Tag::Write_NPCE;
        blockCounter = 1;
        sendFirst(kCmdWrite);
        startWorker();
    }

    // The image to write or compare: the file's first 131072 bytes, FFh
    // past its end. A file that cannot be read, or an empty one, is refused;
    // any other size is written with a warning.
    bool loadWriteImage(const std::string& path) {
        LoadedFile loaded;
        if (const std::string problem = loadImage(path, kFlashSize, loaded); !problem.empty()) {
            ui.messageBox(MessageKind::Error,
                          "Ошибка открытия файла.\n" + fileProblem(path, problem));
            return false;
        }
        if (const std::string warning = imageSizeWarning(path, loaded.size, kFlashSize, kPadByte);
            !warning.empty())
            ui.messageBox(MessageKind::Warning, warning);
        image = std::move(loaded.bytes);
        image.resize(kFlashSize, kPadByte);
        return true;
    }

    // The erase or the blank check failed: the tag never left "NONE".
    void endWriteBeforeWorker() {
        timeLine();
        NPCE_SendEndByte(kResultFail);
        closeLink();
        image.clear();
        enableButtons();
        setOutcome(false);
    }

    // One chunk per step; true when the operation has ended.
    bool writeStep() {
        const std::string chunk = chunkName(blockCounter);
        WaitResult r = takeAnswer(1, chunk, kAnswerWait);  // ready for the chunk?
        if (r != WaitResult::Ok) return writeBroken(r);
        if (link.data()[0] != kChunkReady) {
            say("** HOST/M88 Protocol ERROR **");
            timeLine();
            return finishWrite(false);
        }
        const size_t offset = static_cast<size_t>(blockCounter - 1) * kChunkSize;
        link.send(image.data() + offset, kChunkSize);
        r = link.drain(kAnswerWait);
        if (r != WaitResult::Ok) {
            say(core.waitFailureLine(chunk, r));
            jigSilent = true;
            return writeBroken(r);
        }
        ui.setGaugeProgress(kGauge, kGaugePerChunk * blockCounter);
        r = takeAnswer(1, chunk, kAnswerWait);  // the chunk's result
        if (r != WaitResult::Ok) return writeBroken(r);
        if (link.data()[0] == kChunkFailed) {
            send(kCmdWriteEnd);
            takeAnswer(1, kWriteEndName, kAnswerWait);
            say(kWriteFailed);
            timeLine();
            return finishWrite(false);
        }
        if (blockCounter == kChunkCount) return finishWrite(verify());
        ++blockCounter;
        send(kCmdWrite);
        return false;
    }

    // The JIG stayed silent, sent too much, or the operation is being
    // stopped: the write sequence is ended. A stop also tells the JIG that
    // the operation failed.
    bool writeBroken(WaitResult why) {
        send(kCmdWriteEnd);
        takeAnswer(1, kWriteEndName, kAnswerWait);
        if (why == WaitResult::Cancelled) {
            timeLine();
            NPCE_SendEndByte(kResultFail);
        } else {
            say(kWriteFailed);
            timeLine();
        }
        return finishWrite(false);
    }

    // The whole flash is read back and compared with the image; reading
    // stops at the first block that differs.
    bool verify() {
        send(kCmdWriteEnd);
        takeAnswer(1, kWriteEndName, kAnswerWait);
        if (link.cancelled()) {
            NPCE_SendEndByte(kResultFail);
            timeLine();
            return false;
        }
        say("Verify ...");
        ui.setColor(kGauge, kYellow);
        ui.setGaugeProgress(kGauge, 0);
        size_t offset = 0;
        blockCounter = 0;
        bool match = true;
        sendFirst(kCmdRead);
        while (blockCounter < kBlockCount) {
            const std::string block = "Verification, block " + std::to_string(blockCounter + 1) +
                                      " of " + std::to_string(kBlockCount);
            const WaitResult r = link.waitForExactly(kBlockSize, kBlockWait);
            if (r != WaitResult::Ok)
                return verifyBroken(core.waitFailureLine(block, r, kBlockWait), r);
            if (!ftOk(link.read(kBlockSize)))
                return verifyBroken(core.waitFailureLine(block, WaitResult::LinkError),
                                    WaitResult::LinkError);
            if (link.bytesMoved != kBlockSize) {
                say("Принято не 512 байт  " + std::to_string(link.bytesMoved));
                // A short block is no proof that the flash holds the image.
                match = false;
            }
            ++blockCounter;
            if (match)
                match = std::equal(link.data(), link.data() + kBlockSize,
                                   image.begin() + static_cast<std::ptrdiff_t>(offset));
            offset += kBlockSize;
            ui.setGaugeProgress(kGauge, kGaugePerBlock * blockCounter);
            if (!match || blockCounter == kBlockCount) break;
            send(kCmdRead);
        }
        send(kCmdReadEnd);
        const WaitResult end = takeAnswer(kStatusAnswerBytes, kReadEndName, kAnswerWait);
        bool ok = false;
        if (end != WaitResult::Ok || link.data()[0] != kStatusDone) {
            if (end != WaitResult::Cancelled) say(kCorrupted);
            NPCE_SendEndByte(kResultFail);
        } else if (match) {
            say("Nuvoton chip is programmed succesfully!");
            NPCE_SendEndByte(kResultOk);
            ok = true;
        } else {
            say("*** Data is written incorrectly ***");
            NPCE_SendEndByte(kResultFail);
        }
        timeLine();
        return ok;
    }

    // A verification block that did not come whole: the read sequence is ended.
    bool verifyBroken(const std::string& detail, WaitResult why) {
        say(detail);
        if (why != WaitResult::Overflow) jigSilent = true;
        send(kCmdReadEnd);
        takeAnswer(kStatusAnswerBytes, kReadEndName, kAnswerWait);
        if (why != WaitResult::Cancelled) say(kCorrupted);
        NPCE_SendEndByte(kResultFail);
        timeLine();
        return false;
    }

    bool finishWrite(bool ok) {
        finishOperation(ok);
        enableButtons();
        return true;
    }

    // ------------------------------------------------------------------
    // The worker.

    void startWorker() {
        core.startWorker([this] { ReadThread_NPCE(); });
    }

    void ReadThread_NPCE() {
        bool ended = false;
        while (!ended) {
            switch (tag.load()) {
                case Tag::Reading_NPCE:
                    ended = readStep();
                    break;
                case Tag::Write_NPCE:
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
        compareOnly = false;
        readBack.clear();
        setOutcome(ok);
        tag = Tag::NONE;
    }

    void enableButtons() {
        ui.setEnabled(kWriteButton, true);
        ui.setEnabled(kReadButton, true);
        ui.setEnabled(kExitButton, true);
    }

    void FormCreate() { ui.setGaugeMax(kGauge, kGaugeMax); }

    // The button is disabled while an operation runs.
    void EXIT_NPCEClick() {
        ui.showWindow(kMainWindow);
        ui.hideWindow(kWindow);
    }
};

NpceSession::NpceSession(const ModeContext& context) : state_(std::make_unique<State>(context)) {}

NpceSession::~NpceSession() { shutdown(); }

SessionCore& NpceSession::core() const { return state_->core; }

void NpceSession::FormCreate() { state_->FormCreate(); }
void NpceSession::NPCE_READClick() { state_->NPCE_READClick(); }
void NpceSession::NPCE_WRITEClick() { state_->NPCE_WRITEClick(); }
void NpceSession::EXIT_NPCEClick() { state_->EXIT_NPCEClick(); }
void NpceSession::verifyFileClick() { state_->verifyFileClick(); }

bool NpceSession::busy() const { return state_->tag.load() != Tag::NONE; }

}  // namespace zjig

namespace zjig::npce {
std::unique_ptr<ModeSession> makeSession(const ModeContext& context) {
    return std::make_unique<NpceSession>(context);
}
}  // namespace zjig::npce
