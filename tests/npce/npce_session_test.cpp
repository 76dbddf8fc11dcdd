// The Nuvoton SPI session against the simulated JIG: whole reads and writes on
// both JIG generations byte for byte, the flash and files they leave, the
// gauge, and every failure the simulated flash can be made to show.
#include "npce/npce_session.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <thread>

#include "jiglink/backends/backends.h"
#include "npce_test_support.h"
#include "sim/sim_jig.h"
#include "support/fake_port.h"
#include "support/mode_context.h"
#include "support/recorder_port.h"
#include "support/temp_dir.h"

namespace zjig::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kMemo = "NPCE_Memo";
constexpr const char* kGauge = "CGauge_NPCE";
constexpr size_t kFlash = 131072;
constexpr uint8_t kWriteEnd = 0x07;

Bytes first(bool jig3, uint8_t command) { return jig3 ? Bytes{'N', command} : Bytes{command}; }

// 'Z' and the 'I' that follows an accepted ID.
Bytes identification(bool jig3) { return Bytes{'B'} + first(jig3, 'Z') + Bytes{'I'}; }
// A read or a verify of the whole flash.
Bytes wholeRead(bool jig3) { return first(jig3, 'r') + repeat({'r'}, 255) + Bytes{'-'}; }
Bytes wholeWrite(bool jig3, const Bytes& image) {
    Bytes out = first(jig3, 'e') + first(jig3, 'x') + first(jig3, 'w') + slice(image, 0, 256);
    for (size_t chunk = 1; chunk < 512; ++chunk)
        out = out + Bytes{'w'} + slice(image, chunk * 256, 256);
    return out + Bytes{kWriteEnd};
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
// The lines after ConnectJig's acceptance.
std::vector<std::string> afterConnect(const std::vector<std::string>& lines) {
    auto it = std::find(lines.begin(), lines.end(), "Communication with programmer installed.");
    return it == lines.end() ? lines : std::vector<std::string>(it + 1, lines.end());
}

class NpceSession_ : public ::testing::Test {
  protected:
    // A fresh simulated JIG with `options` and a session on it.
    void open(const std::string& options, std::optional<milliseconds> timeout = std::nullopt) {
        std::string error;
        sim = std::shared_ptr<sim::SimDevice>(sim::SimDevice::create(options, error));
        ASSERT_TRUE(sim) << error;
        auto devices = std::make_unique<DeviceList>();
        devices->addPort(makeSimPort(sim, options));
        start(std::move(devices), timeout);
    }
    void start(std::unique_ptr<DeviceList> list, std::optional<milliseconds> timeout) {
        session.reset();
        devices = std::move(list);
        ui.clear();
        session = std::make_unique<NpceSession>(modeContext(LinkEnv{devices.get(), timeout}, ui));
        session->FormCreate();
    }
    Bytes hostBytes() { return sim->jig().takeHostBytes(); }
    Bytes flash() { return sim->jig().npceFlash(); }
    std::vector<std::string> memo() const { return withoutClock(ui.memo(kMemo)); }
    void finish() { ASSERT_TRUE(session->waitIdle(60s)) << "the operation did not end"; }

    void read(const std::string& path) {
        ui.queueFile(path);
        session->NPCE_READClick();
        finish();
    }
    void write(const std::string& path) {
        ui.queueFile(path);
        session->NPCE_WRITEClick();
        finish();
    }
    // An image in a file of its own.
    std::string imageFile(const Bytes& image, const std::string& name = "image.bin") {
        const std::string path = dir.file(name);
        writeBytes(path, image);
        return path;
    }
    // The gauge's colours and positions in order, e.g. "green", "0", "2", ...
    std::vector<std::string> gaugeTrack() const {
        std::vector<std::string> track;
        const std::string pos = std::string("gauge ") + kGauge + " ";
        const std::string colour = std::string("colour ") + kGauge + " ";
        for (const auto& call : ui.calls()) {
            if (call.rfind(pos, 0) == 0) track.push_back(call.substr(pos.size()));
            if (call.rfind(colour, 0) == 0) {
                const std::string rgb = call.substr(colour.size());
                track.push_back(rgb == "0,255,0"     ? "green"
                                : rgb == "255,0,0"   ? "red"
                                : rgb == "255,255,0" ? "yellow"
                                                     : rgb);
            }
        }
        return track;
    }
    void expectIdle() {
        EXPECT_FALSE(session->busy());
        for (const char* b : {"NPCE_READ", "NPCE_WRITE", "EXIT_NPCE"})
            EXPECT_NE(ui.enabled(b), false) << b;
    }

    TempDir dir;
    RecorderPort ui;
    std::shared_ptr<sim::SimDevice> sim;
    std::unique_ptr<DeviceList> devices;
    std::unique_ptr<NpceSession> session;
};

std::vector<std::string> counting(const char* colour, int step, int last) {
    std::vector<std::string> track{colour, "0"};
    for (int v = step; v <= last; v += step) track.push_back(std::to_string(v));
    return track;
}

struct Generation {
    const char* options;
    bool jig3;
};
const Generation kGenerations[] = {{"jig3", true}, {"jig2=NPCE", false}};

TEST_F(NpceSession_, WriteWithVerifyIsByteExactOnBothGenerations) {
    for (const auto& g : kGenerations) {
        SCOPED_TRACE(g.options);
        open(g.options);
        const Bytes image = randomImage(kFlash, 7);
        const std::string path = imageFile(image);
        write(path);

        EXPECT_EQ(session->lastOperationSucceeded(), true);
        EXPECT_TRUE(hostBytes() == identification(g.jig3) + wholeWrite(g.jig3, image) +
                                       wholeRead(g.jig3) + Bytes{'I'});
        EXPECT_TRUE(flash() == image);
        EXPECT_EQ(afterConnect(memo()),
                  (std::vector<std::string>{
                      "Communication with NPCE installed.", "ID FLASH EFh 4012h ",
                      "Write to NPCE file:", path, "Current time  <t>", "Erase ...",
                      "Check clear data ...", "All data is clear!", "Write ...", "Verify ...",
                      "Nuvoton chip is programmed succesfully!", "Current time  <t>"}));
        auto expected = counting("red", 1, 512);
        const auto verify = counting("yellow", 2, 512);
        expected.insert(expected.end(), verify.begin(), verify.end());
        EXPECT_EQ(gaugeTrack(), expected);
        EXPECT_TRUE(ui.messages().empty());
        expectIdle();
    }
}

TEST_F(NpceSession_, ReadIsByteExactOnBothGenerations) {
    for (const auto& g : kGenerations) {
        SCOPED_TRACE(g.options);
        open(g.options);
        const std::string path = dir.file("dump.bin");
        read(path);

        EXPECT_EQ(session->lastOperationSucceeded(), true);
        EXPECT_TRUE(hostBytes() == identification(g.jig3) + wholeRead(g.jig3) + Bytes{'I'});
        EXPECT_TRUE(readBytes(path) == flash());
        EXPECT_EQ(
            afterConnect(memo()),
            (std::vector<std::string>{"Communication with NPCE installed.", "ID FLASH EFh 4012h ",
                                      "Save the file: ", path, "Reading ...", "Current time  <t>",
                                      "Reading complete ...", "Current time  <t>"}));
        EXPECT_EQ(gaugeTrack(), counting("green", 2, 512));
        expectIdle();
    }
}

TEST_F(NpceSession_, VerifyOnlyReadsAsAReadAndComparesInMemory) {
    open("jig3");
    const Bytes image = randomImage(kFlash, 11);
    ASSERT_TRUE(sim->jig().setNpceFlash(image));
    hostBytes();
    struct Case {
        size_t changedAt;  // kFlash: none
        std::optional<std::string> message;
    } cases[] = {
        {kFlash, std::nullopt},
        {70000, "error: The flash differs from the file at offset 70000 (0x11170)"},
        {0, "error: The flash differs from the file at offset 0 (0x00000)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.changedAt);
        ui.clear();
        Bytes file = image;
        if (c.changedAt < kFlash) file[c.changedAt] ^= 0x10;
        ui.queueFile(imageFile(file));
        session->verifyFileClick();
        finish();
        EXPECT_EQ(session->lastOperationSucceeded(), !c.message);
        // The wire sees a plain read, and the flash is left as it was.
        EXPECT_TRUE(hostBytes() == identification(true) + wholeRead(true) + Bytes{'I'});
        EXPECT_TRUE(flash() == image);
        if (c.message) {
            ASSERT_EQ(ui.messages().size(), 1u);
            EXPECT_EQ(ui.messages()[0].rfind(*c.message, 0), 0u) << ui.messages()[0];
        } else {
            EXPECT_TRUE(ui.messages().empty());
            EXPECT_TRUE(hasLine(memo(), "The flash holds the file."));
        }
        expectIdle();
    }
}

TEST_F(NpceSession_, ShortImageIsPaddedWithFFAndSaysSo) {
    open("jig3");
    const Bytes half = randomImage(kFlash / 2, 3);
    write(imageFile(half));
    EXPECT_EQ(session->lastOperationSucceeded(), true);
    const Bytes padded = half + Bytes(kFlash / 2, 0xFF);
    EXPECT_TRUE(flash() == padded);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].rfind("warning: ", 0), 0u);
    EXPECT_NE(ui.messages()[0].find("padded with FF"), std::string::npos);
}

