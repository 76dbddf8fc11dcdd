// The ENE KB90XX session against the simulated JIG: the window's controls,
// the cable routing on the wire, and whole reads and writes on both JIG
// generations, checked against the simulated flash and the bytes the PC sent.
#include "kb901x_form/kb901x_session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "ene_test_support.h"
#include "jiglink/backends/backends.h"
#include "sim/sim_jig.h"
#include "support/mode_context.h"
#include "support/recorder_port.h"

namespace zjig::test {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

constexpr const char* kMemo = "KB901X_Memo";
constexpr const char* kGauge = "CGauge_KB901X";
constexpr size_t kFlash = 131072;

constexpr const char* kDatabase =
    "Board A LA-1234 KSO3=12 KSI4=5 KSI5=6 KSI6=7 KSI7=8\r\n"
    "Example FFC KSO3=1 KSI4=2 KSI5=3 KSI6=4 KSI7=9\r\n"
    "X KSO3=3 KSI4=10 KSI5=11 KSI6=12 KSI7=13\r\n"
    "\r\n"
    "Big pins KSO3=1 KSI4=2 KSI5=20 KSI6=4 KSI7=9\n"
    "Bad value KSO3=1,KSI4=2 KSI5=3 KSI6=4 KSI7=9\n"
    "No keys at all\n"
    "Unfinished KSO3=1 KSI4=2 KSI5=3 KSI6=4 KSI7=9";

constexpr const char* kBoardA = "Board A LA-1234 KSO3=12 KSI4=5 KSI5=6 KSI6=7 KSI7=8";
constexpr const char* kExample = "Example FFC KSO3=1 KSI4=2 KSI5=3 KSI6=4 KSI7=9";
constexpr const char* kMirrorX = "X KSO3=3 KSI4=10 KSI5=11 KSI6=12 KSI7=13";
constexpr const char* kBigPins = "Big pins KSO3=1 KSI4=2 KSI5=20 KSI6=4 KSI7=9";
constexpr const char* kBadValue = "Bad value KSO3=1,KSI4=2 KSI5=3 KSI6=4 KSI7=9";

Bytes bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }
Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes repeat(const Bytes& unit, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i) out = out + unit;
    return out;
}
Bytes slice(const Bytes& image, size_t from, size_t n) {
    return Bytes(image.begin() + static_cast<long>(from),
                 image.begin() + static_cast<long>(from + n));
}

// Memo lines with the clock taken out of the time lines.
std::vector<std::string> withoutClock(std::vector<std::string> lines) {
    for (auto& l : lines)
        if (l.rfind("Current time  ", 0) == 0) l = "Current time  <t>";
    return lines;
}
bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}
// Position of a recorded call, or -1.
long callIndex(const std::vector<std::string>& calls, const std::string& call) {
    auto it = std::find(calls.begin(), calls.end(), call);
    return it == calls.end() ? -1 : static_cast<long>(it - calls.begin());
}

class EneSession : public ::testing::Test {
  protected:
    // A fresh simulated JIG with `options` and a session on it.
    void open(const std::string& options, std::optional<milliseconds> timeout = std::nullopt,
              bool withDatabase = true) {
        session.reset();
        std::string error;
        sim = std::shared_ptr<sim::SimDevice>(sim::SimDevice::create(options, error));
        ASSERT_TRUE(sim) << error;
        devices = std::make_unique<DeviceList>();
        devices->addPort(makeSimPort(sim, options));
        if (withDatabase) writeFile(dir.file("MB connection ENE.txt"), kDatabase);
        ui.clear();
        session = std::make_unique<Kb901xSession>(
            modeContext(LinkEnv{devices.get(), timeout}, ui, dir.file("")));
        session->FormCreate();
    }
    void choose(const std::string& board, const std::string& cable, bool oneToOne = true) {
        session->ComboBox_KB901XSelect(board);
        session->ComboBox_KB901X_FFCSelect(cable);
        if (!oneToOne) session->CheckBox_KB901XClick(false);
    }
    Bytes hostBytes() { return sim->jig().takeHostBytes(); }
    std::vector<std::string> memo() const { return withoutClock(ui.memo(kMemo)); }
    void finish() { ASSERT_TRUE(session->waitIdle(60s)) << "the operation did not end"; }

    // Reads the whole flash into `path`.
    void read(const std::string& path) {
        ui.queueFile(path);
        session->KB901X_READClick();
        finish();
    }
    void write(const std::string& path) {
        ui.queueFile(path);
        session->KB901X_WRITEClick();
        finish();
    }

    TempDir dir;
    RecorderPort ui;
    std::shared_ptr<sim::SimDevice> sim;
    std::unique_ptr<DeviceList> devices;
    std::unique_ptr<Kb901xSession> session;
};

