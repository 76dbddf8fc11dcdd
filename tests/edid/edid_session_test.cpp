// The EDID EEPROM session against the simulated JIG (both generations, the
// panel's faults) and a scripted one: memo lines, the bytes on the wire, the
// file saved and the EEPROM written.
#include "edid/edid_session.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "edid/edid_image.h"
#include "jiglink/backends/backends.h"
#include "piecewise_edid_jig.h"
#include "sim/sim_jig.h"
#include "support/mode_context.h"
#include "support/recorder_port.h"
#include "support/temp_dir.h"

namespace zjig::test {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

constexpr const char* kMemo = "EDID_Memo";
constexpr const char* kReadNoAnswer = "EEPROM does not respond, check the connection !!!";
constexpr const char* kWriteFailed = "EEPROM does not respond, or write error! WP 7 pin = '0' ?";

Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes pattern(size_t size, uint8_t seed) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * 11 + seed);
    return b;
}
std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }
std::vector<std::string> hexView(const Bytes& image) {
    edid::EepromImage a;
    std::copy_n(image.begin(), a.size(), a.begin());
    return edid::hexViewLines(a);
}
std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

const std::vector<std::string> kConnectedJig3 = {"Number of VCOM ports found on the machine: 1",
                                                 "Version FW -> M328_EPM240_v16  ",
                                                 "Communication with programmer installed."};
const std::vector<std::string> kConnectedJig2 = {"Number of VCOM ports found on the machine: 1",
                                                 "Version FW -> PCB2_M88_V41  ",
                                                 "Communication with programmer installed."};

class EdidSessionTest : public ::testing::Test {
  protected:
    void open(const std::string& options, std::optional<milliseconds> timeout = std::nullopt,
              const std::atomic<bool>* abort = nullptr) {
        session.reset();
        std::string error;
        sim = std::shared_ptr<sim::SimDevice>(sim::SimDevice::create(options, error));
        ASSERT_TRUE(sim) << error;
        devices = std::make_unique<DeviceList>();
        devices->addPort(makeSimPort(sim, options));
        ui.clear();
        LinkEnv env{devices.get(), timeout, abort};
        session = std::make_unique<EdidSession>(modeContext(env, ui));
        session->FormCreate();
    }
    Bytes hostBytes() { return sim->jig().takeHostBytes(); }
    Bytes eeprom() { return sim->jig().edidEeprom(); }
    std::vector<std::string> memo() const { return ui.memo(kMemo); }
    std::optional<bool> outcome() const { return session->lastOperationSucceeded(); }

    // A cancelled dialog where `path` is empty.
    void read(const std::string& path = {}) {
        if (path.empty())
            ui.queueFile(std::nullopt);
        else
            ui.queueFile(path);
        session->EDID_READClick();
    }
    void write(const std::string& path = {}) {
        if (path.empty())
            ui.queueFile(std::nullopt);
        else
            ui.queueFile(path);
        session->EDID_WRITEClick();
    }
    std::string file(const std::string& name) const { return dir.file(name); }

    TempDir dir;
    RecorderPort ui;
    std::shared_ptr<sim::SimDevice> sim;
    std::unique_ptr<DeviceList> devices;
    std::unique_ptr<EdidSession> session;
};

// --- read ---

TEST_F(EdidSessionTest, ReadShowsTheDumpAndSavesItOnBothGenerations) {
    for (const char* options : {"jig3", "jig2"}) {
        SCOPED_TRACE(options);
        open(options);
        const Bytes content = pattern(256, options[3]);
        ASSERT_TRUE(sim->jig().setEdidEeprom(content));
        const std::string path = file(std::string("dump ") + options + ".bin");
        read(path);

        EXPECT_EQ(text(hostBytes()), "BErI");
        const auto& connected = options == std::string("jig3") ? kConnectedJig3 : kConnectedJig2;
        const auto expected =
            connected +
            Lines{"Reading EEPROM ...", "Reading from the EEPROM is completed successfully."} +
            hexView(content) + Lines{"", "Save the file: ", path};
        EXPECT_EQ(memo(), expected);
        EXPECT_EQ(bytes(readFile(path)), content);
        EXPECT_EQ(outcome(), true);
        EXPECT_FALSE(fs::exists(path + ".part"));
        EXPECT_FALSE(session->busy());
    }
    // The save dialog as the window shows it.
    const auto calls = ui.calls();
    EXPECT_TRUE(hasLine(calls, "dialog SaveDialog1 Укажите имя файла для сохранения."));
}

