// The Nuvoton JTAG session against the simulated JIG: settings, the ID check,
// the script replay, the read and the write, byte-exact on the wire and
// checked against the simulated controller's flash, with their failure ends
// and the closing message that lets the JIG go.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "nuvjtag_test_support.h"

namespace zjig::test {
namespace {

constexpr milliseconds kShort{300};

const Bytes kSpiOn = {0x4A, 0x53};
const Bytes kCpldReset = {0x53, 0x52};
const Bytes kIdCheck = {0x4A, 0x58, 0x4A, 0x31, 0x4A, 0x44, 0xFF, 0xFF, 0xFF, 0xFF};
const Bytes kClosing = {0x53, 0x52, 0x4A, 0x53};  // the closing message's bytes

class NuvSession : public NuvSessionFixture {};

// --- the window at start, settings ---

TEST_F(NuvSession, FormCreateShowsTheStepsAndOnlySettingsCanAct) {
    open("jig3");
    const auto lines = memo();
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0], " Your steps:");
    EXPECT_EQ(lines[1],
              "1\xC2\xA0"
              "Connect the flat cable motherboard and programmer (30 pin). ");
    EXPECT_EQ(lines[4],
              "4\xC2\xA0"
              "Click \"Send settings\".");
    EXPECT_EQ(lines[9], "successfull.");
    EXPECT_EQ(lines[11], "");
    EXPECT_EQ(ui.enabled("BitBtn_SETTINGS"), true);
    for (const char* b : {"BitBtn_CONNECT", "BitBtn_NUV_JTAG_RD", "BitBtn_NUV_JTAG_WR"})
        EXPECT_EQ(ui.enabled(b), false) << b;
    EXPECT_EQ(ui.checked("CheckBox1"), true);
    EXPECT_EQ(ui.controlVisible("StaticText_in_counter"), false);
    EXPECT_EQ(ui.gaugeMax(kNuvGauge), 512);
    EXPECT_TRUE(hostBytes().empty());
}

TEST_F(NuvSession, SettingsOnAThirdGenerationJigRouteTheCable) {
    struct Case {
        bool oneToOne;
        Bytes writes;
        const char* line;
    } cases[] = {
        {true,
         {0x40, 0x89, 0x24, 0x40, 0x20, 0x40, 0x25, 0x00, 0x21, 0x00, 0x26, 0x10, 0x22,
          0x04, 0x27, 0x00, 0x23, 0x00, 0x10, 0x40, 0x11, 0x00, 0x12, 0x1C, 0x13, 0x00},
         "Selected 30 pin FFC (TYPE B)"},
        {false,
         {0x40, 0x94, 0x24, 0x00, 0x20, 0x00, 0x25, 0x02, 0x21, 0x08, 0x26, 0x80, 0x22,
          0x80, 0x27, 0x00, 0x23, 0x00, 0x10, 0x00, 0x11, 0x0E, 0x12, 0x80, 0x13, 0x00},
         "Selected 30 pin FFC (TYPE A))"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        open("jig3");
        if (!c.oneToOne) session->CheckBox1Click(false);
        settings();
        Bytes expected = bytesOf("B") + kCpldReset + kSpiOn;
        for (size_t i = 0; i < c.writes.size(); i += 2)
            expected = expected + Bytes{0x53, 0x57, c.writes[i], c.writes[i + 1]};
        EXPECT_EQ(hostBytes(), expected);
        const auto regs = sim->jig().cpldRegisters();
        for (size_t i = 0; i < c.writes.size(); i += 2)
            EXPECT_EQ(regs[c.writes[i]], c.writes[i + 1]);

        const auto lines = memo();
        ASSERT_GE(lines.size(), 17u);
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 12, lines.begin() + 13),
                  std::vector<std::string>{""});
        EXPECT_TRUE(lines[13].rfind("Current time  ", 0) == 0);
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 14, lines.end()),
                  (std::vector<std::string>{c.line, "Settings for NUVOTON send.", ""}));
        EXPECT_EQ(ui.messages(), (std::vector<std::string>{
                                     "warning:  Now \n Please connect the power supply to the "
                                     "motherboard, \n then click *Check connect to Nuvoton* !"}));
        EXPECT_EQ(ui.enabled("BitBtn_CONNECT"), true);
        EXPECT_EQ(ui.enabled("BitBtn_SETTINGS"), false);
        EXPECT_EQ(session->lastOperationSucceeded(), true);
        EXPECT_EQ(sim->isOpen(), false);
    }
}