// What the JIG and the flash can be made to do wrong, and how each ends.
struct Failure {
    const char* name;
    const char* options;
    bool write;
    std::vector<std::string> lines;  // in this order among the memo's lines
    Bytes tail;                      // the last bytes the PC sent
    bool sentChunks;                 // a 'w' went out (the tag left "NONE")
};

void PrintTo(const Failure& f, std::ostream* os) { *os << f.name; }

class NpceFailures : public NpceSession_, public ::testing::WithParamInterface<Failure> {};

TEST_P(NpceFailures, EndWithTheirLinesAndBytes) {
    const Failure& f = GetParam();
    open(std::string("jig3,") + f.options);
    const Bytes image = randomImage(kFlash, 5);
    const std::string dump = dir.file("dump.bin");
    if (f.write)
        write(imageFile(image));
    else
        read(dump);

    EXPECT_EQ(session->lastOperationSucceeded(), false);
    const auto lines = memo();
    auto at = lines.begin();
    for (const auto& line : f.lines) {
        at = std::find(at, lines.end(), line);
        EXPECT_NE(at, lines.end()) << "missing or out of order: " << line;
    }
    const Bytes sent = hostBytes();
    ASSERT_GE(sent.size(), f.tail.size());
    EXPECT_TRUE(
        std::equal(f.tail.begin(), f.tail.end(), sent.end() - static_cast<long>(f.tail.size())))
        << "the PC's last bytes differ";
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 'w') > 0, f.sentChunks);
    expectIdle();
}