TEST_F(EdidSessionTest, ReadReplacesAnExistingFileAndShowsTheSummary) {
    open("jig3");
    const std::string path = file("panel.bin");
    writeFile(path, "old dump");
    read(path);
    EXPECT_EQ(bytes(readFile(path)), eeprom());
    EXPECT_EQ(ui.text("Label_EDID_info"),
              "EDID header: present\nChecksum of bytes 0-127: valid\nManufacturer: ZVX\n"
              "Product code: 156Fh");
    // The next operation starts afresh.
    write();
    EXPECT_EQ(ui.text("Label_EDID_info"), "");
}

TEST_F(EdidSessionTest, ReadAnsweredErSavesNothing) {
    open("jig3,edid=absent");
    session->EDID_READClick();
    const auto expected = kConnectedJig3 + Lines{"Reading EEPROM ...", kReadNoAnswer, ""};
    EXPECT_EQ(memo(), expected);
    EXPECT_EQ(text(hostBytes()), "BErO");
    EXPECT_EQ(outcome(), false);
    EXPECT_FALSE(hasLine(ui.calls(), "dialog SaveDialog1 Укажите имя файла для сохранения."));
}

TEST_F(EdidSessionTest, ReadWithAnotherStatusEndsSilently) {
    open("jig2,edid-status=NO");
    session->EDID_READClick();
    EXPECT_EQ(memo().back(), "Reading EEPROM ...");
    EXPECT_EQ(text(hostBytes()), "BEr") << "no result byte";
    EXPECT_FALSE(hasLine(ui.calls(), "dialog SaveDialog1 Укажите имя файла для сохранения."));
    EXPECT_EQ(outcome(), false);
}

TEST_F(EdidSessionTest, SaveDialogCancelledKeepsTheHexView) {
    open("jig3");
    read();
    const auto lines = memo();
    EXPECT_EQ(lines.back(), "Write to file is interrupted.");
    EXPECT_TRUE(hasLine(lines, hexView(eeprom())[1]));
    EXPECT_EQ(text(hostBytes()), "BErI") << "the EEPROM was read and the JIG told so";
    EXPECT_EQ(outcome(), false);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(EdidSessionTest, AFileThatCannotBeCreatedIsAnErrorDialog) {
    open("jig3");
    const std::string path = file("no folder/dump.bin");
    read(path);
    const auto messages = ui.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              "error: Ошибка создания файла.\n" + path + ".part: No such file or directory");
    EXPECT_EQ(memo().back(), "");
    EXPECT_EQ(outcome(), false);
}

// The disk takes only part of the dump: the file is not left half written.
TEST_F(EdidSessionTest, ADumpTheDiskRefusedIsRemovedAndTheOldFileKept) {
    open("jig3");
    const std::string path = file("panel.bin");
    writeFile(path, "old dump");
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    read(path);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);

    const auto messages = ui.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("error: Ошибка создания файла.\n" + path + ".part: ", 0), 0u)
        << messages[0];
    EXPECT_EQ(readFile(path), "old dump");
    EXPECT_FALSE(fs::exists(path + ".part"));
    EXPECT_EQ(memo().back(), "");
    EXPECT_TRUE(hasLine(memo(), hexView(eeprom())[16])) << "the dump stays in the memo";
    EXPECT_EQ(outcome(), false);
}

// --- write ---

TEST_F(EdidSessionTest, WriteStoresTheFileOnBothGenerations) {
    for (const char* options : {"jig3", "jig2"}) {
        SCOPED_TRACE(options);
        open(options);
        const Bytes image = pattern(256, 0x40);
        const std::string path = file("image.bin");
        writeFile(path, text(image));
        write(path);

        EXPECT_EQ(hostBytes(), bytes("BEw") + image + bytes("I"));
        EXPECT_EQ(eeprom(), image);
        const auto& connected = options == std::string("jig3") ? kConnectedJig3 : kConnectedJig2;
        const auto expected = connected + Lines{"Writing EEPROM ..."} + hexView(image) +
                              Lines{"", "Writing data to EEPROM is completed successfully."};
        EXPECT_EQ(memo(), expected);
        EXPECT_TRUE(ui.messages().empty());
        EXPECT_EQ(outcome(), true);
    }
    EXPECT_TRUE(hasLine(ui.calls(), "dialog OpenDialog1 Укажите файл за заливки."));
}

