// The ITE session against the simulated JIG: the window's lists and contacts,
// APPLY, the check, whole reads and writes on both JIG generations and their
// failure paths, checked against the controller's flash, the JIG's mapping,
// both memos and the bytes the PC sent.
#include "ite/ite_session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "ite_test_support.h"
#include "jiglink/backends/backends.h"
#include "sim/sim_jig.h"
#include "support/mode_context.h"
#include "support/recorder_port.h"
#include "support/temp_dir.h"

namespace zjig::test {
namespace {

using namespace std::chrono_literals;
using ite::IteSignal;

constexpr const char* kRu = "ITE_Memo1";
constexpr const char* kEn = "ITE_Memo_ENG";
constexpr const char* kReadGauge = "ITE_CGauge1";
constexpr const char* kSpeedGauge = "SPEED_ITE_CGauge";
constexpr const char* kCableBox = "ITE_CheckBox";
const char* const kFourButtons[] = {"ITE_CHECK_CON_BitBtn", "ITE_EXIT_BitBtn", "ITE_WRITE_BitBtn",
                                    "ITE_SETUP_BitBtn"};

// Memo lines with the clock taken out of the time lines.
std::vector<std::string> withoutClock(std::vector<std::string> lines) {
    for (auto& l : lines) {
        for (const std::string prefix : {"Current time  ", "Текущее время  "})
            if (l.rfind(prefix, 0) == 0) l = prefix + "<t>";
    }
    return lines;
}
bool has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class IteSessionTest : public ::testing::Test {
  protected:
    void open(const std::string& options, std::optional<milliseconds> timeout = std::nullopt,
              std::optional<std::string> database = kIteDatabase) {
        session.reset();
        std::string error;
        sim = std::shared_ptr<sim::SimDevice>(sim::SimDevice::create(options, error));
        ASSERT_TRUE(sim) << error;
        devices = std::make_unique<DeviceList>();
        devices->addPort(makeSimPort(sim, options));
        std::filesystem::remove(dir.file("MB connection ITE.txt"));
        if (database) writeFile(dir.file("MB connection ITE.txt"), *database);
        ui.clear();
        session = std::make_unique<IteSession>(
            modeContext(LinkEnv{devices.get(), timeout}, ui, dir.file("")));
        session->FormCreate();
        jig3 = sim->jig().generation() == 3;
    }
    // The first record chosen and APPLY pressed; the memos and the wire start afresh.
    void applyZti(bool reversed = false) {
        session->ITE_ComboBox_MB_SWITCHSelect(1);
        if (reversed) session->ITE_CheckBoxClick(false);
        session->ITE_SETUP_BitBtnClick();
        ASSERT_EQ(session->lastOperationSucceeded(), true) << lastLine();
        hostBytes();
        ui.clear();
    }
    std::string lastLine() const {
        const auto en = ui.memo(kEn);
        return en.empty() ? "" : en.back();
    }
    Bytes hostBytes() { return sim->jig().takeHostBytes(); }
    Bytes flash() { return flashOf(sim->jig().targetMemory("ITE")); }
    std::vector<std::string> ru() const { return withoutClock(ui.memo(kRu)); }
    std::vector<std::string> en() const { return withoutClock(ui.memo(kEn)); }
    // The same report in both memos: Russian and English.
    void expectReport(const std::string& r, const std::string& e) {
        EXPECT_TRUE(has(ru(), r)) << r;
        EXPECT_TRUE(has(en(), e)) << e;
    }
    void finish() { ASSERT_TRUE(session->waitIdle(60s)) << "the operation did not end"; }
    void read(const std::string& path) {
        ui.queueFile(path);
        session->ITE_READ_BitBtnClick();
        finish();
    }
    void write(const std::string& path) {
        ui.queueFile(path);
        session->ITE_WRITE_BitBtnClick();
        finish();
    }
    std::string dropDown(IteSignal s) const { return ui.text(ite::info(s).dropDown).value_or("?"); }
    std::vector<std::string> dropDowns() const {
        std::vector<std::string> out;
        for (IteSignal s : ite::kDropDownOrder) out.push_back(dropDown(s));
        return out;
    }

    TempDir dir;
    RecorderPort ui;
    std::shared_ptr<sim::SimDevice> sim;
    std::unique_ptr<DeviceList> devices;
    std::unique_ptr<IteSession> session;
    bool jig3 = true;
};

// --- the window, the database and the contacts ---

TEST_F(IteSessionTest, FormCreateFillsBothMemosTheListsAndTheContacts) {
    open("jig3");
    const auto r = ui.memo(kRu), e = ui.memo(kEn);
    ASSERT_EQ(r.size(), 17u);
    ASSERT_EQ(e.size(), 15u);
    EXPECT_EQ(r[0], "Порядок подключения:");
    EXPECT_EQ(r[11], "");
    EXPECT_EQ(r[16], "");
    EXPECT_EQ(e[0], "__ Step by step __");
    EXPECT_EQ(e[1], " 1  Connect the programmer and MB witch flexible cable.");
    EXPECT_EQ(ui.controlVisible(kRu), true);
    EXPECT_EQ(ui.controlVisible(kEn), false);

    // CR LF and LF records alike, the empty line as an empty item, the
    // unterminated last line not offered.
    EXPECT_EQ(
        ui.items("ITE_ComboBox_MB_SWITCH"),
        (std::vector<std::string>{"Please select MOTHERBOARD", kZtiRecord, "",
                                  session->motherboardItems()[3], session->motherboardItems()[4]}));
    EXPECT_EQ(session->motherboardItems()[3].rfind("ZTI-200 no AFD", 0), 0u);
    EXPECT_EQ(ui.text("ITE_ComboBox_MB_SWITCH"), "Please select MOTHERBOARD");

    const auto items = ui.items("ComboBox7");
    ASSERT_EQ(items.size(), 33u);
    EXPECT_EQ(items.front(), "NC");
    EXPECT_EQ(items.back(), "32");
    EXPECT_EQ(dropDowns(), std::vector<std::string>(15, "NC"));
    EXPECT_EQ(ui.checked(kCableBox), true);
    EXPECT_EQ(ui.enabled(kCableBox), false);
    EXPECT_EQ(ui.gaugeMax(kReadGauge), 512);
    EXPECT_EQ(ui.gaugeMax(kSpeedGauge), 256);
    EXPECT_EQ(ui.colour(kSpeedGauge), kYellow);
}

TEST_F(IteSessionTest, WithoutTheDatabaseTheListSaysSoInRed) {
    open("jig3", std::nullopt, std::nullopt);
    const std::string missing = "File [MB connection ITE.txt] not found. Please read manual!";
    EXPECT_EQ(ui.items("ITE_ComboBox_MB_SWITCH"), std::vector<std::string>{missing});
    EXPECT_EQ(ui.text("ITE_ComboBox_MB_SWITCH"), missing);
    EXPECT_EQ(ui.colour("ITE_ComboBox_MB_SWITCH"), kRed);
    session->ITE_ComboBox_MB_SWITCHSelect(0);
    EXPECT_EQ(ui.enabled(kCableBox), false);
    EXPECT_EQ(dropDowns(), std::vector<std::string>(15, "NC"));
}

TEST_F(IteSessionTest, ARecordSetsTheContactsOrStopsWhereItIsWrong) {
    open("jig3");
    session->ITE_ComboBox_MB_SWITCHSelect(1);
    EXPECT_EQ(dropDowns(), (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "20",
                                                     "21", "23", "22", "10", "24", "25"}));
    EXPECT_TRUE(session->recordComplete());
    EXPECT_EQ(ui.enabled(kCableBox), true);