// --- the window's controls ---

TEST_F(EneSession, FormCreateFillsTheListsFromTheDatabase) {
    open("jig3");
    EXPECT_EQ(ui.items("ComboBox_KB901X"),
              (std::vector<std::string>{kBoardA, kExample, kMirrorX, "", kBigPins, kBadValue,
                                        "No keys at all"}));
    EXPECT_EQ(ui.items("ComboBox_KB901X_FFC"),
              (std::vector<std::string>{"18 pin", "20 pin", "24 pin", "25 pin", "26 pin", "28 pin",
                                        "30 pin", "32 pin"}));
    for (const char* control : {"ComboBox_KB901X", "ComboBox_KB901X_FFC", "CheckBox_KB901X"})
        EXPECT_EQ(ui.enabled(control), true) << control;
    EXPECT_EQ(ui.text("ComboBox_KB901X"), "Select MB");
    EXPECT_EQ(ui.text("ComboBox_KB901X_FFC"), "Select FFC cable you used");
    EXPECT_EQ(ui.text("Label_result"), "");
    EXPECT_EQ(ui.colour("ComboBox_KB901X"), kYellow);
    EXPECT_EQ(ui.colour("ComboBox_KB901X_FFC"), kYellow);
    EXPECT_EQ(ui.gaugeMax(kGauge), 32768);
    EXPECT_FALSE(session->routingApplied());
}

TEST_F(EneSession, MissingDatabaseLeavesTheListsDisabled) {
    open("jig3", std::nullopt, false);
    EXPECT_EQ(ui.text("Label_result"), "Create base of connections KB90XX !");
    for (const char* control : {"ComboBox_KB901X", "ComboBox_KB901X_FFC", "CheckBox_KB901X"})
        EXPECT_EQ(ui.enabled(control), false) << control;
    EXPECT_EQ(ui.colour("ComboBox_KB901X"), kButtonFace);
    EXPECT_EQ(ui.colour("ComboBox_KB901X_FFC"), kButtonFace);
    EXPECT_TRUE(ui.items("ComboBox_KB901X").empty());
}

TEST_F(EneSession, SelectionsShowTheWiringHelpOrWhatIsWrong) {
    struct Case {
        const char* board;
        const char* cable;
        bool oneToOne;
        const char* label;
    } cases[] = {
        {kBoardA, "18 pin", true, "Please connect GND and:  A12 B5 C8 D7 E6 (only for JIG 2)"},
        {kMirrorX, "18 pin", false, "Please connect GND and:  A16 B9 C6 D7 E8 (only for JIG 2)"},
        {kBigPins, "18 pin", true, "Please select big pins FFC!"},
        {kBigPins, "20 pin", true, "Please connect GND and:  A1 B2 C9 D4 E20 (only for JIG 2)"},
        {"Big KSI6 KSO3=1 KSI4=2 KSI5=3 KSI6=19 KSI7=9", "18 pin", true,
         "Please select big pins FFC!"},
        {kBadValue, "32 pin", true, "Error data format!"},
        {"No keys at all", "32 pin", true, "Error data format!"},
        {"", "32 pin", true, "Error data format!"},
    };
    open("jig3");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.board);
        session->CheckBox_KB901XClick(true);
        choose(c.board, c.cable, c.oneToOne);
        EXPECT_EQ(ui.text("Label_result"), c.label);
    }
    EXPECT_EQ(ui.colour("ComboBox_KB901X"), kButtonFace);
    EXPECT_EQ(ui.colour("ComboBox_KB901X_FFC"), kButtonFace);
    EXPECT_TRUE(hostBytes().empty());
}

TEST_F(EneSession, LabelWaitsForBothSelectionsAndFollowsTheCheckBox) {
    open("jig3");
    session->CheckBox_KB901XClick(false);
    session->ComboBox_KB901XSelect(kMirrorX);
    EXPECT_EQ(ui.text("Label_result"), "");  // no cable yet
    session->ComboBox_KB901X_FFCSelect("18 pin");
    EXPECT_EQ(ui.text("Label_result"), "Please connect GND and:  A16 B9 C6 D7 E8 (only for JIG 2)");
    session->CheckBox_KB901XClick(true);
    EXPECT_EQ(ui.text("Label_result"),
              "Please connect GND and:  A3 B10 C13 D12 E11 (only for JIG 2)");
}

// --- apply ---