TEST_F(NuvSession, SettingsOnASecondGenerationJigShowTheWiring) {
    for (bool oneToOne : {true, false}) {
        SCOPED_TRACE(oneToOne);
        open("jig2=NPCE");
        session->CheckBox1Click(oneToOne);
        settings();
        const std::string wiring = oneToOne ? "A7 B19 C10 D21 E20" : "A24 B12 C21 D10 E11";
        EXPECT_EQ(hostBytes(), bytesOf("B"));  // no CPLD byte
        const auto lines = memo();
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 14, lines.end()),
                  (std::vector<std::string>{"Version FW -> PCB2_M88_NPCE  ",
                                            "Communication with programmer installed.",
                                            "User selected " + wiring, ""}));
        const auto messages = ui.messages();
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(messages[0], "warning: Please connect GND and: \n" + wiring);
        EXPECT_EQ(ui.enabled("BitBtn_CONNECT"), true);
    }
}

TEST_F(NuvSession, NoJigOrAnotherFirmwareEndsThePress) {
    struct Case {
        const char* options;
        ConnectResult result;
    } cases[] = {{"silent", ConnectResult::NoJig}, {"jig2=V41", ConnectResult::NeedsUpdate}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options);
        settings();
        EXPECT_EQ(session->lastConnectResult(), c.result);
        EXPECT_EQ(hostBytes(), bytesOf("B"));
        EXPECT_EQ(ui.enabled("BitBtn_CONNECT"), false);
        EXPECT_TRUE(ui.messages().empty());
    }
}

// --- check and script ---

TEST_F(NuvSession, CheckReadsTheIdAndReplaysTheDefaultScript) {
    open("jig3");
    settings();
    hostBytes();
    ui.clear();
    check();
    const Bytes sent = hostBytes();
    ASSERT_GE(sent.size(), 11u);
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 11), bytesOf("B") + kIdCheck);
    // The sample script's first shifts: IR 0Ah, the key, IR 0Ch.
    EXPECT_EQ(Bytes(sent.begin() + 11, sent.begin() + 23),
              (Bytes{0x4A, 0x69, 0x0A, 0x4A, 0x44, 0x5A, 0x96, 0xA5, 0xC3, 0x4A, 0x69, 0x0C}));
    const auto lines = memo();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Read NUVOTON ID 0FE2201F");
    EXPECT_EQ(lines[1], " *** Default file -> NUVOTON.vss");
    EXPECT_TRUE(lines[2].rfind("Sending start: ", 0) == 0);
    EXPECT_TRUE(lines[3].rfind("Sending end:   ", 0) == 0);
    EXPECT_EQ(lines[4], "I`m ready to READ or WRITE.");
    EXPECT_EQ(ui.enabled("BitBtn_NUV_JTAG_RD"), true);
    EXPECT_EQ(ui.enabled("BitBtn_NUV_JTAG_WR"), true);
    EXPECT_EQ(ui.colour(kNuvGauge), kYellow);
    const Bytes sample = readBytes(sampleFirmwareDir() + "NUVOTON.vss");
    const int lineCount = static_cast<int>(std::count(sample.begin(), sample.end(), '\n'));
    EXPECT_EQ(ui.gaugeMax(kNuvGauge), lineCount);
    EXPECT_EQ(ui.gauge(kNuvGauge), lineCount);
    EXPECT_EQ(session->lastOperationSucceeded(), true);
    EXPECT_EQ(sim->isOpen(), false);
}

TEST_F(NuvSession, AWrongIdBreaksOffWithTheFailureSignal) {
    struct Case {
        const char* options;
        bool oneToOne;
        const char* idLine;
    } cases[] = {
        {"jig3,nuv-power=off", true, "Read NUVOTON ID FFFFFFFF"},
        {"jig3,nuv-id=0x12345678", true, "Read NUVOTON ID 12345678"},
        {"jig3", false, "Read NUVOTON ID FFFFFFFF"},  // reversed routing on a TYPE B board
        {"jig2=NPCE,nuv-id=0x0FE2201E", true, "Read NUVOTON ID 0FE2201E"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options);
        session->CheckBox1Click(c.oneToOne);
        settings();
        hostBytes();
        ui.clear();
        check();
        EXPECT_EQ(hostBytes(), bytesOf("B") + kIdCheck + kSpiOn + Bytes{0x4F});
        EXPECT_EQ(memo(), (std::vector<std::string>{c.idLine, "Wrong ID. Break.", ""}));
        const auto messages = ui.messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0],
                  "error: Possible reasons \n 1 No power is connected to the motherboard \n 2 No "
                  "power on a chip EC \n 3 Defective chip EC \n 4 Invalid defined first contact");
        EXPECT_EQ(ui.enabled("BitBtn_SETTINGS"), true);
        EXPECT_EQ(ui.enabled("BitBtn_CONNECT"), false);
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        EXPECT_FALSE(session->busy());
    }
}