INSTANTIATE_TEST_SUITE_P(
    Jig3, NpceFailures,
    ::testing::Values(
        Failure{"NoChip",
                "npce=absent",
                true,
                {"No connection to the NPCE! reading ID -> FFFFFF",
                 "Check soldering NPCE or chip damaged."},
                {'N', 'Z', 'O'},
                false},
        Failure{"WrongChip",
                "npce-id=C22012",
                false,
                {"No connection to the NPCE! reading ID -> C22012",
                 "Check soldering NPCE or chip damaged."},
                {'N', 'Z', 'O'},
                false},
        Failure{
            "EraseRefused",
            "npce-erase-fail",
            true,
            {"Erase ...", "** Lost contact with the chip or ERROR timeout **", "Current time  <t>"},
            {'N', 'e', 'O'},
            false},
        Failure{"NotClear",
                "npce-not-clear",
                true,
                {"Check clear data ...", "** Data not clear !**", "Current time  <t>"},
                {'N', 'e', 'N', 'x', 'O'},
                false},
        Failure{"NotReadyForChunk3",
                "npce-not-ready=3",
                true,
                {"Write ...", "** HOST/M88 Protocol ERROR **", "Current time  <t>"},
                {'w'},
                true},
        Failure{"Chunk5Failed",
                "npce-fail-chunk=5",
                true,
                {"Write ...", "** ERROR write or ERROR timeout **", "Current time  <t>"},
                {kWriteEnd},
                true},
        Failure{"VerifyDiffersInBlock3",
                "npce-corrupt=1100",
                true,
                {"Verify ...", "*** Data is written incorrectly ***", "Current time  <t>"},
                {kWriteEnd, 'N', 'r', 'r', 'r', '-', 'O'},
                true},
        Failure{"VerifyEndAnswered0",
                "npce-end-fail",
                true,
                {"Verify ...", "ERROR timeout. Corrupted data !? ", "Current time  <t>"},
                {'-', 'O'},
                true},
        Failure{"ReadEndAnswered0",
                "npce-end-fail",
                false,
                {"Reading complete ...", "Current time  <t>", "ERROR timeout. Corrupted data !? "},
                {'-', 'O'},
                false}),
    [](const auto& info) { return info.param.name; });