TEST_F(EneSession, ApplySendsTheRoutingByteExact) {
    open("jig3,ene-ffc=1:2:3:4:9");
    choose(kExample, "18 pin");
    session->SpeedButton1Click();

    const Bytes routing = {0x53, 0x57, 0x24, 0x03, 0x53, 0x57, 0x20, 0x09, 0x53, 0x57, 0x25,
                           0x00, 0x53, 0x57, 0x21, 0x00, 0x53, 0x57, 0x26, 0x00, 0x53, 0x57,
                           0x22, 0x00, 0x53, 0x57, 0x27, 0x00, 0x53, 0x57, 0x23, 0x00, 0x53,
                           0x57, 0x10, 0x0F, 0x53, 0x57, 0x11, 0x00, 0x53, 0x57, 0x12, 0x00,
                           0x53, 0x57, 0x13, 0x00, 0x53, 0x57, 0x40, 0x88, 0x49};
    EXPECT_EQ(hostBytes(), bytes("BSR") + routing);
    const auto regs = sim->jig().cpldRegisters();
    EXPECT_EQ(regs[0x10], 0x0F);
    EXPECT_EQ(regs[0x24], 0x03);
    EXPECT_EQ(regs[0x20], 0x09);
    EXPECT_EQ(regs[0x40], 0x88);
    EXPECT_FALSE(sim->jig().cpldWireMode());

    EXPECT_EQ(memo(), (std::vector<std::string>{
                          "",
                          "User select --> " + std::string(kExample) + " (18 pin FFC) 1 to 1 ",
                          "Number of VCOM ports found on the machine: 1",
                          "Version FW -> M328_EPM240_v16  ",
                          "Communication with programmer installed.",
                          "Settings sent successfully!",
                          "Check GND. Connect the motherboard power adapter.",
                          "We are ready for reading or writing",
                      }));
    EXPECT_TRUE(session->routingApplied());
    EXPECT_EQ(session->lastOperationSucceeded(), true);

    // With the routing applied a read goes without the wire-mode reset, and
    // the controller answers through the cable.
    const std::string file = dir.file("through cable.bin");
    read(file);
    EXPECT_EQ(readAll(file), sim->jig().eneFlash());
    const Bytes sent = hostBytes();
    EXPECT_EQ(slice(sent, 0, 7), bytes("BKVIKR?"));
    EXPECT_FALSE(hasLine(memo(), "WARNING !!! The default mode for SOLDERING WIRES."));
}

// A record holding NUL and ESC is shown whole, its control bytes escaped.
TEST_F(EneSession, RecordWithControlBytesIsShownEscaped) {
    open("jig3");
    const std::string record("Board\0Z\x1B[2J KSO3=1 KSI4=2 KSI5=3 KSI6=4 KSI7=9", 46);
    ASSERT_EQ(record.back(), '9');
    choose(record, "18 pin");
    session->SpeedButton1Click();
    EXPECT_TRUE(hasLine(memo(),
                        "User select --> Board\\x00Z\\x1B[2J KSO3=1 KSI4=2 KSI5=3 "
                        "KSI6=4 KSI7=9 (18 pin FFC) 1 to 1 "))
        << ::testing::PrintToString(memo());
    EXPECT_EQ(session->lastOperationSucceeded(), true);
}

TEST_F(EneSession, ApplyingMirroredTwiceSendsTheSameRouting) {
    // Record pins 3, 10, 11, 12, 13 on an 18-pin cable turned over arrive at
    // cable pins 16, 9, 8, 7, 6.
    open("jig3,ene-ffc=16:9:8:7:6");
    choose(kMirrorX, "18 pin", false);
    session->SpeedButton1Click();
    const Bytes first = hostBytes();
    session->SpeedButton1Click();
    const Bytes second = hostBytes();
    EXPECT_EQ(first, second);
    EXPECT_TRUE(
        hasLine(memo(), "User select --> " + std::string(kMirrorX) + " (18 pin FFC) mirrored"));
    // KSI7 (D_FROM_ENE) on cable pin 6.
    EXPECT_EQ(sim->jig().cpldRegisters()[0x40], 0x80 | 5);
    // The controller answers through that routing.
    ui.queueFile(std::nullopt);
    session->KB901X_READClick();
    EXPECT_TRUE(hasLine(memo(), "Embedded Debug Version ID = 12"));
}