TEST_F(NuvSession, AChosenScriptIsSentLineByLine) {
    open("jig3");
    const std::string script = dir.file("mine.vss");
    writeBytes(script, bytesOf("i 0B\r\n; note\r\nd 02\r\nD 0000ABCD\r\nd 0B   00FF0016\r\n"
                               "d 0B   00FF0016 03\r\nd 0B   00FF0016 x3\r\nnot sent"));
    settings();
    chooseScript(script);
    EXPECT_EQ(ui.controlVisible("StaticText_in_counter"), true);
    EXPECT_TRUE(hasLine(memo(), "User select VSS file: " + script));
    hostBytes();
    check();
    const Bytes shifts = {0x4A, 0x69, 0x0B, 0x4A, 0x64, 0x02, 0x4A, 0x44, 0xCD, 0xAB,
                          0x00, 0x00, 0x4A, 0x64, 0x0B, 0x4A, 0x44, 0x16, 0x00, 0xFF,
                          0x00, 0x4A, 0x54, 0x03, 0x0B, 0x16, 0x00, 0xFF, 0x00, 0x4A,
                          0x64, 0x0B, 0x4A, 0x44, 0x16, 0x00, 0xFF, 0x00};
    EXPECT_EQ(hostBytes(), bytesOf("B") + kIdCheck + shifts);
    EXPECT_EQ(ui.gaugeMax(kNuvGauge), 7);
    EXPECT_FALSE(hasLine(memo(), " *** Default file -> NUVOTON.vss"));
    EXPECT_EQ(session->lastOperationSucceeded(), true);

    // A cancelled "###" forgets the chosen script: the default is used again.
    chooseScript(std::nullopt);
    ui.clear();
    check();
    EXPECT_TRUE(hasLine(memo(), " *** Default file -> NUVOTON.vss"));
}

TEST_F(NuvSession, TheLineCounterShowsEvery256Lines) {
    open("jig3");
    std::string text;
    for (int i = 0; i < 600; ++i) text += i % 3 ? "; comment\r\n" : "d 01\r\n";
    const std::string script = dir.file("long.vss");
    writeBytes(script, bytesOf(text));
    settings();
    chooseScript(script);
    ui.clear();
    check();
    std::vector<std::string> counts;
    for (const auto& call : ui.calls())
        if (call.rfind("text StaticText_in_counter ", 0) == 0) counts.push_back(call.substr(27));
    EXPECT_EQ(counts, (std::vector<std::string>{"256", "512"}));
    EXPECT_EQ(ui.gaugeMax(kNuvGauge), 600);
    EXPECT_EQ(ui.gauge(kNuvGauge), 600);
}