TEST_F(EdidSessionTest, ShortFilesArePaddedAndLongOnesCutWithAWarning) {
    struct Case {
        size_t size;
        const char* warning;
    } cases[] = {
        {128,
         " is 128 bytes, 128 bytes shorter than the EEPROM (256 bytes); the rest is "
         "padded with FF."},
        {300,
         " is 300 bytes, 44 bytes longer than the EEPROM (256 bytes); the bytes beyond it "
         "are dropped."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        open("jig3");
        const Bytes data = pattern(c.size, 1);
        const std::string path = file("image.bin");
        writeFile(path, text(data));
        write(path);
        Bytes expected(256, 0xFF);
        std::copy_n(data.begin(), std::min<size_t>(256, c.size), expected.begin());
        EXPECT_EQ(eeprom(), expected);
        EXPECT_EQ(ui.messages(), std::vector<std::string>{"warning: " + path + c.warning});
        EXPECT_EQ(outcome(), true);
        if (c.size == 128) {
            const auto lines = memo();
            // The last eight rows of the hex view, before the empty line and the result.
            for (size_t row = lines.size() - 10; row < lines.size() - 2; ++row)
                EXPECT_EQ(lines[row],
                          ": FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ................");
        }
    }
}

TEST_F(EdidSessionTest, WriteProtectedEepromIsLeftAsItWas) {
    open("jig3,edid-wp");
    const Bytes before = eeprom();
    const std::string path = file("image.bin");
    writeFile(path, text(pattern(256, 2)));
    write(path);
    EXPECT_EQ(memo().back(), kWriteFailed);
    EXPECT_EQ(hostBytes().back(), 'O');
    EXPECT_EQ(eeprom(), before);
    EXPECT_EQ(outcome(), false);
}

TEST_F(EdidSessionTest, WriteWithAnotherStatusAddsNoLine) {
    open("jig2,edid-status=NO");
    const std::string path = file("image.bin");
    const Bytes image = pattern(256, 5);
    writeFile(path, text(image));
    write(path);
    EXPECT_EQ(memo().back(), "") << "the empty line after the hex view is the last";
    EXPECT_EQ(hostBytes(), bytes("BEw") + image) << "no result byte";
    EXPECT_EQ(outcome(), false);
}

// Files refused before anything reaches the EEPROM: only the identify goes out.
TEST_F(EdidSessionTest, RefusedFilesTouchNothing) {
    open("jig3");
    const std::string empty = file("empty.bin");
    writeFile(empty, "");
    const std::string folder = file("folder.bin");
    fs::create_directory(folder);
    const std::string fifo = file("pipe.bin");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;  // empty: the dialog is cancelled
        std::vector<std::string> memoTail;
        std::string message;
    } cases[] = {
        {"", {"Write operation is interrupted."}, ""},
        {empty, {"The file is empty, nothing written to the EEPROM."}, ""},
        {folder, {""}, "error: Ошибка открытия файла.\n" + folder + ": is a directory, not a file"},
        {fifo,
         {""},
         "error: Ошибка открытия файла.\n" + fifo + ": is a pipe (FIFO), not a regular file"},
        {file("missing.bin"),
         {""},
         "error: Ошибка открытия файла.\n" + file("missing.bin") + ": No such file or directory"},
    };
    const Bytes before = eeprom();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ui.clear();
        write(c.path);
        EXPECT_EQ(memo(), kConnectedJig3 + c.memoTail);
        EXPECT_EQ(ui.messages(), c.message.empty() ? std::vector<std::string>{}
                                                   : std::vector<std::string>{c.message});
        EXPECT_EQ(text(hostBytes()), "B");
        EXPECT_EQ(outcome(), false);
    }
    EXPECT_EQ(eeprom(), before);
}

// --- a JIG that falls silent or says too much ---

TEST_F(EdidSessionTest, SilenceEndsWithinTheTimeoutWithItsStepNamed) {
    const auto limit = 200ms;
    struct Case {
        const char* options;
        bool isRead;
        std::string detail;
        const char* failure;
    } cases[] = {
        {"jig3,edid-silent-read=0", true,
         "EEPROM read, 258 bytes: no answer from the programmer within 200 ms (0 of 258 bytes "
         "came)",
         kReadNoAnswer},
        {"jig2,edid-silent-read=100", true,
         "EEPROM read, 258 bytes: no answer from the programmer within 200 ms (100 of 258 bytes "
         "came)",
         kReadNoAnswer},
        {"jig3,edid-silent-read=257", true,
         "EEPROM read, 258 bytes: no answer from the programmer within 200 ms (257 of 258 bytes "
         "came)",
         kReadNoAnswer},
        {"jig3,edid-silent-write=ready", false,
         "EEPROM write, answer to E w: no answer from the programmer within 200 ms", kWriteFailed},
        {"jig2,edid-silent-write=status", false,
         "EEPROM write, status: no answer from the programmer within 200 ms", kWriteFailed},
    };
    const std::string image = file("image.bin");
    writeFile(image, text(pattern(256, 7)));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options, limit);
        const Bytes before = eeprom();
        const auto start = std::chrono::steady_clock::now();
        // A read that fails never reaches its save dialog.
        if (c.isRead)
            session->EDID_READClick();
        else
            write(image);
        // The default wait is 5 s: ending well before shows the user's limit held.
        EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
        const auto lines = memo();
        ASSERT_GE(lines.size(), 2u);
        const size_t tail = c.isRead ? 3 : 2;
        EXPECT_EQ(lines[lines.size() - tail], c.detail);
        EXPECT_EQ(lines[lines.size() - tail + 1], c.failure);
        EXPECT_EQ(hostBytes().back(), 'O');
        EXPECT_FALSE(hasLine(ui.calls(), "dialog SaveDialog1 Укажите имя файла для сохранения."));
        EXPECT_EQ(eeprom(), before);
        EXPECT_EQ(outcome(), false);
    }
}