TEST_F(EneSession, ApplyRefusesWithoutSendingAnything) {
    struct Case {
        const char* board;  // nullptr: none selected
        const char* cable;
        const char* line;
    } cases[] = {
        {nullptr, "18 pin", "Please select MB!"},
        {kExample, nullptr, "Select FFC cable you used!"},
        {"No keys at all", "18 pin", "Please select MB!"},
        {kBadValue, "32 pin", "Error data format!"},
        {"KS but no pins", "32 pin", "Error data format!"},
        {kBigPins, "18 pin", "Please select big pins FFC!"},
        {"Big KSI6 KSO3=1 KSI4=2 KSI5=3 KSI6=19 KSI7=9", "18 pin", "Please select big pins FFC!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        open("jig3");
        // A good record parsed first: its pins must not be sent for a bad one.
        if (c.board && c.cable) choose(kExample, "32 pin");
        if (c.board) session->ComboBox_KB901XSelect(c.board);
        if (c.cable) session->ComboBox_KB901X_FFCSelect(c.cable);
        session->SpeedButton1Click();
        EXPECT_EQ(memo(), (std::vector<std::string>{c.line}));
        EXPECT_TRUE(hostBytes().empty());
        EXPECT_FALSE(session->routingApplied());
        EXPECT_EQ(session->lastOperationSucceeded(), false);
    }
}

TEST_F(EneSession, ApplyWithASecondGenerationJigSendsNoCpldBytes) {
    open("jig2");
    choose(kExample, "18 pin");
    session->SpeedButton1Click();
    EXPECT_EQ(hostBytes(), bytes("B"));
    EXPECT_EQ(memo().back(), "Not for this version JIG!");
    EXPECT_FALSE(session->routingApplied());
    EXPECT_EQ(session->lastOperationSucceeded(), false);
    // The link was let go: the next press can connect again.
    session->SpeedButton1Click();
    EXPECT_EQ(hostBytes(), bytes("B"));
}

TEST_F(EneSession, NoJigOrOtherFirmwareEndsThePressAfterConnecting) {
    struct Case {
        const char* options;
        ConnectResult result;
        const char* line;
    } cases[] = {
        {"silent", ConnectResult::NoJig, "The programmer is not found or does not respond"},
        {"jig2=V42", ConnectResult::NeedsUpdate,
         "It is necessary to update the firmware programmer!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options);
        session->KB901X_READClick();
        EXPECT_EQ(memo().back(), c.line);
        EXPECT_EQ(session->lastConnectResult(), c.result);
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        EXPECT_EQ(hostBytes(), bytes("B"));
        const auto calls = ui.calls();
        EXPECT_TRUE(std::none_of(calls.begin(), calls.end(), [](const std::string& call) {
            return call.rfind("dialog ", 0) == 0;
        }));
    }
}

// --- read ---

TEST_F(EneSession, FullReadOnBothGenerationsEqualsTheFlash) {
    struct Case {
        const char* options;
        Bytes exchange;
        std::vector<std::string> lines;
    } cases[] = {
        {"jig3",
         bytes("BSRKVIKR") + repeat(bytes("?N"), 511) + bytes("?XI"),
         {"Number of VCOM ports found on the machine: 1", "Version FW -> M328_EPM240_v16  ",
          "Communication with programmer installed.", "-->",
          "WARNING !!! The default mode for SOLDERING WIRES.",
          "To work on a flexible cable (FFC) - select the MB and FFC!",
          "Communication with KB90XX installed.", "Embedded Debug Version ID = 12",
          "Save the file: ", "<file>", "Reading KB90XX ...", "Current time  <t>",
          "Reading completed successfully.", "Current time  <t>"}},
        {"jig2,ene-version=7",
         bytes("BVR") + repeat(bytes("N"), 511) + bytes("XI"),
         {"Number of VCOM ports found on the machine: 1", "Version FW -> PCB2_M88_V41  ",
          "Communication with programmer installed.", "Communication with KB90XX installed.",
          "Embedded Debug Version ID = 7", "Save the file: ", "<file>", "Reading KB90XX ...",
          "Current time  <t>", "Reading completed successfully.", "Current time  <t>"}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options);
        const std::string file = dir.file("dump.bin");
        for (auto& l : c.lines)
            if (l == "<file>") l = file;
        read(file);

        const Bytes dump = readAll(file);
        EXPECT_EQ(dump.size(), kFlash);
        EXPECT_TRUE(dump == sim->jig().eneFlash());
        EXPECT_TRUE(hostBytes() == c.exchange);
        EXPECT_EQ(memo(), c.lines);
        EXPECT_EQ(ui.gauge(kGauge), 32768);
        EXPECT_EQ(ui.colour(kGauge), kGreen);
        EXPECT_EQ(session->lastOperationSucceeded(), true);
        EXPECT_EQ(session->lastConnectResult(), ConnectResult::Accepted);
        // WRITE and EXIT are disabled before the first block and enabled at the end.
        const auto calls = ui.calls();
        const long disabled = callIndex(calls, "enable KB901X_WRITE 0");
        EXPECT_GE(disabled, 0);
        EXPECT_LT(disabled, callIndex(calls, "gauge CGauge_KB901X 64"));
        EXPECT_LT(disabled, callIndex(calls, "enable EXIT_KB901X 0") + 1);
        EXPECT_EQ(ui.enabled("KB901X_WRITE"), true);
        EXPECT_EQ(ui.enabled("EXIT_KB901X"), true);
        EXPECT_FALSE(session->busy());
    }
}

TEST_F(EneSession, ReadRefusedAfterBlockThreeKeepsThreeBlocks) {
    open("jig3,ene-fail-read=3");
    const std::string file = dir.file("dump.bin");
    read(file);
    EXPECT_TRUE(readAll(file) == slice(sim->jig().eneFlash(), 0, 768));
    const auto lines = memo();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Lost Communication with ENE or timeout!");
    EXPECT_EQ(lines.back(), "Current time  <t>");
    EXPECT_TRUE(endsWith(hostBytes(), bytes("?N?N?XO")));
    EXPECT_EQ(session->lastOperationSucceeded(), false);
    EXPECT_EQ(ui.gauge(kGauge), 3 * 64);
}

TEST_F(EneSession, JigSilentInTheMiddleOfAReadEndsAtTheBound) {
    open("jig3,ene-stall=3", 300ms);
    const std::string file = dir.file("dump.bin");
    read(file);
    EXPECT_EQ(readAll(file).size(), 768u);
    const auto lines = memo();
    EXPECT_TRUE(hasLine(lines, "Block 3 of 512: no answer from the programmer within 300 ms"));
    EXPECT_TRUE(hasLine(lines, "Lost Communication with ENE or timeout!"));
    EXPECT_TRUE(endsWith(hostBytes(), bytes("?XO")));
    EXPECT_EQ(session->lastOperationSucceeded(), false);
    EXPECT_EQ(ui.enabled("EXIT_KB901X"), true);
}

TEST_F(EneSession, AbsentControllerEndsBeforeTheDialog) {
    for (const char* options : {"jig3,ene=absent", "jig2,ene=absent", "jig3,ene-version=255"}) {
        SCOPED_TRACE(options);
        open(options);
        session->KB901X_READClick();
        const auto lines = memo();
        const std::vector<std::string> tail(lines.end() - 4, lines.end());
        EXPECT_EQ(tail, (std::vector<std::string>{"", "No connection to the KB90XX!",
                                                  "Check the settings !",
                                                  "Motherboard is connected / powered ?"}));
        EXPECT_EQ(hostBytes().back(), 'O');
        EXPECT_EQ(callIndex(ui.calls(), "dialog SaveDialog_KB90 Save file"), -1);
        EXPECT_EQ(session->lastOperationSucceeded(), false);
    }
}

TEST_F(EneSession, CancelledSaveDialogClosesTheLinkWithoutEndOrResultByte) {
    struct Case {
        const char* options;
        Bytes exchange;
    } cases[] = {{"jig3", bytes("BSRKVI")}, {"jig2", bytes("BV")}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options);
        ui.queueFile(std::nullopt);
        session->KB901X_READClick();
        EXPECT_EQ(hostBytes(), c.exchange);
        const auto lines = memo();
        EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
                  (std::vector<std::string>{"Write to file is interrupted.", ""}));
        EXPECT_FALSE(session->busy());
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        // The link is closed: a new press connects afresh.
        ui.queueFile(std::nullopt);
        session->KB901X_READClick();
        EXPECT_EQ(hostBytes().front(), 'B');
    }
}