TEST_F(NpceSession_, VerifyStopsAtTheFirstDifferingBlock) {
    open("jig3,npce-corrupt=1100");  // in block 3 (bytes 1024-1535)
    write(imageFile(randomImage(kFlash, 9)));
    const auto track = gaugeTrack();
    const auto yellow = std::find(track.begin(), track.end(), "yellow");
    ASSERT_NE(yellow, track.end());
    EXPECT_EQ(std::vector<std::string>(yellow, track.end()),
              (std::vector<std::string>{"yellow", "0", "2", "4", "6"}));
}

TEST_F(NpceSession_, ReadWhoseEndIsAnswered0KeepsTheWholeFile) {
    open("jig3,npce-end-fail");
    const std::string path = dir.file("dump.bin");
    read(path);
    EXPECT_EQ(session->lastOperationSucceeded(), false);
    EXPECT_TRUE(readBytes(path) == flash());
}

TEST_F(NpceSession_, CheckClearFailureNeverStartsTheWorker) {
    open("jig3,npce-not-clear");
    ui.queueFile(imageFile(randomImage(kFlash, 2)));
    session->NPCE_WRITEClick();
    // The press ended the operation itself: nothing left running.
    EXPECT_FALSE(session->busy());
    EXPECT_EQ(session->lastOperationSucceeded(), false);
}