TEST_F(NuvSession, AScriptThatCannotBeUsedIsRefusedBeforeItsFirstShift) {
    const std::string fifo = dir.file("pipe.vss");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = dir.file("huge.vss");
    {
        const int fd = ::open(huge.c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, 64 << 20), 0);  // sparse: 64 MiB of NUL bytes
        ::close(fd);
    }
    const std::string refused = dir.file("refused.vss");
    writeBytes(refused, bytesOf("i 0A\r\nD C3A5965A\r\nd 0b\r\n"));
    struct Case {
        std::string script;
        std::string line;
        std::string dialog;  // empty: none
    } cases[] = {
        {dir.file("missing.vss"), "Break! Open file (.vss) error or not found!",
         "error: " + dir.file("missing.vss") + ": No such file or directory"},
        {fifo, "Break! Open file (.vss) error or not found!",
         "error: " + fifo + ": is a pipe (FIFO), not a regular file"},
        {dir.path().string(), "Break! Open file (.vss) error or not found!",
         "error: " + dir.path().string() + ": is a directory, not a file"},
        {huge, "Break! Open file (.vss) error or not found!",
         "error: " + huge + ": the file is 67108864 bytes, too large for a script"},
        {refused,
         "Break! Script line 3: position 3 is not a hexadecimal digit (0-9 or upper-case A-F)", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        open("jig3");
        settings();
        chooseScript(c.script);
        hostBytes();
        ui.clear();
        check();
        EXPECT_EQ(hostBytes(), bytesOf("B") + kIdCheck + kSpiOn + Bytes{0x4F});
        const auto lines = memo();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[1], c.line);
        EXPECT_EQ(ui.messages(), c.dialog.empty() ? std::vector<std::string>{}
                                                  : std::vector<std::string>{c.dialog});
        EXPECT_EQ(ui.enabled("BitBtn_SETTINGS"), true);
        EXPECT_EQ(ui.enabled("BitBtn_NUV_JTAG_RD"), false);
        EXPECT_EQ(session->lastOperationSucceeded(), false);
    }
    // The default script missing from the firmware folder: the same ending.
    open("jig3", std::nullopt, dir.file("nowhere/"));
    settings();
    ui.clear();
    check();
    EXPECT_TRUE(hasLine(memo(), "Break! Open file (.vss) error or not found!"));
}

// --- read ---

TEST_F(NuvSession, ReadCopiesTheFlashThenTheClosingMessageLetsTheJigGo) {
    for (const char* options : {"jig3", "jig2=NPCE"}) {
        SCOPED_TRACE(options);
        open(options);
        prepare();
        const std::string file = dir.file("dump.bin");
        hostBytes();
        ui.clear();
        ui.queueFile(file);
        session->BitBtn_NUV_JTAG_RDClick();
        ASSERT_TRUE(session->waitIdle(60s));
        // The worker has ended; the link waits for the closing message, and
        // until then no press may open a second one.
        EXPECT_TRUE(session->busy());
        EXPECT_EQ(sim->isOpen(), true);
        session->BitBtn_SETTINGSClick();
        ASSERT_TRUE(settle());
        EXPECT_FALSE(session->busy());
        EXPECT_EQ(sim->isOpen(), false);

        EXPECT_EQ(readBytes(file), flash());
        Bytes expected = bytesOf("B");
        for (int i = 0; i < 512; ++i) expected = expected + Bytes{0x4A, 0x52};
        EXPECT_EQ(hostBytes(), expected + Bytes{0x49} + kClosing);
        const auto lines = memo();
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[0], "Data from NUVOTON save to file: " + file);
        EXPECT_TRUE(lines[1].rfind("Reading ...       ", 0) == 0);
        EXPECT_TRUE(lines[2].rfind("Reading complete. ", 0) == 0);
        EXPECT_EQ(ui.colour(kNuvGauge), kGreen);
        EXPECT_EQ(ui.gauge(kNuvGauge), 512);
        EXPECT_EQ(ui.messages(),
                  (std::vector<std::string>{"warning: Please disconnect the power supply from the "
                                            "motherboard!"}));
        EXPECT_EQ(ui.enabled("BitBtn_SETTINGS"), true);
        for (const char* b : {"BitBtn_CONNECT", "BitBtn_NUV_JTAG_RD", "BitBtn_NUV_JTAG_WR"})
            EXPECT_EQ(ui.enabled(b), false) << b;
        EXPECT_EQ(session->lastOperationSucceeded(), true);
    }
}

TEST_F(NuvSession, ReadWithoutAFileOrWithAnUnwritableOneEndsAtOnce) {
    open("jig3");
    prepare();
    hostBytes();
    ui.clear();
    ui.queueFile(std::nullopt);
    press([&] { session->BitBtn_NUV_JTAG_RDClick(); });
    EXPECT_EQ(memo(), (std::vector<std::string>{"Write to file is interrupted. All stop.", ""}));
    ui.clear();
    read(dir.file("no such folder/dump.bin"));
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].rfind("error: Error create file!\n", 0), 0u);
    EXPECT_EQ(hostBytes(), bytesOf("BB"));
    EXPECT_EQ(sim->isOpen(), false);
    EXPECT_EQ(session->lastOperationSucceeded(), false);
}