TEST_F(EneSession, FileThatCannotBeCreatedGivesTheErrorDialog) {
    const std::string fifo = dir.file("pipe.bin");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        std::string problem;
    } cases[] = {
        {dir.file("no such folder/dump.bin"),
         dir.file("no such folder/dump.bin.part") + ": No such file or directory"},
        // Refused at once: opening a FIFO would wait for a reader for ever.
        {fifo, fifo + ": is a pipe (FIFO), not a regular file"},
        {dir.file(""), dir.file("") + ": is a directory, not a file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        open("jig2");
        ui.queueFile(c.path);
        session->KB901X_READClick();
        EXPECT_EQ(ui.messages(),
                  (std::vector<std::string>{"error: Ошибка создания файла.\n" + c.problem}));
        EXPECT_FALSE(session->busy());
        EXPECT_EQ(hostBytes(), bytes("BV"));
        EXPECT_EQ(session->lastOperationSucceeded(), false);
    }
}

TEST_F(EneSession, AFailedReadNeverDestroysTheFileItWouldReplace) {
    const Bytes old = patternImage(kFlash, 9);
    const struct {
        const char* name;
        bool existed;
        const char* options;
        size_t blocksRead;
        std::string file = "dump.bin";
        // How the warning names it: control bytes escaped.
        std::string shown = "dump.bin";
    } cases[] = {
        {"existing file, fails at block 3", true, "jig3,ene-fail-read=3", 3},
        {"existing file, fails at block 1", true, "jig3,ene-fail-read=1", 1},
        {"new file, fails at block 3", false, "jig3,ene-fail-read=3", 3},
        {"existing file, read succeeds", true, "jig3", 512},
        {"existing file named with ESC, fails at block 2", true, "jig3,ene-fail-read=2", 2,
         "a\x1B[2Jb.bin", "a\\x1B[2Jb.bin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        open(c.options);
        const std::string file = dir.file(c.file);
        std::remove(file.c_str());
        std::remove((file + ".part").c_str());
        if (c.existed) writeAll(file, old);
        read(file);

        const bool ok = c.blocksRead == 512;
        EXPECT_EQ(session->lastOperationSucceeded(), ok);
        const Bytes read = slice(sim->jig().eneFlash(), 0, c.blocksRead * 256);
        if (ok) {
            EXPECT_TRUE(readAll(file) == sim->jig().eneFlash());
            EXPECT_FALSE(std::filesystem::exists(file + ".part"));
            EXPECT_TRUE(ui.messages().empty());
        } else if (c.existed) {
            // The old dump byte for byte; the blocks read wait in FILE.part.
            EXPECT_TRUE(readAll(file) == old);
            EXPECT_TRUE(readAll(file + ".part") == read);
            ASSERT_EQ(ui.messages().size(), 1u);
            const std::string shown = dir.file(c.shown);
            EXPECT_NE(
                ui.messages()[0].find("warning: The read failed; " + shown + " is left as it was"),
                std::string::npos)
                << ui.messages()[0];
            EXPECT_NE(ui.messages()[0].find(shown + ".part"), std::string::npos);
        } else {
            EXPECT_TRUE(readAll(file) == read);
            EXPECT_FALSE(std::filesystem::exists(file + ".part"));
            EXPECT_TRUE(ui.messages().empty());
        }
    }
}

TEST_F(EneSession, PressesWhileAnOperationRunsChangeNothing) {
    // The routing is applied, then a read hangs after its first block.
    open("jig3,ene-ffc=1:2:3:4:9,ene-stall=1", 600s);
    choose(kExample, "18 pin");
    session->SpeedButton1Click();
    ASSERT_TRUE(session->routingApplied());
    const std::string file = dir.file("dump.bin");
    ui.queueFile(file);
    session->KB901X_READClick();
    ASSERT_TRUE(eventually([&] { return ui.gauge(kGauge) == 64; }));
    ASSERT_TRUE(session->busy());
    // The block read so far is on disk already (in the dump's ".part" until the
    // read succeeds), not held back until the end.
    EXPECT_EQ(readAll(file + ".part").size(), 256u);
    hostBytes();
    const auto before = ui.calls();

    ui.queueFile(dir.file("other.bin"));
    session->KB901X_READClick();
    session->KB901X_WRITEClick();
    session->SpeedButton1Click();
    session->EXIT_KB901XClick();

    EXPECT_EQ(ui.calls(), before);
    EXPECT_TRUE(hostBytes().empty());
    EXPECT_TRUE(session->routingApplied());
    EXPECT_TRUE(session->busy());
    session->shutdown();
    EXPECT_FALSE(session->busy());
    EXPECT_EQ(readAll(file).size(), 256u);
}

TEST_F(EneSession, ExitWhenIdleClearsTheFlagAndGoesBackToTheMainWindow) {
    open("jig3,ene-ffc=1:2:3:4:9");
    choose(kExample, "18 pin");
    session->SpeedButton1Click();
    ASSERT_TRUE(session->routingApplied());
    session->EXIT_KB901XClick();
    EXPECT_FALSE(session->routingApplied());
    EXPECT_TRUE(ui.memo(kMemo).empty());
    EXPECT_TRUE(ui.visible("TForm1"));
    EXPECT_FALSE(ui.visible("TKB901X_forms"));
    EXPECT_EQ(ui.gauge(kGauge), 0);
}

// --- write ---

TEST_F(EneSession, WriteThenReadBackGivesTheImageOnBothGenerations) {
    for (const char* options : {"jig3", "jig2"}) {
        SCOPED_TRACE(options);
        open(options);
        const Bytes image = patternImage(kFlash, 3);
        const std::string file = dir.file("image.bin");
        writeAll(file, image);
        write(file);

        EXPECT_TRUE(sim->jig().eneFlash() == image);
        const auto lines = memo();
        EXPECT_TRUE(hasLine(lines, "Write in KB90XX file:"));
        EXPECT_TRUE(hasLine(lines, file));
        EXPECT_TRUE(hasLine(lines, "There is a writing KB90XX..."));
        EXPECT_EQ(lines[lines.size() - 2], "Writing and verify is OK !");
        EXPECT_EQ(lines.back(), "Current time  <t>");
        EXPECT_EQ(hostBytes().back(), 'I');
        EXPECT_EQ(session->lastOperationSucceeded(), true);
        EXPECT_EQ(ui.colour(kGauge), kYellow);
        EXPECT_EQ(ui.gauge(kGauge), 32768);
        EXPECT_EQ(ui.enabled("KB901X_READ"), true);
        EXPECT_EQ(ui.enabled("EXIT_KB901X"), true);

        const std::string back = dir.file("back.bin");
        read(back);
        EXPECT_TRUE(readAll(back) == image);
    }
}

TEST_F(EneSession, ThirdGenerationWriteExchange) {
    open("jig3");
    const Bytes image = patternImage(kFlash, 9);
    const std::string file = dir.file("image.bin");
    writeAll(file, image);
    write(file);

    Bytes expected = bytes("BSRKVKW");
    for (int block = 0; block < 512; ++block) {
        expected = expected + slice(image, block * 256u, 256);
        if (block < 511) expected = expected + bytes("N");
    }
    expected = expected + bytes("XKR") + repeat(bytes("R"), 511) + bytes("XI");
    EXPECT_TRUE(hostBytes() == expected);
    const auto lines = memo();
    EXPECT_TRUE(hasLine(lines, "Writing is completed ..."));
    EXPECT_TRUE(hasLine(lines, "Verification ..."));
}

TEST_F(EneSession, SecondGenerationVerifiesBySumAndCrc) {
    open("jig2");
    const std::string file = dir.file("ff.bin");
    writeAll(file, Bytes(kFlash, 0xFF));
    write(file);

    const auto lines = memo();
    const std::vector<std::string> expectedTail = {
        "Writing is completed successfully.", "**********************************",
        "SUMM of data from a file  -> 0000",  "CRC16 of data from a file -> 9401",
        "**********************************", "SUMM FLASH KB90XX -> 0000",
        "CRC16 FLASH KB90XX-> 9401",          "**********************************",
        "Writing and verify is OK !",         "Current time  <t>",
    };
    ASSERT_GE(lines.size(), expectedTail.size());
    EXPECT_EQ(
        std::vector<std::string>(lines.end() - static_cast<long>(expectedTail.size()), lines.end()),
        expectedTail);
    const Bytes sent = hostBytes();
    EXPECT_EQ(slice(sent, 0, 3), bytes("BVW"));
    EXPECT_TRUE(endsWith(sent, Bytes(256, 0xFF) + bytes("XSI")));
    EXPECT_TRUE(sim->jig().eneFlash() == Bytes(kFlash, 0xFF));
}

TEST_F(EneSession, ShortFileEndsAfterItsPaddedBlock) {
    struct Case {
        const char* options;
        size_t size;
        int fullBlocks;
    } cases[] = {{"jig3", 300, 1}, {"jig2", 65536, 256}, {"jig3", 200, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.options) + " " + std::to_string(c.size));
        open(c.options);
        const Bytes image = patternImage(c.size, 5);
        const std::string file = dir.file("short.bin");
        writeAll(file, image);
        write(file);

        Bytes padded = slice(image, c.fullBlocks * 256u, c.size - c.fullBlocks * 256u);
        padded.resize(256, 0xFF);
        Bytes expectedTail = padded + bytes("XI");
        if (c.fullBlocks > 0)
            expectedTail = slice(image, (c.fullBlocks - 1) * 256u, 256) + bytes("N") + expectedTail;
        EXPECT_TRUE(endsWith(hostBytes(), expectedTail));

        Bytes flash(kFlash, 0xFF);
        std::copy(image.begin(), image.end(), flash.begin());
        EXPECT_TRUE(sim->jig().eneFlash() == flash);
        const auto lines = memo();
        EXPECT_EQ(
            std::vector<std::string>(lines.end() - 3, lines.end()),
            (std::vector<std::string>{" __ Warning __", "Recorded file is less than 128*1024 byte",
                                      "Current time  <t>"}));
        EXPECT_FALSE(hasLine(lines, "Writing is completed ..."));
        EXPECT_EQ(session->lastOperationSucceeded(), true);
        EXPECT_EQ(ui.gauge(kGauge), c.fullBlocks * 64);
    }
}

