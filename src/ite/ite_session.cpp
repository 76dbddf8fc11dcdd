#include "ite/ite_session.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

#include "base/clock_text.h"
#include "base/display_text.h"
#include "base/files.h"
#include "base/hex_text.h"
#include "base/mb_database.h"
#include "ite/ite_commands.h"
#include "ite/ite_controls.h"
#include "jiglink/identity.h"

namespace zjig {

using namespace ite;

namespace {

// The operation tag of the mode.
enum class Tag { NONE, READ_ITE, WRITE_ITE_step_one };

// One report in both languages.
struct Pair {
    std::string ru;
    std::string en;
};

const Pair kNoAnswer = {
    "ITE мульт нам не отвечает, проверяйте соединение и настройки выводов. MB запитана? ",
    "ITE we do not respond, check the connection and settings. MB powered? "};
const Pair kInit = {"Преподготовка ITE ...", "INIT ..."};
const Pair kInitDone = {"Закончили преподготовку ...", "INIT complete."};
const Pair kBlockError = {"Ошибка при чтении блока ->", "ERROR reading block ->"};
const Pair kChunkError = {"Ошибка записи во флеш или потеряна связь с ITE",
                          "Error writing to flash or lost contact with ITE"};
const Pair kAddressError = {"Ошибка протокола при отправке адреса во флеш.",
                            "Protocol error while sending addresses in a flash."};

Pair invalidContact(IteSignal s) {
    const std::string name = info(s).name;
    return {"Неверный номер ножки для " + name + " !", "Invalid contact number " + name};
}

FileDialogSpec saveDialogSpec() {
    FileDialogSpec spec;
    spec.dialog = kSaveDialog;
    spec.save = true;
    spec.title = "Save data to a file";
    spec.filter = "BIN file (*.bin)|*.bin";
    spec.defaultExt = ".bin";
    spec.initialName = "ITE_";
    spec.confirmOverwrite = true;
    return spec;
}

FileDialogSpec openDialogSpec() {
    FileDialogSpec spec;
    spec.dialog = kOpenDialog;
    spec.title = "Read data from a file";
    spec.filter = "BIN file  (*.bin)|*.bin|Другие|*.*";
    return spec;
}

// Whether the file can be opened for reading at all (without blocking on a
// FIFO); what it holds is judged by loadImage.
bool opensForReading(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace

struct IteSession::State {
    explicit State(const ModeContext& context)
        : core(context, kTransferBufferSize),
          ui(core.ui),
          link(core.link),
          databasePath(context.dataDir + kIteDatabaseName) {
        selection.fill(0);
    }

    SessionCore core;
    UiPort& ui;
    JigLink& link;
    const std::string databasePath;

    // --- mode state ---
    std::string identity;
    std::atomic<Tag> tag{Tag::NONE};

    // --- window selections (window thread only) ---
    std::vector<std::string> mbItems;  // item 0 is the prompt
    int mbIndex = 0;
    bool forwardCable = true;  // ITE_CheckBox
    Selection selection;
    bool recordComplete = false;
    bool reversalDone = false;

    // --- the running operation: prepared by the handler, then the worker's alone ---
    bool jig3 = false;
    DumpFile dump;               // a read's output
    std::vector<uint8_t> image;  // a write's file, read whole before anything is sent

    // ------------------------------------------------------------------
    // Reports: every one to both memos.

    void report(const Pair& p) {
        ui.appendLine(kMemoRu, p.ru);
        ui.appendLine(kMemoEng, p.en);
    }
    void report(const std::string& ru, const std::string& en) { report(Pair{ru, en}); }
    void reportBoth(const std::string& line) { report(line, line); }
    void timeLine() {
        const std::string now = dateTimeText();
        report("Текущее время  " + now, "Current time  " + now);
    }

    // Why a wait ended without its answer, in both languages.
    void reportWait(const std::string& whereRu, const std::string& whereEn, WaitResult r,
                    milliseconds limit) {
        std::string ru = whereRu;
        switch (r) {
            case WaitResult::TimedOut:
                ru += ": программатор не ответил за " +
                      std::to_string(link.effectiveLimit(limit).count()) + " мс";
                break;
            case WaitResult::Overflow:
                ru += ": программатор прислал больше байт, чем ожидалось";
                break;
            case WaitResult::Cancelled:
                ru += ": остановлено, программа закрывается";
                break;
            case WaitResult::LinkError:
                ru += ": связь с программатором нарушена";
                break;
            case WaitResult::Ok:
                break;
        }
        report(ru, core.waitFailureLine(whereEn, r, limit));
    }

    // ITE_ReportNoAnswer: the controller (or the JIG) did not give the
    // answer the step needs.
    void ITE_ReportNoAnswer(const std::string& label) {
        report(kNoAnswer.ru + label, kNoAnswer.en + label);
    }

    // A step that failed: why its wait ended, when it did not end with an
    // answer, then its own report (not after a stop: the user asked for it).
    void failStep(const std::string& label, WaitResult r, milliseconds limit) {
        if (r != WaitResult::Ok) reportWait(label, label, r, limit);
        if (r != WaitResult::Cancelled) ITE_ReportNoAnswer(label);
    }

    // ------------------------------------------------------------------
    // The command link.

    enum class Kind { Connect, SetAddress, WriteData, ReadData, EnterSetup };

    // ITE_Command: one command in one write (with the prefix on a JIG 3),
    // then its one answer byte.
    WaitResult ITE_Command(Kind kind, uint8_t value, uint8_t& answer, milliseconds limit) {
        std::vector<uint8_t> bytes;
        if (jig3) bytes.push_back(kModePrefix);
        switch (kind) {
            case Kind::Connect:
                bytes.push_back(kCmdConnect);
                break;
            case Kind::SetAddress:
                bytes.insert(bytes.end(), {kCmdSetAddress, value});
                break;
            case Kind::WriteData:
                bytes.insert(bytes.end(), {jig3 ? kCmdWriteDataJig3 : kCmdWriteDataJig2, value});
                break;
            case Kind::ReadData:
                bytes.push_back(kCmdReadData);
                break;
            case Kind::EnterSetup:
                bytes.push_back(kCmdEnterSetup);
                break;
        }
        link.send(bytes.data(), static_cast<uint32_t>(bytes.size()));
        return awaitAnswer(answer, limit);
    }

    WaitResult awaitAnswer(uint8_t& answer, milliseconds limit) {
        const WaitResult r = link.readByte(limit);
        answer = r == WaitResult::Ok ? link.data()[0] : 0;
        return r;
    }

    // ITE_WriteRegister: set address, then write data; both answered 'o'.
    // A refused address sends no data command.
    WaitResult ITE_WriteRegister(uint8_t reg, uint8_t value, bool& accepted) {
        accepted = false;
        uint8_t answer = 0;
        WaitResult r = ITE_Command(Kind::SetAddress, reg, answer, kCommandWait);
        if (r != WaitResult::Ok || answer != kAnswerDone) return r;
        r = ITE_Command(Kind::WriteData, value, answer, kCommandWait);
        accepted = r == WaitResult::Ok && answer == kAnswerDone;
        return r;
    }

    // Runs register writes in order; at the first failure reports it with
    // its label and returns false.
    template <typename Steps>
    bool writeRegisters(const Steps& steps, size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            bool accepted = false;
            const WaitResult r = ITE_WriteRegister(steps[i].reg, steps[i].value, accepted);
            if (!accepted) {
                failStep(steps[i].label, r, kCommandWait);
                return false;
            }
        }
        return true;
    }

    // ITE_SendSetupItem: the three bytes, answered '+'.
    WaitResult ITE_SendSetupItem(const SetupItem& item, bool& accepted) {
        link.send(item.data(), static_cast<uint32_t>(item.size()));
        uint8_t answer = 0;
        const WaitResult r = awaitAnswer(answer, kCommandWait);
        accepted = r == WaitResult::Ok && answer == kAnswerItemTaken;
        return r;
    }

    // ITE_EndSession: the end byte, then the link goes once its bytes have
    // left. A third-generation JIG answers the end byte with one byte, which
    // is taken so that it cannot reach the next connection.
    void ITE_EndSession(bool success) {
        core.sendResult(success ? kResultOk : kResultFail, jig3);
        core.closeLink();
    }

    bool connect() {
        const bool accepted = core.connect(connectVariantIte(), identity);
        jig3 = accepted && contains(identity, kIdJig3);
        return accepted;
    }

    // The connect command of READ, WRITE and the check; false (reported)
    // unless the controller answered.
    bool connectController(const std::string& label) {
        uint8_t answer = 0;
        const WaitResult r = ITE_Command(Kind::Connect, 0, answer, kConnectWait);
        if (r == WaitResult::Ok && answer == kAnswerDone) return true;
        failStep(label, r, kConnectWait);
        return false;
    }

    // ------------------------------------------------------------------
    // The window, the database and the mapping.

    void setDropDown(IteSignal s) {
        const auto& contact = selection[static_cast<size_t>(s)];
        if (contact) ui.setText(info(s).dropDown, contactText(*contact));
    }

    void FormCreate() {
        tag = Tag::NONE;
        ui.clearMemo(kMemoRu);
        ui.clearMemo(kMemoEng);
        for (auto line : kInstructionsRu) ui.appendLine(kMemoRu, std::string(line));
        for (auto line : kInstructionsEng) ui.appendLine(kMemoEng, std::string(line));
        ui.setChecked(kLanguageBox, true);
        ui.setVisible(kMemoRu, true);
        ui.setVisible(kMemoEng, false);
        ui.setGaugeMax(kReadGauge, kReadGaugeMax);
        ui.setGaugeMax(kSpeedGauge, kSpeedGaugeMax);
        ui.setColor(kSpeedGauge, kYellow);

        std::vector<std::string> contactItems;
        for (int i = 0; i < kContactItems; ++i) contactItems.push_back(contactText(i));
        selection.fill(0);
        for (const auto& s : signalTable()) {
            ui.setItems(s.dropDown, contactItems);
            setDropDown(s.signal);
        }
        forwardCable = true;
        recordComplete = false;
        reversalDone = false;
        ui.setChecked(kCableBox, true);
        ui.setEnabled(kCableBox, false);

        mbIndex = 0;
        LoadedFile db;
        if (!readRegularFile(databasePath, kMaxDatabaseBytes, db).empty()) {
            mbItems = {std::string(kMbMissing)};
            ui.setItems(kMbList, mbItems);
            ui.setText(kMbList, mbItems[0]);
            ui.setColor(kMbList, kRed);
            return;
        }
        mbItems = {std::string(kMbPrompt)};
        for (auto& record : splitMbDatabase(std::string(db.bytes.begin(), db.bytes.end())))
            mbItems.push_back(std::move(record));
        ui.setItems(kMbList, mbItems);
        ui.setText(kMbList, mbItems[0]);
        ui.setColor(kMbList, kButtonFace);
    }

    std::string selectedRecord() const {
        return mbIndex > 0 && static_cast<size_t>(mbIndex) < mbItems.size() ? mbItems[mbIndex]
                                                                            : std::string();
    }

    void ITE_ComboBox_MB_SWITCHSelect(int index) {
        if (index < 0 || static_cast<size_t>(index) >= mbItems.size()) return;
        mbIndex = index;
        if (index == 0) {
            ui.setEnabled(kCableBox, false);
            return;
        }
        ITE_ApplyMotherboard();
    }

    void ITE_ApplyMotherboard() {
        recordComplete = false;
        ui.setEnabled(kCableBox, false);
        if (!forwardCable) {
            // Ticking the box is a change of its mark: the old contacts are
            // turned once, and the record overwrites them below.
            ui.setChecked(kCableBox, true);
            ITE_CheckBoxClick(true);
        }
        const RecordResult r = applyRecord(selectedRecord(), selection);
        selection = r.selection;
        for (const auto& s : signalTable()) {
            if (r.stop != RecordStop::None && s.signal == r.at) break;
            setDropDown(s.signal);
        }
        const std::string name = info(r.at).name;
        switch (r.stop) {
            case RecordStop::Missing:
                report("Не найдена информация по номеру ножки для " + name + " !",
                       "Information about the contact number " + name + " is not found!");
                return;
            case RecordStop::Invalid:
                report(invalidContact(r.at));
                return;
            case RecordStop::None:
                break;
        }
        recordComplete = true;
        ui.setEnabled(kCableBox, true);
    }

    void ITE_CheckBoxClick(bool checked) {
        forwardCable = checked;
        reversalDone = false;
        const KeyboardPins pins = keyboardPins(selectedRecord());
        if (pins.stop == RecordStop::Missing) {
            report("Не найдена информация по количеству контактов разьема клавиатуры на MB!",
                   "Not found the information on the number of contacts on the keyboard "
                   "connector MB!");
            return;
        }
        if (pins.stop == RecordStop::Invalid) {
            report("Неверное количество контактов разьема клавиатуры (23 < допустимо < 33)!",
                   "Wrong number of keyboard connector contacts (23 < acceptable <33)!");
            return;
        }
        const ReverseResult r = reverseCable(selection, pins.count);
        if (r.stop == ReverseStop::NoItem) {
            report(invalidContact(r.at));
            return;
        }
        if (r.stop == ReverseStop::BeyondConnector) {
            const std::string name = info(r.at).name;
            const std::string n = std::to_string(pins.count);
            report("Контакт для " + name + " больше количества контактов разьема клавиатуры (" + n +
                       ")!",
                   "The contact of " + name + " is beyond the keyboard connector (" + n +
                       " contacts)!");
            return;
        }
        selection = r.selection;
        for (IteSignal s : kDropDownOrder) setDropDown(s);
        reversalDone = true;
    }

    void ComboBoxChange(IteSignal s, const std::string& text) {
        selection[static_cast<size_t>(s)] = contactFromText(text);
    }

    void CheckBox_RUS_ENGClick(bool checked) {
        ui.setVisible(kMemoRu, checked);
        ui.setVisible(kMemoEng, !checked);
    }

    // ------------------------------------------------------------------
    // APPLY.

    void ITE_SETUP_BitBtnClick() {
        // The button is disabled while an operation owns the link.
        if (!core.idleForPress(tag.load() != Tag::NONE)) return;
        timeLine();
        const SetupItems setup = setupItems(selection);
        if (setup.noItem) {
            // A typed text that is no contact: nothing is sent at all.
            report(invalidContact(*setup.noItem));
            return core.setOutcome(false);
        }
        if (!connect()) return core.setOutcome(false);
        report("Отправляем настройки под MB.", "Send the settings for MB.");
        uint8_t answer = 0;
        const WaitResult r = ITE_Command(Kind::EnterSetup, 0, answer, kCommandWait);
        if (r != WaitResult::Ok || answer != kAnswerSetup) {
            if (r != WaitResult::Ok) reportWait("(SETUP)", "(SETUP)", r, kCommandWait);
            report("Ошибка при входе в режим настроек.", "Error when entering the setup mode.");
            return core.endPress(false);
        }
        for (const SetupItem& item : setup.items) {
            bool accepted = false;
            const WaitResult ri = ITE_SendSetupItem(item, accepted);
            if (!accepted) {
                if (ri != WaitResult::Ok) reportWait("(SETUP)", "(SETUP)", ri, kCommandWait);
                report("Ошибка протокола при настройке выводов.",
                       "Protocol error when setting pins.");
                return core.endPress(false);
            }
        }
        report("Настройки все отправлены.", "All settings sent.");
        for (const char* button : {kCheckButton, kExitButton, kWriteButton, kReadButton})
            ui.setEnabled(button, true);
        core.endPress(true);
    }

    // ------------------------------------------------------------------
    // Check connection.

    void ITE_CHECK_CON_BitBtnClick() {
        if (!core.idleForPress(tag.load() != Tag::NONE)) return;
        reportBoth("");
        report("Проверка связи ...", "Check connection ...");
        if (!connect()) return core.setOutcome(false);
        report("Программатор найден и готов к работе.", "The programmer is found and ready to go.");
        reportBoth("");
        report("Теперь, как можно быстрее, подключите адаптер (5 сек) ! ",
               "Now, as soon as possible, connect the adapter (5 seconds) !");
        const bool ok = connectController("(00)") && readIdentification();
        ITE_EndSession(ok);
        core.setOutcome(ok);
    }

    bool readIdentification() {
        struct Step {
            uint8_t reg;
            const char* label;
        };
        constexpr Step steps[] = {{kRegId1, "(01)"}, {kRegId2, "(02)"}, {kRegRevision, "(03)"}};
        uint8_t values[3] = {};
        for (size_t i = 0; i < 3; ++i) {
            uint8_t answer = 0;
            // Any answer to the address but 'e' counts as done.
            WaitResult r = ITE_Command(Kind::SetAddress, steps[i].reg, answer, kCommandWait);
            if (r != WaitResult::Ok || answer == kAnswerError) {
                failStep(steps[i].label, r, kCommandWait);
                return false;
            }
            r = ITE_Command(Kind::ReadData, 0, values[i], kCommandWait);
            if (r != WaitResult::Ok) {
                failStep(steps[i].label, r, kCommandWait);
                return false;
            }
        }
        reportBoth("Received ITE ID  -> " + upperHex(values[0], 2) + upperHex(values[1], 2) +
                   " rev -> " + upperHex(values[2], 2));
        return true;
    }

    // ------------------------------------------------------------------
    // Read.

    void enableOperationButtons(bool enabled, const char* keep) {
        for (const char* b : {kCheckButton, kExitButton, kWriteButton, kApplyButton, kReadButton})
            if (b != keep) ui.setEnabled(b, enabled);
    }

    // An operation that ends in its handler: back to idle, the buttons on
    // (all but `untouched`, which the press left enabled).
    void endInHandler(bool linkOpen, bool ok, const char* untouched) {
        if (linkOpen) ITE_EndSession(ok);
        if (dump.isOpen()) core.abandonDump(dump);
        image.clear();
        tag = Tag::NONE;
        enableOperationButtons(true, untouched);
        core.setOutcome(ok);
    }

    void ITE_READ_BitBtnClick() {
        if (!core.idleForPress(tag.load() != Tag::NONE)) return;
        tag = Tag::READ_ITE;
        enableOperationButtons(false, kReadButton);
        reportBoth("");
        ui.setColor(kReadGauge, kGreen);
        ui.setGaugeProgress(kReadGauge, 0);
        ui.setGaugeProgress(kSpeedGauge, 0);
        if (!connect()) return endInHandler(false, false, kReadButton);

        const auto path = ui.fileDialog(saveDialogSpec());
        if (!path) {
            report("Чтение отмененено пользователем. Все сворачиваем. (RD_DLG)",
                   "Reading canceled by the user. All displace. (RD_DLG)");
            return endInHandler(true, false, kReadButton);
        }
        if (const std::string problem = dump.open(*path); !problem.empty()) {
            report("Ошибка при создании файла. (RD_CRT_DLG)", "Error creating file. (RD_CRT_DLG)");
            reportBoth(displayText(problem));
            return endInHandler(true, false, kReadButton);
        }
        timeLine();
        report("Сохраняем в файл: " + displayText(*path), "Write to file: " + displayText(*path));
        report("Начинаем чтение ITE ...", "Reading start...");
        if (!connectController("(Rxxx)")) return endInHandler(true, false, kReadButton);
        report(kInit);
        if (!writeRegisters(kReadPreparation, 0, kReadPreparation.size()))
            return endInHandler(true, false, kReadButton);
        report(kInitDone);
        core.startWorker([this] { ReadThread_ITE(); });
    }

    void sendCommand(std::initializer_list<uint8_t> body, const uint8_t* data = nullptr,
                     size_t dataSize = 0) {
        std::vector<uint8_t> bytes;
        bytes.reserve(2 + body.size() + dataSize);
        if (jig3) bytes.push_back(kModePrefix);
        bytes.insert(bytes.end(), body);
        if (data) bytes.insert(bytes.end(), data, data + dataSize);
        link.send(bytes.data(), static_cast<uint32_t>(bytes.size()));
    }

    void blockFailed(int block) {
        const std::string n = std::to_string(block);
        report(kBlockError.ru + n, kBlockError.en + n);
    }

    bool readBlocks() {
        report("Читаю, пожалуйста ждите ...", "READ, please wait ...");
        for (int k = 0; k < kBlockCount; ++k) {
            sendCommand({kCmdReadBlock});
            WaitResult r = link.waitForExactly(kBlockAnswerSize, kBlockAnswerWait);
            if (r == WaitResult::Ok &&
                (!ftOk(link.read(kBlockAnswerSize)) || link.bytesMoved != kBlockAnswerSize))
                r = WaitResult::LinkError;
            if (r != WaitResult::Ok) {
                const std::string n = std::to_string(k + 1);
                reportWait("Блок " + n, "Block " + n, r, kBlockAnswerWait);
                if (r != WaitResult::Cancelled) blockFailed(k + 1);
                return false;
            }
            if (link.data()[kBlockSize] != kAnswerDone) {
                blockFailed(k + 1);
                return false;
            }
            // Each block is on disk before the next is asked for, so a read
            // cut short keeps every block read so far.
            if (!dump.write(link.data(), kBlockSize)) {
                report("Ошибка записи в файл: " + displayText(dump.lastError()),
                       "Error writing the file: " + displayText(dump.lastError()));
                return false;
            }
            ui.setGaugeProgress(kReadGauge, k + 1);
        }
        // The success byte goes out only once the dump is the file.
        if (const std::string problem = dump.commit(); !problem.empty()) {
            report("Ошибка записи в файл: " + displayText(problem),
                   "Error writing the file: " + displayText(problem));
            return false;
        }
        report("Мы все прочитали ", "Reading complete. ");
        return true;
    }

    // ------------------------------------------------------------------
    // Write.

    void ITE_WRITE_BitBtnClick() {
        if (!core.idleForPress(tag.load() != Tag::NONE)) return;
        tag = Tag::WRITE_ITE_step_one;
        enableOperationButtons(false, kWriteButton);
        ui.setColor(kReadGauge, kRed);
        ui.setGaugeProgress(kReadGauge, 0);
        reportBoth("");
        if (!connect()) return endInHandler(false, false, nullptr);

        const auto path = ui.fileDialog(openDialogSpec());
        if (!path) {
            report("Запись отмененена пользователем. Все сворачиваем. (WR_DLG)",
                   "WRITE canceled by the user. all displace. (WR_DLG)");
            return endInHandler(true, false, nullptr);
        }
        // The image is read whole and checked here, before the first
        // register write: the erase must never run for a file that cannot
        // be written.
        LoadedFile loaded;
        const std::string problem = loadImage(*path, kFlashSize, loaded);
        if (!problem.empty()) {
            const std::string shown = displayText(fileProblem(*path, problem));
            if (!opensForReading(*path)) {
                report("Ошибка при открытии файла. (WR_OPN_DLG)",
                       "Error opening the file. (WR_OPN_DLG)");
                reportBoth(shown);
            } else {
                report("Файл не годится для записи: " + shown + " (WR_SIZE)",
                       "The file cannot be written: " + shown + " (WR_SIZE)");
            }
            return endInHandler(true, false, nullptr);
        }
        if (const std::string warning =
                imageSizeWarning(*path, loaded.size, kFlashSize, kErasedByte);
            !warning.empty())
            ui.messageBox(MessageKind::Warning, displayText(warning));
        image = std::move(loaded.bytes);
        image.resize(kFlashSize, kErasedByte);

        timeLine();
        report("Пишем из файла: " + displayText(*path), "Data file: " + displayText(*path));
        report("Начинаем запись ITE ...", "Writing starts ...");
        if (!connectController("(Wxxx)")) return endInHandler(true, false, nullptr);
        core.startWorker([this] { ReadThread_ITE(); });
    }

    bool writeFlash() {
        report(kInit);
        if (!writeRegisters(kWritePreparation, 0, kWritePreparationSteps)) return false;
        report(kInitDone);
        if (!writeRegisters(kWritePreparation, kWritePreparationSteps, kWritePreparation.size()))
            return false;
        report("Команда стирания чипа отправлена (0x60/0xC7)...", "ERASE complete.");
        report("Считали 131072 байта в буфер ...", "File loaded to buffer.");
        const auto erased = std::count(image.begin(), image.end(), kErasedByte);
        report("Количество байт равных 0xFF в файле -> " + std::to_string(erased),
               "The number of bytes equal to the value of FFh -> " + std::to_string(erased));
        report("Начинаем писать байты ...", "WRITE, please wait ...");

        if (jig3) {
            ui.setGaugeMax(kSpeedGauge, kSpeedGaugeMaxJig3);
        } else {
            ui.setGaugeProgress(kSpeedGauge, 0);
            ui.setGaugeMax(kSpeedGauge, kSpeedGaugeMaxJig2);
        }
        // The flash erases while the JIG holds back this answer (or the
        // first chunk's).
        sendCommand({kCmdWriteAddress, 0, 0, 0});
        uint8_t answer = 0;
        WaitResult r = awaitAnswer(answer, kEraseWait);
        // The second generation's answer to the address says nothing.
        if (r != WaitResult::Ok || (jig3 && answer != kAnswerDone)) {
            if (r != WaitResult::Ok) reportWait("(Y)", "(Y)", r, kEraseWait);
            if (r != WaitResult::Cancelled) report(kAddressError);
            return false;
        }
        for (int c = 0; c < kChunkCount; ++c) {
            sendCommand({kCmdWriteChunk}, image.data() + static_cast<size_t>(c) * kChunkSize,
                        kChunkSize);
            const milliseconds limit = c == 0 ? kEraseWait : kCommandWait;
            r = awaitAnswer(answer, limit);
            if (r != WaitResult::Ok || answer != kAnswerDone) {
                const std::string n = std::to_string(c + 1);
                if (r != WaitResult::Ok) reportWait("Кусок " + n, "Chunk " + n, r, limit);
                if (r != WaitResult::Cancelled) report(kChunkError);
                return false;
            }
            const size_t sent = static_cast<size_t>(c + 1) * kChunkSize;
            ui.setGaugeProgress(kSpeedGauge,
                                jig3 ? static_cast<int>(sent / kSpeedGaugeBytesJig3) : c + 1);
        }
        report("Мы все записали. ", "WRITE complete.");
        return true;
    }

    // ------------------------------------------------------------------
    // The worker: one thread class for both long operations, its branch
    // chosen by the tag.

    void ReadThread_ITE() {
        const Tag branch = tag.load();
        if (branch != Tag::READ_ITE && branch != Tag::WRITE_ITE_step_one) return;
        const bool ok = branch == Tag::READ_ITE ? readBlocks() : writeFlash();
        ITE_EndSession(ok);
        timeLine();
        if (dump.isOpen()) core.abandonDump(dump);
        image.clear();
        core.setOutcome(ok);
        tag = Tag::NONE;
        enableOperationButtons(true, nullptr);
    }

    void ITE_EXIT_BitBtnClick() {
        if (tag.load() != Tag::NONE) return;
        ui.clearMemo(kMemoRu);
        ui.clearMemo(kMemoEng);
        ui.showWindow(kMainWindow);
        ui.hideWindow(kWindow);
        ui.setGaugeProgress(kReadGauge, 0);
    }
};

IteSession::IteSession(const ModeContext& context) : state_(std::make_unique<State>(context)) {}

IteSession::~IteSession() { shutdown(); }

SessionCore& IteSession::core() const { return state_->core; }

void IteSession::FormCreate() { state_->FormCreate(); }
void IteSession::ITE_ComboBox_MB_SWITCHSelect(int index) {
    state_->ITE_ComboBox_MB_SWITCHSelect(index);
}
void IteSession::ITE_CheckBoxClick(bool checked) { state_->ITE_CheckBoxClick(checked); }
void IteSession::ComboBoxChange(IteSignal signal, const std::string& text) {
    state_->ComboBoxChange(signal, text);
}
void IteSession::ITE_SETUP_BitBtnClick() { state_->ITE_SETUP_BitBtnClick(); }
void IteSession::CheckBox_RUS_ENGClick(bool checked) { state_->CheckBox_RUS_ENGClick(checked); }
void IteSession::ITE_CHECK_CON_BitBtnClick() { state_->ITE_CHECK_CON_BitBtnClick(); }
void IteSession::ITE_READ_BitBtnClick() { state_->ITE_READ_BitBtnClick(); }
void IteSession::ITE_WRITE_BitBtnClick() { state_->ITE_WRITE_BitBtnClick(); }
void IteSession::ITE_EXIT_BitBtnClick() { state_->ITE_EXIT_BitBtnClick(); }

bool IteSession::busy() const { return state_->tag.load() != Tag::NONE; }
std::vector<std::string> IteSession::motherboardItems() const { return state_->mbItems; }
bool IteSession::recordComplete() const { return state_->recordComplete; }
bool IteSession::reversalDone() const { return state_->reversalDone; }
Selection IteSession::selection() const { return state_->selection; }

}  // namespace zjig

namespace zjig::ite {
std::unique_ptr<ModeSession> makeSession(const ModeContext& context) {
    return std::make_unique<IteSession>(context);
}
}  // namespace zjig::ite