    // Back to the prompt: only the check box changes.
    session->ITE_ComboBox_MB_SWITCHSelect(0);
    EXPECT_EQ(ui.enabled(kCableBox), false);
    EXPECT_EQ(dropDown(IteSignal::PD0), "1");

    // Without AFD: PD0..STB set, AFD and the rest as they were.
    session->ComboBoxChange(IteSignal::INIT, "NC");
    session->ComboBoxChange(IteSignal::PD0, "9");
    ui.clear();
    session->ITE_ComboBox_MB_SWITCHSelect(3);
    expectReport("Не найдена информация по номеру ножки для AFD !",
                 "Information about the contact number AFD is not found!");
    EXPECT_EQ(session->selection()[static_cast<size_t>(IteSignal::PD0)], 1);
    EXPECT_EQ(session->selection()[static_cast<size_t>(IteSignal::INIT)], 0);
    EXPECT_FALSE(session->recordComplete());
    EXPECT_EQ(ui.enabled(kCableBox), false);
    EXPECT_TRUE(hostBytes().empty());
}

TEST_F(IteSessionTest, AReversedCableTurnsTheContactsAndBack) {
    open("jig3");
    session->ITE_ComboBox_MB_SWITCHSelect(1);
    session->ITE_CheckBoxClick(false);
    EXPECT_TRUE(session->reversalDone());
    EXPECT_EQ(dropDowns(), (std::vector<std::string>{"30", "29", "28", "27", "26", "25", "24", "23",
                                                     "11", "10", "8", "9", "21", "7", "6"}));
    session->ITE_CheckBoxClick(true);
    EXPECT_EQ(dropDown(IteSignal::PD0), "1");
    EXPECT_EQ(dropDown(IteSignal::KSI5), "25");

    // Choosing a record ticks the box again; the record's contacts stand.
    session->ITE_CheckBoxClick(false);
    session->ITE_ComboBox_MB_SWITCHSelect(1);
    EXPECT_EQ(ui.checked(kCableBox), true);
    EXPECT_EQ(dropDown(IteSignal::PD0), "1");
}

TEST_F(IteSessionTest, AReversalThatCannotBeDoneChangesNoContact) {
    struct Case {
        int record;
        std::optional<std::pair<IteSignal, std::string>> typed;
        const char* ru;
        const char* en;
    } cases[] = {
        {4, std::nullopt, "Неверное количество контактов разьема клавиатуры (23 < допустимо < 33)!",
         "Wrong number of keyboard connector contacts (23 < acceptable <33)!"},
        {1, std::pair{IteSignal::BUSY, std::string("31")},
         "Контакт для BUSY больше количества контактов разьема клавиатуры (30)!",
         "The contact of BUSY is beyond the keyboard connector (30 contacts)!"},
        {1, std::pair{IteSignal::SLIN, std::string("x")}, "Неверный номер ножки для SLIN !",
         "Invalid contact number SLIN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.en);
        open("jig3");
        session->ITE_ComboBox_MB_SWITCHSelect(c.record);
        if (c.typed) session->ComboBoxChange(c.typed->first, c.typed->second);
        const ite::Selection before = session->selection();
        ui.clear();
        session->ITE_CheckBoxClick(false);
        expectReport(c.ru, c.en);
        EXPECT_FALSE(session->reversalDone());
        EXPECT_EQ(session->selection(), before);
    }
}

TEST_F(IteSessionTest, LanguageBoxShowsOneMemo) {
    open("jig3");
    session->CheckBox_RUS_ENGClick(false);
    EXPECT_EQ(ui.controlVisible(kRu), false);
    EXPECT_EQ(ui.controlVisible(kEn), true);
    session->CheckBox_RUS_ENGClick(true);
    EXPECT_EQ(ui.controlVisible(kRu), true);
    EXPECT_EQ(ui.controlVisible(kEn), false);
}

// --- APPLY ---

TEST_F(IteSessionTest, ApplySendsTheMappingByteExactOnBothGenerations) {
    const Bytes forward = {'I', 'N', 0x16, 'D', 'S', 0x15, 'A', 'S', 0x17, 'W', 'R', 0x14,
                           'K', '4', 0x18, 'K', '5', 0x19, 'B', 'L', 0x0A, 'd', '0', 0x01,
                           'd', '1', 0x02, 'd', '2', 0x03, 'd', '3', 0x04, 'd', '4', 0x05,
                           'd', '5', 0x06, 'd', '6', 0x07, 'd', '7', 0x08, 'Q', 'Q', 'Q'};
    const Bytes reversed = {'I', 'N', 0x09, 'D', 'S', 0x0A, 'A', 'S', 0x08, 'W', 'R', 0x0B,
                            'K', '4', 0x07, 'K', '5', 0x06, 'B', 'L', 0x15, 'd', '0', 0x1E,
                            'd', '1', 0x1D, 'd', '2', 0x1C, 'd', '3', 0x1B, 'd', '4', 0x1A,
                            'd', '5', 0x19, 'd', '6', 0x18, 'd', '7', 0x17, 'Q', 'Q', 'Q'};
    for (const char* options : {"jig2=ITE", "jig3"}) {
        for (bool turned : {false, true}) {
            SCOPED_TRACE(std::string(options) + (turned ? " reversed" : " forward"));
            open(options);
            session->ITE_ComboBox_MB_SWITCHSelect(1);
            if (turned) session->ITE_CheckBoxClick(false);
            session->ITE_SETUP_BitBtnClick();
            EXPECT_EQ(session->lastOperationSucceeded(), true);
            EXPECT_EQ(hostBytes(),
                      Bytes{'B'} + iteCommand(jig3, {'S'}) + (turned ? reversed : forward));
            expectReport("Настройки все отправлены.", "All settings sent.");
            // The JIG holds the contacts sent, in its own order.
            const Bytes state = sim->jig().targetMemory("ITE");
            const Bytes mapping(state.end() - 15, state.end());
            const Bytes turnedMapping = {30, 29, 28, 27, 26, 25, 24, 23, 21, 11, 10, 9, 8, 7, 6};
            const Bytes forwardMapping = {1, 2, 3, 4, 5, 6, 7, 8, 10, 20, 21, 22, 23, 24, 25};
            EXPECT_EQ(mapping, turned ? turnedMapping : forwardMapping);
            for (const char* b :
                 {"ITE_CHECK_CON_BitBtn", "ITE_EXIT_BitBtn", "ITE_WRITE_BitBtn", "ITE_READ_BitBtn"})
                EXPECT_EQ(ui.enabled(b), true) << b;
        }
    }
}

TEST_F(IteSessionTest, ApplyWithEveryContactNotConnectedSendsZeros) {
    open("jig3");
    session->ITE_SETUP_BitBtnClick();
    const Bytes sent = hostBytes();
    const Bytes items(sent.begin() + 3, sent.end());
    ASSERT_EQ(items.size(), 16u * 3);
    for (size_t i = 0; i < 15; ++i) EXPECT_EQ(items[i * 3 + 2], 0) << i;
    EXPECT_EQ(session->lastOperationSucceeded(), true);
}

TEST_F(IteSessionTest, ApplyStopsAtARefusalAndSendsNothingMore) {
    struct Case {
        const char* options;
        size_t itemsSent;
        const char* ru;
        const char* en;
    } cases[] = {
        {"jig3,ite-refuse-setup", 0, "Ошибка при входе в режим настроек.",
         "Error when entering the setup mode."},
        {"jig3,ite-refuse-item=3", 3, "Ошибка протокола при настройке выводов.",
         "Protocol error when setting pins."},
        {"jig2=ITE,ite-refuse-item=16", 16, "Ошибка протокола при настройке выводов.",
         "Protocol error when setting pins."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options);
        session->ITE_ComboBox_MB_SWITCHSelect(1);
        session->ITE_SETUP_BitBtnClick();
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        EXPECT_EQ(hostBytes().size(), 1 + iteCommand(jig3, {'S'}).size() + c.itemsSent * 3);
        expectReport(c.ru, c.en);
        EXPECT_FALSE(has(en(), "All settings sent."));
    }
}

TEST_F(IteSessionTest, ApplyWithATypedTextThatIsNoContactSendsNothing) {
    open("jig3");
    session->ITE_ComboBox_MB_SWITCHSelect(1);
    session->ComboBoxChange(IteSignal::KSI4, "4x");
    session->ITE_SETUP_BitBtnClick();
    EXPECT_TRUE(hostBytes().empty());
    expectReport("Неверный номер ножки для KSI4 !", "Invalid contact number KSI4");
    EXPECT_EQ(session->lastOperationSucceeded(), false);
    // Typed as an item's text, it counts as that item.
    session->ComboBoxChange(IteSignal::KSI4, "24");
    session->ITE_SETUP_BitBtnClick();
    EXPECT_EQ(session->lastOperationSucceeded(), true);
}

// --- check connection ---

TEST_F(IteSessionTest, CheckReadsTheIdentificationOnBothGenerations) {
    for (const char* options : {"jig2=ITE,ite-id=0x1234,ite-rev=5", "jig3,ite-id=0x1234,ite-rev=5",
                                "jig3,ite-id=0x0A0B,ite-rev=0x0A"}) {
        SCOPED_TRACE(options);
        open(options);
        applyZti();
        session->ITE_CHECK_CON_BitBtnClick();
        EXPECT_EQ(session->lastOperationSucceeded(), true);
        const bool wide = std::string(options).find("0x0A0B") != std::string::npos;
        const std::string id =
            wide ? "Received ITE ID  -> 0A0B rev -> 0A" : "Received ITE ID  -> 1234 rev -> 05";
        EXPECT_EQ(ru().back(), id);
        EXPECT_EQ(en().back(), id);
        const Bytes expected = Bytes{'B'} + iteConnect(jig3) + iteCommand(jig3, {'A', 0}) +
                               iteCommand(jig3, {'R'}) + iteCommand(jig3, {'A', 1}) +
                               iteCommand(jig3, {'R'}) + iteCommand(jig3, {'A', 2}) +
                               iteCommand(jig3, {'R'}) + Bytes{'I'};
        EXPECT_EQ(hostBytes(), expected);
        EXPECT_EQ(en()[1], "Check connection ...");
        EXPECT_EQ(ru()[1], "Проверка связи ...");
    }
}

TEST_F(IteSessionTest, ACheckThatFailsNamesItsStepAndEndsWithO) {
    struct Case {
        const char* options;
        bool apply;
        const char* label;
    } cases[] = {
        {"jig3,ite=absent", true, "(00)"},
        {"jig3", false, "(00)"},  // no mapping sent: a miswired controller
        {"jig3,ite-board=1:2:3:4:5:6:7:8:10:20:21:22:23:24:26", true, "(00)"},
        {"jig2=ITE,ite-address-error=0", true, "(01)"},
        {"jig3,ite-address-error=1", true, "(02)"},
        {"jig3,ite-address-error=2", true, "(03)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options);
        if (c.apply) {
            session->ITE_ComboBox_MB_SWITCHSelect(1);
            session->ITE_SETUP_BitBtnClick();
            hostBytes();
            ui.clear();
        }
        session->ITE_CHECK_CON_BitBtnClick();
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        const std::string label = c.label;
        EXPECT_EQ(ru().back(),
                  "ITE мульт нам не отвечает, проверяйте соединение и настройки выводов. MB "
                  "запитана? " +
                      label);
        EXPECT_EQ(en().back(),
                  "ITE we do not respond, check the connection and settings. MB powered? " + label);
        EXPECT_EQ(hostBytes().back(), 'O');
        EXPECT_FALSE(has(en(), "Received ITE ID  -> 5A71 rev -> 02"));
    }
}

TEST_F(IteSessionTest, NoJigGivesOnlyTheConnectLines) {
    open("jig3,silent");
    session->ITE_CHECK_CON_BitBtnClick();
    EXPECT_EQ(session->lastConnectResult(), ConnectResult::NoJig);
    EXPECT_EQ(en().back(), "The programmer is not found or does not respond");
    EXPECT_EQ(ru().back(), "The programmer is not found or does not respond");
    EXPECT_EQ(hostBytes(), Bytes{'B'});
}

// --- read ---

Bytes readPreparation(bool jig3) {
    const std::pair<uint8_t, uint8_t> steps[] = {
        {0x27, 0x01}, {0x27, 0x80}, {0x04, 0xFF}, {0x07, 0x7F}, {0x06, 0xFF},
        {0x05, 0xFE}, {0x08, 0x00}, {0x05, 0xFD}, {0x08, 0x0B}, {0x08, 0x00},
        {0x08, 0x00}, {0x08, 0x00}, {0x08, 0x00}};
    Bytes out;
    for (auto [reg, value] : steps) out = out + iteRegister(jig3, reg, value);
    return out;
}

TEST_F(IteSessionTest, AWholeReadSavesTheFlashOnBothGenerations) {
    for (const char* options : {"jig2=ITE", "jig3"}) {
        SCOPED_TRACE(options);
        open(options);
        applyZti();
        const std::string path = dir.file(std::string("dump-") + options + ".bin");
        read(path);
        EXPECT_EQ(session->lastOperationSucceeded(), true) << lastLine();
        EXPECT_EQ(readAllBytes(path), flash());
        EXPECT_EQ(ui.gauge(kReadGauge), 512);
        EXPECT_EQ(ui.colour(kReadGauge), kGreen);
        const Bytes expected = Bytes{'B'} + iteConnect(jig3) + readPreparation(jig3) +
                               repeatBytes(iteCommand(jig3, {'r'}), 512) + Bytes{'I'};
        EXPECT_EQ(hostBytes(), expected);
        expectReport("Мы все прочитали ", "Reading complete. ");
        for (const char* b : kFourButtons) EXPECT_EQ(ui.enabled(b), true) << b;
        EXPECT_EQ(ui.enabled("ITE_READ_BitBtn"), true);
        EXPECT_FALSE(session->busy());
    }
}

TEST_F(IteSessionTest, AReadThatFailsKeepsTheBlocksBeforeItAndEndsWithO) {
    struct Case {
        const char* options;
        size_t fileSize;
        std::string ru, en;
    } cases[] = {
        {"jig3,ite-bad-block=1", 0, "Ошибка при чтении блока ->1", "ERROR reading block ->1"},
        {"jig2=ITE,ite-bad-block=512", 130816, "Ошибка при чтении блока ->512",
         "ERROR reading block ->512"},
        {"jig3,ite-refuse-register=5", 0,
         "ITE мульт нам не отвечает, проверяйте соединение и настройки выводов. MB запитана? "
         "(R005)",
         "ITE we do not respond, check the connection and settings. MB powered? (R005)"},
        {"jig3,ite=absent", 0,
         "ITE мульт нам не отвечает, проверяйте соединение и настройки выводов. MB запитана? "
         "(Rxxx)",
         "ITE we do not respond, check the connection and settings. MB powered? (Rxxx)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options);
        applyZti();
        const std::string path = dir.file("failed.bin");
        std::filesystem::remove(path);
        read(path);
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        expectReport(c.ru, c.en);
        EXPECT_FALSE(has(en(), "Reading complete. "));
        EXPECT_EQ(readAllBytes(path).size(), c.fileSize);
        const Bytes whole = flash();
        EXPECT_EQ(readAllBytes(path),
                  Bytes(whole.begin(), whole.begin() + static_cast<long>(c.fileSize)));
        EXPECT_EQ(ui.gauge(kReadGauge), static_cast<int>(c.fileSize / 256));
        EXPECT_EQ(hostBytes().back(), 'O');
        EXPECT_FALSE(session->busy());
        for (const char* b : kFourButtons) EXPECT_EQ(ui.enabled(b), true) << b;
    }
}

TEST_F(IteSessionTest, AFailedReadLeavesAnExistingFileAlone) {
    open("jig3,ite-bad-block=3");
    applyZti();
    const std::string path = dir.file("good.bin");
    writeAllBytes(path, Bytes(100, 0x11));
    read(path);
    EXPECT_EQ(readAllBytes(path), Bytes(100, 0x11));
    EXPECT_EQ(readAllBytes(path + ".part").size(), 2u * 256);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].rfind("warning: ", 0), 0u);
}

TEST_F(IteSessionTest, CancellingAFileDialogSendsOAndCreatesNoFile) {
    struct Case {
        bool reading;
        const char* ru;
        const char* en;
    } cases[] = {
        {true, "Чтение отмененено пользователем. Все сворачиваем. (RD_DLG)",
         "Reading canceled by the user. All displace. (RD_DLG)"},
        {false, "Запись отмененена пользователем. Все сворачиваем. (WR_DLG)",
         "WRITE canceled by the user. all displace. (WR_DLG)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.en);
        open("jig2=ITE");
        applyZti();
        // No file queued: the dialog is cancelled.
        if (c.reading)
            session->ITE_READ_BitBtnClick();
        else
            session->ITE_WRITE_BitBtnClick();
        finish();
        expectReport(c.ru, c.en);
        EXPECT_EQ(hostBytes(), (Bytes{'B', 'O'}));
        EXPECT_FALSE(session->busy());
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        for (const char* b : kFourButtons) EXPECT_EQ(ui.enabled(b), true) << b;
        // The folder holds the database only.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                                std::filesystem::directory_iterator{}),
                  1);
    }
}

TEST_F(IteSessionTest, SilenceInsideABlockEndsWithinTheTimeout) {
    for (const char* options : {"jig3,ite-silent-in-block=3", "jig3,ite-silent-after-block=3"}) {
        SCOPED_TRACE(options);
        open(options, 300ms);
        applyZti();
        const auto start = std::chrono::steady_clock::now();
        read(dir.file("cut.bin"));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
        const bool inside = std::string(options).find("in-block") != std::string::npos;
        const std::string block = inside ? "3" : "4";
        expectReport("Блок " + block + ": программатор не ответил за 300 мс",
                     "Block " + block + ": no answer from the programmer within 300 ms");
        expectReport("Ошибка при чтении блока ->" + block, "ERROR reading block ->" + block);
        EXPECT_EQ(session->lastOperationSucceeded(), false);
    }
}

// --- write ---

Bytes writePreparation(bool jig3) {
    const std::pair<uint8_t, uint8_t> steps[] = {
        {0x27, 0x01}, {0x27, 0x80}, {0x04, 0xFF}, {0x07, 0x7F}, {0x06, 0xFF},
        {0x05, 0xFE}, {0x08, 0x00}, {0x05, 0xFD}, {0x08, 0x06}, {0x05, 0xFE},
        {0x08, 0x00}, {0x05, 0xFD}, {0x08, 0x60}, {0x05, 0xFE}, {0x08, 0x00},
        {0x05, 0xFD}, {0x08, 0xC7}, {0x05, 0xFE}, {0x08, 0x00}};
    Bytes out;
    for (auto [reg, value] : steps) out = out + iteRegister(jig3, reg, value);
    return out;
}

TEST_F(IteSessionTest, AWriteThenAReadGiveTheImageBackOnBothGenerations) {
    for (const char* options : {"jig2=ITE", "jig3"}) {
        SCOPED_TRACE(options);
        open(options);
        applyZti();
        const Bytes image = iteImage(kIteFlash, 7);
        const std::string path = dir.file("image.bin");
        writeAllBytes(path, image);
        write(path);
        EXPECT_EQ(session->lastOperationSucceeded(), true) << lastLine();
        EXPECT_EQ(flash(), image);
        EXPECT_TRUE(ui.messages().empty());
        expectReport("Мы все записали. ", "WRITE complete.");
        EXPECT_EQ(ui.gauge(kSpeedGauge), jig3 ? 256 : 1024);
        EXPECT_EQ(ui.gaugeMax(kSpeedGauge), jig3 ? 256 : 1024);
        EXPECT_EQ(ui.colour(kReadGauge), kRed);
        Bytes expected = Bytes{'B'} + iteConnect(jig3) + writePreparation(jig3) +
                         iteCommand(jig3, {'Y', 0, 0, 0});
        for (size_t at = 0; at < kIteFlash; at += 128)
            expected =
                expected +
                iteCommand(jig3, Bytes{'w'} + Bytes(image.begin() + static_cast<long>(at),
                                                    image.begin() + static_cast<long>(at + 128)));
        EXPECT_EQ(hostBytes(), expected + Bytes{'I'});

        read(dir.file("back.bin"));
        EXPECT_EQ(readAllBytes(dir.file("back.bin")), image);
    }
}

TEST_F(IteSessionTest, AShortImageLeavesTheRestErasedAndALongOneIsCut) {
    struct Case {
        size_t size;
        const char* count;
        const char* warning;
    } cases[] = {
        {65536, "65536", "65536 bytes shorter than the flash"},
        {262144, "0", "131072 bytes longer than the flash"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        open("jig3");
        applyZti();
        // No FFh in the image itself, so that the count is the padding alone.
        Bytes image = iteImage(c.size, 3);
        std::replace(image.begin(), image.end(), uint8_t{0xFF}, uint8_t{0xFE});
        writeAllBytes(dir.file("image.bin"), image);
        write(dir.file("image.bin"));
        EXPECT_EQ(session->lastOperationSucceeded(), true);
        Bytes expected(image.begin(),
                       image.begin() + static_cast<long>(std::min(c.size, kIteFlash)));
        expected.resize(kIteFlash, 0xFF);
        EXPECT_EQ(flash(), expected);
        expectReport(std::string("Количество байт равных 0xFF в файле -> ") + c.count,
                     std::string("The number of bytes equal to the value of FFh -> ") + c.count);
        ASSERT_EQ(ui.messages().size(), 1u);
        EXPECT_NE(ui.messages()[0].find(c.warning), std::string::npos) << ui.messages()[0];
        EXPECT_EQ(ui.messages()[0].rfind("warning: ", 0), 0u);
    }
}

TEST_F(IteSessionTest, AFileThatCannotBeWrittenNeverReachesTheController) {
    open("jig3");
    const std::string empty = dir.file("empty.bin");
    writeAllBytes(empty, {});
    const std::string fifo = dir.file("pipe.bin");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;
        std::string en;
    } cases[] = {
        {empty, "The file cannot be written: " + empty + ": the file is empty (WR_SIZE)"},
        {fifo, "The file cannot be written: " + fifo +
                   ": is a pipe (FIFO), not a regular file (WR_SIZE)"},
        {dir.path().string(), "The file cannot be written: " + dir.path().string() +
                                  ": is a directory, not a file (WR_SIZE)"},
        {dir.file("missing.bin"), "Error opening the file. (WR_OPN_DLG)"},
    };
    applyZti();
    const Bytes before = flash();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ui.clear();
        write(c.path);
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        EXPECT_TRUE(has(en(), c.en)) << lastLine();
        EXPECT_EQ(ru().size(), en().size());
        // The identity, then the failure byte: not even the connect command.
        EXPECT_EQ(hostBytes(), (Bytes{'B', 'O'}));
        EXPECT_FALSE(session->busy());
    }
    EXPECT_EQ(flash(), before);
}

TEST_F(IteSessionTest, AWriteThatFailsSaysWhereAndEndsWithO) {
    const Bytes image = iteImage(kIteFlash, 9);
    struct Case {
        const char* options;
        std::string en;
        std::string ru;
        // What the flash holds afterwards: untouched, or erased with the
        // first `chunks` chunks written.
        bool untouched;
        size_t chunks;
    } cases[] = {
        {"jig3,ite-refuse-register=1",
         "ITE we do not respond, check the connection and settings. MB powered? (T001)",
         "ITE мульт нам не отвечает, проверяйте соединение и настройки выводов. MB запитана? "
         "(T001)",
         true, 0},
        {"jig2=ITE,ite-refuse-register=17",
         "ITE we do not respond, check the connection and settings. MB powered? (T017)",
         "ITE мульт нам не отвечает, проверяйте соединение и настройки выводов. MB запитана? "
         "(T017)",
         false, 0},
        {"jig3,ite-refuse-address", "Protocol error while sending addresses in a flash.",
         "Ошибка протокола при отправке адреса во флеш.", false, 0},
        {"jig3,ite-refuse-chunk=3", "Error writing to flash or lost contact with ITE",
         "Ошибка записи во флеш или потеряна связь с ITE", false, 2},
        {"jig2=ITE,ite-refuse-chunk=1024", "Error writing to flash or lost contact with ITE",
         "Ошибка записи во флеш или потеряна связь с ITE", false, 1023},
        {"jig3,ite=absent",
         "ITE we do not respond, check the connection and settings. MB powered? (Wxxx)",
         "ITE мульт нам не отвечает, проверяйте соединение и настройки выводов. MB запитана? "
         "(Wxxx)",
         true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options);
        applyZti();
        const Bytes before = flash();
        writeAllBytes(dir.file("image.bin"), image);
        write(dir.file("image.bin"));
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        expectReport(c.ru, c.en);
        EXPECT_FALSE(has(en(), "WRITE complete."));
        EXPECT_EQ(hostBytes().back(), 'O');
        Bytes expected = before;
        if (!c.untouched) {
            expected.assign(kIteFlash, 0xFF);
            std::copy_n(image.begin(), c.chunks * 128, expected.begin());
        }
        EXPECT_EQ(flash(), expected);
        EXPECT_FALSE(session->busy());
    }
}

TEST_F(IteSessionTest, ASecondGenerationJigGoesOnWhateverItAnswersTheAddress) {
    open("jig2=ITE,ite-refuse-address");
    applyZti();
    const Bytes image = iteImage(kIteFlash, 1);
    writeAllBytes(dir.file("image.bin"), image);
    write(dir.file("image.bin"));
    // The chunks after a refused address are refused too: the JIG says so
    // on the first one.
    expectReport("Ошибка записи во флеш или потеряна связь с ITE",
                 "Error writing to flash or lost contact with ITE");
    const Bytes sent = hostBytes();
    const Bytes chunk = Bytes{'w'} + Bytes(image.begin(), image.begin() + 128);
    EXPECT_NE(std::search(sent.begin(), sent.end(), chunk.begin(), chunk.end()), sent.end());
}

TEST_F(IteSessionTest, SilenceAfterAChunkEndsWithinTheTimeout) {
    open("jig3,ite-silent-after-chunk=10", 300ms);
    applyZti();
    writeAllBytes(dir.file("image.bin"), iteImage(kIteFlash, 2));
    const auto start = std::chrono::steady_clock::now();
    write(dir.file("image.bin"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    expectReport("Кусок 11: программатор не ответил за 300 мс",
                 "Chunk 11: no answer from the programmer within 300 ms");
    expectReport("Ошибка записи во флеш или потеряна связь с ITE",
                 "Error writing to flash or lost contact with ITE");
    EXPECT_EQ(ui.gauge(kSpeedGauge), 10 * 128 / 512);
}

// --- while an operation runs ---

TEST_F(IteSessionTest, DuringAReadOtherPressesAreIgnoredAndExitThenClearsTheMemos) {
    open("jig3,speed=real");
    applyZti();
    ui.queueFile(dir.file("slow.bin"));
    session->ITE_READ_BitBtnClick();
    ASSERT_TRUE(session->busy());
    for (const char* b : kFourButtons) EXPECT_EQ(ui.enabled(b), false) << b;
    const size_t lines = ui.memoHistory(kEn).size();
    session->ITE_READ_BitBtnClick();
    session->ITE_WRITE_BitBtnClick();
    session->ITE_EXIT_BitBtnClick();
    session->ITE_CHECK_CON_BitBtnClick();
    session->ITE_SETUP_BitBtnClick();
    EXPECT_FALSE(ui.visible("TForm1"));
    EXPECT_LE(ui.memoHistory(kEn).size(), lines + 1);  // at most the worker's own line
    finish();
    EXPECT_EQ(session->lastOperationSucceeded(), true);

    session->ITE_EXIT_BitBtnClick();
    EXPECT_TRUE(ui.memo(kRu).empty());
    EXPECT_TRUE(ui.memo(kEn).empty());
    EXPECT_TRUE(ui.visible("TForm1"));
    EXPECT_EQ(ui.gauge(kReadGauge), 0);
}

TEST_F(IteSessionTest, StoppingAReadSendsOAndLetsTheLinkGo) {
    open("jig3,speed=real");
    applyZti();
    ui.queueFile(dir.file("stopped.bin"));
    session->ITE_READ_BitBtnClick();
    ASSERT_TRUE(session->busy());
    session->shutdown();
    EXPECT_FALSE(session->busy());
    EXPECT_EQ(session->lastOperationSucceeded(), false);
    EXPECT_EQ(hostBytes().back(), 'O');
    const auto lines = en();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find(": stopped, the program is closing") != std::string::npos;
    }));
}

}  // namespace
}  // namespace zjig::test