TEST_F(EneSession, LongerFileIsCutAtTheFlashSize) {
    open("jig3");
    const Bytes image = patternImage(kFlash + 1000, 2);
    const std::string file = dir.file("long.bin");
    writeAll(file, image);
    write(file);
    EXPECT_TRUE(sim->jig().eneFlash() == slice(image, 0, kFlash));
    EXPECT_TRUE(hasLine(memo(), "Writing and verify is OK !"));
    EXPECT_EQ(session->lastOperationSucceeded(), true);
}

TEST_F(EneSession, OneCorruptedFlashByteFailsTheVerification) {
    struct Case {
        const char* options;
        Bytes tail;
    } cases[] = {
        // Address 1000 lies in block 4: the read-back stops there.
        {"jig3,ene-corrupt=1000", bytes("XKRRRRXO")},
        {"jig2,ene-corrupt=1000", bytes("XSO")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options);
        const std::string file = dir.file("image.bin");
        writeAll(file, patternImage(kFlash, 4));
        write(file);
        EXPECT_TRUE(endsWith(hostBytes(), c.tail));
        const auto lines = memo();
        EXPECT_EQ(lines[lines.size() - 2], "!!! Data is written incorrectly !!! ");
        EXPECT_FALSE(hasLine(lines, "Writing and verify is OK !"));
        EXPECT_EQ(session->lastOperationSucceeded(), false);
    }
}