TEST_F(NuvSession, ASilentJigEndsTheReadAtItsBoundAndKeepsThePagesRead) {
    open("jig3,nuv-silent-page=3", kShort);
    prepare();
    const std::string file = dir.file("dump.bin");
    ui.clear();
    const auto started = std::chrono::steady_clock::now();
    read(file);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    const Bytes all = flash();
    EXPECT_EQ(readBytes(file), Bytes(all.begin(), all.begin() + 768));
    const auto lines = memo();
    EXPECT_TRUE(hasLine(lines, "Page 4 of 512: no answer from the programmer within 300 ms"));
    EXPECT_FALSE(hasLineStarting(lines, "Reading complete."));
    EXPECT_EQ(ui.messages(), (std::vector<std::string>{
                                 "error:  ERASE or WRITE protocol error! \n Lost communication "
                                 "with a chip EC \n Please disconnect the power supply from the "
                                 "motherboard!"}));
    EXPECT_EQ(session->lastOperationSucceeded(), false);
    EXPECT_EQ(ui.enabled("BitBtn_SETTINGS"), true);
}

TEST_F(NuvSession, AFailedReadKeepsAnExistingDump) {
    open("jig3,nuv-silent-page=2", kShort);
    prepare();
    const std::string file = dir.file("good.bin");
    const Bytes old = randomImage(kNuvFlash, 3);
    writeBytes(file, old);
    ui.clear();
    read(file);
    EXPECT_EQ(readBytes(file), old);
    EXPECT_EQ(readBytes(file + ".part").size(), 512u);
    EXPECT_EQ(ui.messages()[0].rfind("warning: The read failed; ", 0), 0u);
}

// A dump the disk refuses: the read fails instead of reporting success.
TEST_F(NuvSession, AFileThatCannotBeWrittenEndsTheReadAsFailed) {
    open("jig3");
    prepare();
    ui.clear();
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 10000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    read(dir.file("dump.bin"));
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, previous);

    const auto lines = memo();
    EXPECT_TRUE(hasLine(lines, "Error writing file!"));
    EXPECT_FALSE(hasLineStarting(lines, "Reading complete."));
    const auto messages = ui.messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_NE(messages[0].find("File too large"), std::string::npos);
    EXPECT_EQ(messages.back().rfind("error:  ERASE or WRITE protocol error!", 0), 0u);
    EXPECT_EQ(session->lastOperationSucceeded(), false);
}

// --- write ---

TEST_F(NuvSession, WriteErasesAndProgramsEveryPageOnBothGenerations) {
    for (const char* options : {"jig3", "jig2=NPCE"}) {
        SCOPED_TRACE(options);
        open(options);
        prepare();
        const std::string file = dir.file("image.bin");
        const Bytes image = randomImage(kNuvFlash, 7);
        writeBytes(file, image);
        hostBytes();
        ui.clear();
        write(file);
        EXPECT_EQ(flash(), image);
        EXPECT_EQ(session->lastOperationSucceeded(), true);

        const Bytes sent = hostBytes();
        EXPECT_EQ(count(sent, {0x4A, 0x57, 0x7D, 0x00, 0xFE}), 32u);
        EXPECT_EQ(count(sent, {0x4A, 0x57, 0x28, 0x00, 0xFF}), 1u);
        EXPECT_EQ(count(sent, {0x4A, 0x57, 0x4F, 0x01, 0xFF}), 512u);
        EXPECT_EQ(count(sent, {0x4A, 0x57, 0x23, 0x00, 0x22}), 512u);
        EXPECT_EQ(Bytes(sent.end() - 5, sent.end()), Bytes{0x49} + kClosing);

        const auto lines = memo();
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_EQ(lines[0], "Write from file: " + file);
        EXPECT_TRUE(lines[1].rfind("Erase blocks... ", 0) == 0);
        EXPECT_TRUE(lines[2].rfind("Erase complete! ", 0) == 0);
        EXPECT_EQ(lines[2].substr(lines[2].size() - 14), "    status=00h");
        EXPECT_EQ(lines[3], "Write bytes ... ");
        EXPECT_TRUE(lines[4].rfind("Write complete! ", 0) == 0);
        // Magenta for the 32 sectors, then red for the 512 pages.
        const auto calls = ui.calls();
        const auto at = [&](const std::string& call) {
            return std::find(calls.begin(), calls.end(), call) - calls.begin();
        };
        EXPECT_LT(at("colour CGauge_progrss 255,0,255"), at("gauge CGauge_progrss 32"));
        EXPECT_LT(at("gauge CGauge_progrss 32"), at("colour CGauge_progrss 255,0,0"));
        EXPECT_LT(at("gaugemax CGauge_progrss 32"), at("gaugemax CGauge_progrss 512"));
        EXPECT_EQ(ui.gauge(kNuvGauge), 512);
        EXPECT_EQ(ui.messages(),
                  (std::vector<std::string>{"warning: Please disconnect the power supply from the "
                                            "motherboard!"}));
    }
}