TEST_F(EdidSessionTest, SurplusBytesAfterTheReadAreDroppedAfterTheWriteAnswerRefused) {
    open("jig3,edid-surplus=5");
    const std::string dump = file("dump.bin");
    read(dump);
    EXPECT_EQ(bytes(readFile(dump)), eeprom()) << "the status is bytes 257 and 258";
    EXPECT_EQ(outcome(), true);

    open("jig3,edid-surplus=5");
    const Bytes before = eeprom();
    const std::string image = file("image.bin");
    writeFile(image, text(pattern(256, 9)));
    write(image);
    const auto lines = memo();
    EXPECT_EQ(lines[lines.size() - 2],
              "EEPROM write, answer to E w: the programmer sent more bytes than expected");
    EXPECT_EQ(lines.back(), kWriteFailed);
    EXPECT_EQ(text(hostBytes()), "BEwO") << "no data byte went out";
    EXPECT_EQ(eeprom(), before);
    EXPECT_EQ(outcome(), false);
}

TEST_F(EdidSessionTest, AStopEndsAWaitingReadAtOnce) {
    std::atomic<bool> abort{false};
    open("jig3,edid-silent-read=10", 10min, &abort);
    std::thread stopper([&] {
        std::this_thread::sleep_for(100ms);
        abort = true;
    });
    const auto start = std::chrono::steady_clock::now();
    session->EDID_READClick();
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(memo().back(), "EEPROM read, 258 bytes: stopped, the program is closing");
    EXPECT_EQ(hostBytes().back(), 'O');
    EXPECT_EQ(outcome(), false);
}

// --- connection ---

TEST_F(EdidSessionTest, NoJigOrAnotherFirmwareEndsAfterConnect) {
    struct Case {
        const char* options;
        ConnectResult result;
        const char* line;
    } cases[] = {
        {"silent", ConnectResult::NoJig, "-->  The programmer is not found or does not respond"},
        {"jig2=V42", ConnectResult::NeedsUpdate,
         "It is necessary to update the firmware programmer!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options);
        session->EDID_READClick();
        EXPECT_EQ(memo().back(), c.line);
        EXPECT_EQ(session->lastConnectResult(), c.result);
        EXPECT_EQ(text(hostBytes()), "B");
        EXPECT_EQ(outcome(), false);
    }
}

TEST_F(EdidSessionTest, ExitClearsTheMemoAndGoesBackToTheMainWindow) {
    open("jig3");
    read();
    session->EXIT_EDIDClick();
    EXPECT_TRUE(memo().empty());
    EXPECT_EQ(ui.text("Label_EDID_info"), "");
    EXPECT_TRUE(ui.visible("TForm1"));
    EXPECT_FALSE(ui.visible("TEDID_form"));
}

// --- a JIG whose answer comes in pieces ---

TEST(EdidPiecewiseRead, PiecesOfDifferentSizesGiveTheDataInOrder) {
    const Bytes data = pattern(256, 0x21);
    struct Case {
        Bytes answer;
        std::vector<size_t> pieces;
    } cases[] = {
        {data + bytes("OK"), {1, 100, 57, 2, 97, 1}},
        {data + bytes("OK") + Bytes(40, 0xEE), {130, 168}},  // more than asked
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pieces.size());
        PiecewiseEdidJig jig(c.answer, c.pieces);
        RecorderPort ui;
        TempDir dir;
        EdidSession session(modeContext(jig.env(), ui));
        const std::string path = dir.file("dump.bin");
        ui.queueFile(path);
        session.EDID_READClick();
        EXPECT_EQ(session.lastOperationSucceeded(), true);
        EXPECT_EQ(bytes(readFile(path)), data);
        for (uint32_t asked : jig.readsAsked()) EXPECT_LE(asked, 258u);
        EXPECT_EQ(text(jig.hostBytes()), "BErI");
    }
}

}  // namespace
}  // namespace zjig::test