TEST_F(EneSession, BlockRefusedByTheJigStopsTheWrite) {
    open("jig3,ene-fail-write=5");
    const Bytes image = patternImage(kFlash, 6);
    const std::string file = dir.file("image.bin");
    writeAll(file, image);
    write(file);
    EXPECT_TRUE(endsWith(hostBytes(), slice(image, 4 * 256, 256) + bytes("XO")));
    const auto lines = memo();
    EXPECT_EQ(lines[lines.size() - 2], "!!! Lost Communication with ENE or timeout !!! ");
    EXPECT_EQ(session->lastOperationSucceeded(), false);
    EXPECT_EQ(ui.gauge(kGauge), 5 * 64);
}

TEST_F(EneSession, WriteDialogCancelledOrFileMissing) {
    open("jig2");
    ui.queueFile(std::nullopt);
    session->KB901X_WRITEClick();
    EXPECT_EQ(memo().back(), "Write operation is interrupted.");
    EXPECT_EQ(hostBytes(), bytes("BV"));
    EXPECT_EQ(callIndex(ui.calls(), "dialog OpenDialog_KB90 Read file") >= 0, true);

    ui.queueFile(dir.file("missing.bin"));
    session->KB901X_WRITEClick();
    EXPECT_EQ(ui.messages(),
              (std::vector<std::string>{"error: Error open file!\n" + dir.file("missing.bin") +
                                        ": No such file or directory"}));
    EXPECT_EQ(hostBytes(), bytes("BV"));
    EXPECT_FALSE(session->busy());
    EXPECT_EQ(session->lastOperationSucceeded(), false);
}