TEST_F(NuvSession, AShortImageIsPaddedWithErasedBytesAfterAWarning) {
    open("jig3");
    prepare();
    const std::string file = dir.file("half.bin");
    const Bytes half = randomImage(kNuvFlash / 2, 11);
    writeBytes(file, half);
    ui.clear();
    write(file);
    EXPECT_EQ(flash(), half + Bytes(kNuvFlash / 2, 0xFF));
    const auto messages = ui.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "warning: " + file +
                               " is 65536 bytes, 65536 bytes shorter than the flash (131072 "
                               "bytes); the rest is padded with FF.");
    EXPECT_EQ(session->lastOperationSucceeded(), true);
}

TEST_F(NuvSession, AnImageThatCannotBeWrittenIsRefusedBeforeTheErase) {
    const std::string empty = dir.file("empty.bin");
    writeBytes(empty, {});
    struct Case {
        std::string file;
        std::string reason;
    } cases[] = {
        {empty, "the file is empty"},
        {dir.file("missing.bin"), "No such file or directory"},
        {dir.path().string(), "is a directory, not a file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        open("jig3");
        prepare();
        const Bytes before = flash();
        hostBytes();
        ui.clear();
        write(c.file);
        EXPECT_EQ(hostBytes(), bytesOf("B"));
        EXPECT_EQ(flash(), before);
        EXPECT_EQ(ui.messages(), (std::vector<std::string>{"error: Error open file!\n" + c.file +
                                                           ": " + c.reason}));
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        EXPECT_EQ(sim->isOpen(), false);
    }
}

TEST_F(NuvSession, ABatchAnswerOtherThan22EndsTheWrite) {
    struct Case {
        const char* options;
        const char* line;
        size_t pagesProgrammed;
    } cases[] = {
        {"jig3,nuv-refuse=1", "FAULT first !=22  21h", 0},
        {"jig3,nuv-refuse=2", "FAULT A_gr  !=22h  21h", 0},
        {"jig3,nuv-refuse=4", "FAULT A_gr  !=22h  21h", 2},
        {"jig3,nuv-flip=1", "FAULT B_gr  !=22h  21h", 0},
        {"jig3,nuv-flip=300", "FAULT B_gr  !=22h  21h", 299},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options);
        prepare();
        const std::string file = dir.file("zeros.bin");
        writeBytes(file, Bytes(kNuvFlash, 0x00));
        ui.clear();
        write(file);
        const auto lines = memo();
        EXPECT_EQ(lines.back(), c.line);
        EXPECT_FALSE(hasLineStarting(lines, "Write complete!"));
        const Bytes now = flash();
        const size_t zeros = static_cast<size_t>(std::count(now.begin(), now.end(), 0x00));
        EXPECT_EQ(zeros, c.pagesProgrammed * 256);
        EXPECT_EQ(Bytes(now.begin() + static_cast<long>(zeros), now.end()),
                  Bytes(kNuvFlash - zeros, 0xFF));
        EXPECT_EQ(ui.messages().back().rfind("error:  ERASE or WRITE protocol error!", 0), 0u);
        const Bytes sent = hostBytes();
        EXPECT_EQ(Bytes(sent.end() - 5, sent.end()), Bytes{0x4F} + kClosing);
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        EXPECT_EQ(sim->isOpen(), false);
    }
}

TEST_F(NuvSession, SilenceOrAFlashThatStaysBusyEndsTheWriteWithinItsBound) {
    struct Case {
        const char* options;
        const char* line;
    } cases[] = {
        {"jig3,nuv-silent-batch=5", "Erase sector 5: no answer from the programmer within 300 ms"},
        {"jig3,nuv-busy=forever", "Erase sector 1: the flash is still busy after 300 ms"},
        {"jig3,nuv-silent-batch=40", "Page 4 of 512: no answer from the programmer within 300 ms"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options, kShort);
        prepare();
        const std::string file = dir.file("image.bin");
        writeBytes(file, randomImage(kNuvFlash, 1));
        hostBytes();
        ui.clear();
        const auto started = std::chrono::steady_clock::now();
        write(file);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
        EXPECT_TRUE(hasLine(memo(), c.line)) << ::testing::PrintToString(memo());
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        EXPECT_EQ(ui.messages().back().rfind("error:  ERASE or WRITE protocol error!", 0), 0u);
        EXPECT_EQ(sim->isOpen(), false);
        EXPECT_FALSE(session->busy());
    }
}