// The JIG falls silent: each wait ends at the user's limit, the closing
// answers get one read time-out each, and the file keeps what came.
TEST_F(NpceSession_, SilentJigEndsTheOperationAtTheLimit) {
    struct Case {
        const char* options;
        bool write;
        std::vector<std::string> lines;
        Bytes tail;
        size_t fileBytes;
    } cases[] = {
        {"npce-stall-block=5",
         false,
         {"Block 6 of 256: no answer from the programmer within 200 ms",
          "End of the read ('-'): no answer from the programmer",
          "ERROR timeout. Corrupted data !? ", "Current time  <t>",
          "Result byte 'O': no answer from the programmer"},
         {'r', '-', 'O'},
         5 * 512},
        // The last block came, the answer to '-' did not: no success.
        {"npce-stall-block=256",
         false,
         {"Reading complete ...", "Current time  <t>",
          "End of the read ('-'): no answer from the programmer within 200 ms",
          "ERROR timeout. Corrupted data !? ", "Result byte 'O': no answer from the programmer"},
         {'r', '-', 'O'},
         kFlash},
        {"npce-stall-chunk=4",
         true,
         {"Chunk 4 of 512: no answer from the programmer within 200 ms",
          "End of the write (07h): no answer from the programmer",
          "** ERROR write or ERROR timeout **", "Current time  <t>"},
         {kWriteEnd},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(std::string("jig3,") + c.options, 200ms);
        const std::string dump = dir.file(std::string("dump ") + c.options);
        const auto started = std::chrono::steady_clock::now();
        if (c.write)
            write(imageFile(randomImage(kFlash, 4)));
        else
            read(dump);
        // 200 ms for the silent wait and at most two link read time-outs
        // (500 ms) for the closing answers; the rest is slack for a busy machine.
        EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        const auto lines = memo();
        auto at = lines.begin();
        for (const auto& line : c.lines) {
            at = std::find(at, lines.end(), line);
            EXPECT_NE(at, lines.end()) << "missing or out of order: " << line;
        }
        const Bytes sent = hostBytes();
        EXPECT_TRUE(std::equal(c.tail.begin(), c.tail.end(),
                               sent.end() - static_cast<long>(c.tail.size())));
        if (!c.write) {
            EXPECT_EQ(readBytes(dump).size(), c.fileBytes);
        }
        expectIdle();
    }
}

// A stop (a closed window, a signal) ends the operation at its next wait:
// the JIG's sequence is closed, then the failure byte.
TEST_F(NpceSession_, StopEndsTheSequenceAndSendsTheFailureByte) {
    struct Case {
        const char* options;
        bool write;
        std::string stoppedLine;
        Bytes tail;
    } cases[] = {
        {"npce-stall-block=3",
         false,
         "Block 4 of 256: stopped, the program is closing",
         {'-', 'O'}},
        {"npce-stall-chunk=3",
         true,
         "Chunk 3 of 512: stopped, the program is closing",
         {kWriteEnd, 'O'}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(std::string("jig3,") + c.options, 10min);
        const std::string dump = dir.file("stopped.bin");
        ui.queueFile(c.write ? imageFile(randomImage(kFlash, 8)) : dump);
        if (c.write)
            session->NPCE_WRITEClick();
        else
            session->NPCE_READClick();
        const int stalledAt = c.write ? 2 : 6;
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (ui.gauge(kGauge).value_or(0) < stalledAt &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        ASSERT_TRUE(session->busy());
        session->shutdown();
        EXPECT_FALSE(session->busy());
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        const auto lines = memo();
        EXPECT_TRUE(hasLine(lines, c.stoppedLine));
        EXPECT_FALSE(hasLine(lines, "ERROR timeout. Corrupted data !? "));
        EXPECT_FALSE(hasLine(lines, "** ERROR write or ERROR timeout **"));
        const Bytes sent = hostBytes();
        EXPECT_TRUE(std::equal(c.tail.begin(), c.tail.end(),
                               sent.end() - static_cast<long>(c.tail.size())));
        if (!c.write) {
            EXPECT_EQ(readBytes(dump).size(), 3 * 512u);
        }
        expectIdle();
    }
}

TEST_F(NpceSession_, ShortVerifyBlockIsNoMatch) {
    // The second block of the verify is handed over short: without its full
    // 512 bytes nothing proves the flash holds the image.
    std::string error;
    sim = std::shared_ptr<sim::SimDevice>(sim::SimDevice::create("jig3", error));
    ASSERT_TRUE(sim) << error;
    auto list = std::make_unique<DeviceList>();
    list->addPort(std::make_unique<ShortReadPort>(makeSimPort(sim, "jig3"), 512, 2, 500));
    start(std::move(list), std::nullopt);
    const Bytes image = randomImage(kFlash, 6);
    write(imageFile(image));

    EXPECT_TRUE(flash() == image);  // the flash is right, the proof is not
    EXPECT_EQ(session->lastOperationSucceeded(), false);
    const auto lines = memo();
    EXPECT_TRUE(hasLine(lines, "Принято не 512 байт  500"));
    EXPECT_TRUE(hasLine(lines, "*** Data is written incorrectly ***"));
    const Bytes sent = hostBytes();
    EXPECT_TRUE(std::equal(sent.end() - 5, sent.end(), Bytes{'N', 'r', 'r', '-', 'O'}.begin()));
}

TEST_F(NpceSession_, DiskFullDuringAReadStopsIt) {
    open("jig3");
    const std::string path = dir.file("dump.bin");
    // The disk takes 3 blocks and a bit of the 4th.
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 3 * 512 + 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    read(path);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(session->lastOperationSucceeded(), false);
    const auto lines = memo();
    EXPECT_TRUE(hasLine(lines, "Error writing file!"));
    EXPECT_FALSE(hasLine(lines, "Reading complete ..."));
    const Bytes sent = hostBytes();
    EXPECT_TRUE(sent == identification(true) + Bytes({'N', 'r', 'r', 'r', 'r', '-', 'O'}));
    expectIdle();
}

// Answers the simulated JIG never gives, from a scripted bridge.
TEST_F(NpceSession_, IdentificationThatDoesNotComeWhole) {
    struct Case {
        Bytes answer;
        std::string waitLine;
        std::string idLine;
    } cases[] = {
        {{0xEF, 0x40},
         "Flash ID: no answer from the programmer within 100 ms",
         "No connection to the NPCE! reading ID -> EF40"},
        {{0xEF, 0x40, 0x12, 0x00, 0x55, 0x55},
         "Flash ID: the programmer sent more bytes than expected",
         "No connection to the NPCE! reading ID -> EF4012"},
    };
    for (const auto& c : cases) {
        auto log = std::make_shared<FakeLog>();
        FakeDeviceScript script = answering("PCB2_M88_NPCE\r\n");
        script.answers['Z'] = c.answer;
        script.answers['O'] = {'G'};
        auto list = std::make_unique<DeviceList>(fakeDeviceList({script}, log));
        start(std::move(list), 100ms);
        ui.queueFile(dir.file("never.bin"));
        session->NPCE_READClick();
        finish();
        const auto lines = memo();
        auto wait = std::find(lines.begin(), lines.end(), c.waitLine);
        ASSERT_NE(wait, lines.end()) << c.waitLine;
        EXPECT_EQ(*(wait + 1), c.idLine);
        EXPECT_EQ(*(wait + 2), "Check soldering NPCE or chip damaged.");
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        const auto calls = log->snapshot();
        EXPECT_TRUE(std::find(calls.begin(), calls.end(), "write 0 4F") != calls.end());  // 'O'
        EXPECT_EQ(calls.back(), "close 0");
    }
}

TEST_F(NpceSession_, RefusedFilesChangeNothing) {
    struct Case {
        const char* name;
        std::optional<std::string> answer;  // dialog answer; nullopt: cancelled
        bool write;
        std::string line;     // memo line, or empty
        std::string message;  // start of the dialog, or empty
    };
    const std::string fifo = dir.file("fifo.bin");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    writeBytes(dir.file("empty.bin"), {});
    const Case cases[] = {
        {"read cancelled", std::nullopt, false, "Write to file is interrupted.", ""},
        {"write cancelled", std::nullopt, true, "Write operation is interrupted.", ""},
        {"empty image", dir.file("empty.bin"), true, "", "error: Ошибка открытия файла.\n"},
        {"fifo image", fifo, true, "", "error: Ошибка открытия файла.\n"},
        {"missing image", dir.file("none.bin"), true, "", "error: Ошибка открытия файла.\n"},
        {"dump in a missing folder", dir.file("no/such/dump.bin"), false, "",
         "error: Ошибка создания файла.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        open("jig3");
        const Bytes before = flash();
        ui.queueFile(c.answer);
        if (c.write)
            session->NPCE_WRITEClick();
        else
            session->NPCE_READClick();
        finish();
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        if (!c.line.empty()) {
            EXPECT_TRUE(hasLine(memo(), c.line));
        }
        if (!c.message.empty()) {
            ASSERT_EQ(ui.messages().size(), 1u);
            EXPECT_EQ(ui.messages()[0].rfind(c.message, 0), 0u) << ui.messages()[0];
        }
        // After the ID's 'I' nothing more went to the JIG: no erase, no read.
        EXPECT_TRUE(hostBytes() == identification(true));
        EXPECT_TRUE(flash() == before);
        expectIdle();
    }
}

TEST_F(NpceSession_, DialogsAndExit) {
    open("jig3");
    ui.queueFile(std::nullopt);
    session->NPCE_READClick();
    ui.queueFile(std::nullopt);
    session->NPCE_WRITEClick();
    session->EXIT_NPCEClick();
    const auto calls = ui.calls();
    EXPECT_TRUE(hasLine(calls, "dialog SaveDialog_NPCE Save file"));
    EXPECT_TRUE(hasLine(calls, "dialog OpenDialog_NPCE Read file"));
    EXPECT_EQ(ui.gaugeMax(kGauge), 512);
    EXPECT_TRUE(ui.visible("TForm1"));
    EXPECT_FALSE(ui.visible("TNPCE_FORM"));
}

}  // namespace
}  // namespace zjig::test