TEST_F(EneSession, ImagesThatCannotBeWrittenAreRefusedBeforeTheFlashIsTouched) {
    // Each is refused after the chip check and before 'W' erases the flash.
    const std::string fifo = dir.file("pipe.bin");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    writeAll(dir.file("empty.bin"), {});
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {dir.file("empty.bin"), "the file is empty"},
        {fifo, "is a pipe (FIFO), not a regular file"},
        {dir.file(""), "is a directory, not a file"},
        {"/proc/self/mem", "Input/output error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        open("jig3");
        const Bytes before = sim->jig().eneFlash();
        ui.clear();
        ui.queueFile(c.path);
        session->KB901X_WRITEClick();
        EXPECT_FALSE(session->busy());
        const std::string shown = "error: Error open file!\n" + c.path + ": " + c.reason;
        EXPECT_EQ(ui.messages(), std::vector<std::string>{shown});
        EXPECT_EQ(hostBytes(), bytes("BSRKV"));
        EXPECT_EQ(sim->jig().eneFlash(), before);
        EXPECT_EQ(session->lastOperationSucceeded(), false);
    }
}

TEST_F(EneSession, ImageOfAnotherSizeWarnsHowManyBytesArePaddedOrDropped) {
    const struct {
        size_t size;
        std::string warning;
    } cases[] = {
        {300,
         " is 300 bytes, 130772 bytes shorter than the flash (131072 bytes); the rest is "
         "padded with FF."},
        {kFlash + 5,
         " is 131077 bytes, 5 bytes longer than the flash (131072 bytes); the bytes "
         "beyond it are dropped."},
        {kFlash, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        open("jig3");
        ui.clear();
        const std::string file = dir.file("image.bin");
        writeAll(file, patternImage(c.size, 3));
        write(file);
        const auto expected = c.warning.empty()
                                  ? std::vector<std::string>{}
                                  : std::vector<std::string>{"warning: " + file + c.warning};
        EXPECT_EQ(ui.messages(), expected);
        EXPECT_EQ(session->lastOperationSucceeded(), true);
        Bytes flash = patternImage(std::min(c.size, kFlash), 3);
        flash.resize(kFlash, 0xFF);
        EXPECT_TRUE(sim->jig().eneFlash() == flash);
        // The warning is a dialog, never a memo line.
        for (const auto& line : memo()) EXPECT_EQ(line.find("bytes"), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace zjig::test