TEST_F(NuvSession, ANpceVcJigAcceptsEveryAnswerAndPollsEachSectorOnce) {
    open("jig2=NPCE,id=PCB2_M88_NPCE%20VC%0D%0A,nuv-busy=forever,nuv-refuse=3");
    prepare();
    const std::string file = dir.file("image.bin");
    const Bytes image = randomImage(kNuvFlash, 5);
    writeBytes(file, image);
    hostBytes();
    ui.clear();
    write(file);
    EXPECT_EQ(session->lastOperationSucceeded(), true);
    const auto lines = memo();
    EXPECT_EQ(lines[2].substr(lines[2].size() - 14), "    status=03h");
    EXPECT_TRUE(hasLineStarting(lines, "Write complete! "));
    // One busy poll per sector: the status register is read 32 times.
    EXPECT_EQ(count(hostBytes(), {0x4A, 0x44, 0x1A, 0x00, 0xFF, 0x00}), 32u);
    // Page 2's data batch was refused and skipped: it stays erased.
    const Bytes now = flash();
    EXPECT_EQ(Bytes(now.begin() + 256, now.begin() + 512), Bytes(256, 0xFF));
    EXPECT_EQ(Bytes(now.begin(), now.begin() + 256), Bytes(image.begin(), image.begin() + 256));
}

// --- exit ---

TEST_F(NuvSession, ExitResetsTheJigAndReturnsToTheMainWindow) {
    open("jig3");
    settings();
    chooseScript(dir.file("x.vss"));
    hostBytes();
    session->BitBtn_EXIT_NUVClick();
    EXPECT_EQ(hostBytes(), bytesOf("B") + kClosing);
    EXPECT_TRUE(memo().empty());
    EXPECT_TRUE(ui.visible("TForm1"));
    EXPECT_FALSE(ui.visible("TForm_NUVOTON_JTAG"));
    EXPECT_EQ(ui.text("StaticText_in_counter"), "");
    EXPECT_EQ(ui.gauge(kNuvGauge), 0);
    EXPECT_EQ(ui.enabled("BitBtn_SETTINGS"), true);
    EXPECT_EQ(ui.enabled("BitBtn_CONNECT"), false);
    EXPECT_EQ(sim->isOpen(), false);
}

TEST_F(NuvSession, PressesWhileTheJigWorksDoNothing) {
    open("jig3,speed=real");
    prepare();
    const std::string file = dir.file("dump.bin");
    hostBytes();
    ui.clear();
    ui.queueFile(file);
    session->BitBtn_NUV_JTAG_RDClick();
    ASSERT_TRUE(session->busy());
    session->BitBtn_EXIT_NUVClick();
    session->BitBtn_SETTINGSClick();
    session->BitBtn_CONNECTClick();
    session->BitBtn_NUV_JTAG_WRClick();
    EXPECT_FALSE(hasLine(ui.calls(), "show TForm1"));
    ASSERT_TRUE(settle());
    const Bytes sent = hostBytes();
    EXPECT_EQ(count(sent, bytesOf("B")), 1u);
    EXPECT_EQ(find(sent, kIdCheck), -1);
    EXPECT_EQ(readBytes(file), flash());
}

TEST_F(NuvSession, ShutdownDuringAReadStopsItAndLetsTheJigGo) {
    open("jig3,speed=real");
    prepare();
    const std::string file = dir.file("dump.bin");
    hostBytes();
    ui.queueFile(file);
    session->BitBtn_NUV_JTAG_RDClick();
    ASSERT_TRUE(eventually([&] { return ui.gauge(kNuvGauge).value_or(0) >= 10; }));
    session->shutdown();
    EXPECT_FALSE(session->busy());
    EXPECT_EQ(sim->isOpen(), false);
    const Bytes sent = hostBytes();
    EXPECT_EQ(Bytes(sent.end() - 5, sent.end()), Bytes{0x4F} + kClosing);
    EXPECT_EQ(session->lastOperationSucceeded(), false);
}

}  // namespace
}  // namespace zjig::test
