// The MEC16xx session against the simulated JIG: the connection check with
// its protection status, HELP and EXIT, and the flash read on both JIG
// generations, checked against the simulated controller and the bytes the PC sent.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "mec_test_support.h"

namespace zjig::test {
namespace {

using namespace std::chrono_literals;

// The exchanges of the primitives, per generation.
struct Forms {
    const char* options;
    Bytes idRead;  // after the identity
    std::string prefix;
    Bytes release;
};
const Forms kJig3{"jig3", bytes("SRJXJ1Mj"), "M", bytes("J1JS")};
const Forms kJig2{"jig2=V42", bytes("1j"), "", bytes("0")};

Bytes reg(const Forms& f, const std::string& command) { return bytes(f.prefix + command); }
Bytes finishing(const Forms& f) {
    return reg(f, "wFF390800000100") + reg(f, "wFF390800000000") + reg(f, "wFF391000000000");
}

// --- connection check ---

using MecCheck = MecSessionTest;

TEST_F(MecCheck, ExchangeAndLinesOnBothGenerations) {
    for (const Forms* f : {&kJig3, &kJig2}) {
        SCOPED_TRACE(f->options);
        open(f->options);
        session->BitBtn_MEC16Click();
        const Bytes expected = bytes("B") + f->idRead + reg(*f, "rFFFD00") + reg(*f, "rFF3908") +
                               reg(*f, "rFF3910") + reg(*f, "rFF390C") + bytes("I") + f->release;
        EXPECT_EQ(hostBytes(), expected);
        std::vector<std::string> lines = {"Current time <t>"};
        lines.push_back(f == &kJig3 ? "Version FW -> M328_EPM240_v16  "
                                    : "Version FW -> PCB2_M88_V42  ");
        if (f == &kJig2) lines.push_back("получили ответ после команды 1");
        for (const char* l :
             {"ID from MEC -> 5A16 C307h", "REG FFFD00h -> 0016 A05Ch", "REG FF3908h -> 0000 0000h",
              "REG FF3910h -> 0000 0000h", "REG FF390Ch -> 0000 0000h",
              "--> Erase and Write allowed (FWP pin).", "--> Erase and Write boot allowed.",
              "Close VCOM port", "Current time <t>", ""})
            lines.push_back(l);
        EXPECT_EQ(memo(), lines);
        EXPECT_EQ(session->lastOperationSucceeded(), true);
        EXPECT_FALSE(session->busy());
    }
}

// The status byte drives the check's lines and shapes, and whether the
// erase and the write go on.
TEST_F(MecCheck, StatusByteDecidesProtectionForCheckEraseAndWrite) {
    const struct {
        const char* options;
        const char* status;
        bool fwp, bootLock;
    } cases[] = {
        {"jig3", "0000 0000h", false, false},
        {"jig3,mec-boot-lock", "0000 0008h", false, true},
        {"jig3,mec-fwp", "0000 0010h", true, false},
        {"jig3,mec-fwp,mec-boot-lock", "0000 0018h", true, true},
    };
    const std::string image = dir.file("image.bin");
    writeAll(image, patternImage(kMecMain, 1));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const bool protectedFlash = c.fwp || c.bootLock;
        open(c.options);
        session->BitBtn_MEC16Click();
        auto lines = memo();
        EXPECT_TRUE(hasLine(lines, std::string("REG FF390Ch -> ") + c.status));
        EXPECT_TRUE(hasLine(lines, c.fwp ? "--> FW write protect! (FWP ножка)"
                                         : "--> Erase and Write allowed (FWP pin)."));
        EXPECT_TRUE(hasLine(lines, c.bootLock ? "--> Boot_Lock! (защита загрузочного блока)"
                                              : "--> Erase and Write boot allowed."));
        EXPECT_EQ(ui.colour("Shape_FWP_MEC16"), c.fwp ? kRed : kGreen);
        EXPECT_EQ(ui.colour("Shape_BootLock_MEC"), c.bootLock ? kRed : kGreen);
        EXPECT_TRUE(endsWith(hostBytes(), bytes(protectedFlash ? "OJ1JS" : "IJ1JS")));
        EXPECT_EQ(session->lastOperationSucceeded(), !protectedFlash);

        const Bytes flash = memory();
        erase();
        lines = memo();
        Bytes sent = hostBytes();
        EXPECT_EQ(contains(sent, bytes("MwFF3904")), !protectedFlash);
        EXPECT_EQ(hasLine(lines, "--> Каманда стирания отменена."), protectedFlash);
        EXPECT_EQ(hasLine(lines, "--> СТОИТ ЗАЩИТА ЗАПИСИ ! (FWP ножка)"), c.fwp);
        EXPECT_EQ(hasLine(lines, "--> Стоит Boot_Lock ! (защита загрузочного блока)"), c.bootLock);
        EXPECT_EQ(ui.colour("Shape_FWP_MEC16"), c.fwp ? kRed : kGreen);
        EXPECT_EQ(ui.colour("Shape_BootLock_MEC"), c.bootLock ? kRed : kGreen);
        if (protectedFlash) {
            EXPECT_TRUE(endsWith(sent, bytes("MrFF390CO0")));
            EXPECT_EQ(memory(), flash);
        }
        EXPECT_EQ(session->lastOperationSucceeded(), !protectedFlash);

        write(image);
        lines = memo();
        sent = hostBytes();
        EXPECT_EQ(hasLine(lines, "--> Команда записи отменена (nFWP или BOOT_LOCK)"),
                  protectedFlash);
        EXPECT_EQ(contains(sent, bytes("MwFF3904")), !protectedFlash);
        if (protectedFlash) {
            EXPECT_TRUE(endsWith(sent, bytes("MrFF390CO0")));
        }
        EXPECT_EQ(session->lastOperationSucceeded(), !protectedFlash);
    }
}

TEST_F(MecCheck, LostRegisterReadsAreReportedAndTheCheckGoesOn) {
    const struct {
        int read;
        const char* line;
    } cases[] = {
        {1, "Потеряна связь с MEC (I100)"},
        {2, "Потеряна связь с MEC (I101)"},
        {3, "Потеряна связь с MEC (I102)"},
        {4, "Потеряна связь с MEC (I103)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        open("jig3,mec-short-regread=" + std::to_string(c.read));
        session->BitBtn_MEC16Click();
        const auto lines = memo();
        EXPECT_TRUE(hasLine(lines, c.line));
        // The other three registers are still read and shown.
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.rfind("REG FF", 0) == 0; }),
                  3);
        EXPECT_TRUE(endsWith(hostBytes(), bytes("OJ1JS")));
        EXPECT_EQ(session->lastOperationSucceeded(), false);
        // Without the status answer nothing is said about the protection.
        const bool statusLost = c.read == 4;
        EXPECT_EQ(hasLineStarting(lines, "--> "), !statusLost);
        if (statusLost) {
            EXPECT_EQ(ui.colour("Shape_FWP_MEC16"), kBlack);
            EXPECT_EQ(ui.colour("Shape_BootLock_MEC"), kBlack);
        }
    }
}

TEST_F(MecCheck, AbsentControllerShowsAnAllFfIdAndFails) {
    open("jig3,mec=absent");
    session->BitBtn_MEC16Click();
    const auto lines = memo();
    EXPECT_TRUE(hasLine(lines, "ID from MEC -> FFFF FFFFh"));
    EXPECT_TRUE(hasLine(lines, "REG FF390Ch -> FFFF FFFFh"));
    EXPECT_TRUE(hasLine(lines, "--> FW write protect! (FWP ножка)"));
    EXPECT_EQ(session->lastOperationSucceeded(), false);
}

TEST_F(MecCheck, SilentJigEndsWithinTheBoundAndTheIdCountsAsAbsent) {
    // A second-generation JIG with the common firmware does not know the
    // MEC commands: every answer stays away.
    open("jig2=V41", 200ms);
    const auto start = std::chrono::steady_clock::now();
    session->BitBtn_MEC16Click();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    const auto lines = memo();
    EXPECT_TRUE(hasLine(lines, "JTAG_RESET: no answer from the programmer within 200 ms"));
    EXPECT_TRUE(hasLine(lines, "ID готово 4 байта но сняли меньше ОШИБКА"));
    EXPECT_TRUE(hasLine(lines, "ID from MEC -> FFFF FFFFh"));
    EXPECT_TRUE(hasLine(lines, "Потеряна связь с MEC (I103)"));
    EXPECT_EQ(session->lastOperationSucceeded(), false);
    EXPECT_FALSE(session->busy());
}

TEST_F(MecCheck, NoJigEndsAfterTheConnectLine) {
    open("silent");
    session->BitBtn_MEC16Click();
    EXPECT_EQ(memo(), (std::vector<std::string>{
                          "Current time <t>", "The programmer is not found or does not respond"}));
    EXPECT_EQ(session->lastConnectResult(), ConnectResult::NoJig);
    EXPECT_FALSE(session->busy());
}

// --- HELP, EXIT and presses while busy ---

TEST_F(MecCheck, HelpAppendsThePinOutAndExitLeavesWhenIdle) {
    open("jig3");
    session->BitBtn_MEC16_HELPClick();
    const auto lines = memo();
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_EQ(lines.front(), "Распиновка для расширенной версии (PCB2):");
    EXPECT_EQ(lines[4], "5-TCLK mec16");
    EXPECT_EQ(lines.back(), "Не тестировалось с MEC1619 - могут быть проблемы с записью.");
    EXPECT_TRUE(hostBytes().empty());

    session->EXIT_MEC16Click();
    EXPECT_TRUE(ui.visible("TForm1"));
    EXPECT_FALSE(ui.visible("TMEC16_Form"));
    EXPECT_FALSE(session->userBreak());
}

TEST_F(MecCheck, PressesWhileAReadRunsChangeNothing) {
    open("jig3,mec-stall-block=1", 600s);
    const std::string file = dir.file("dump.bin");
    ui.queueFile(file);
    session->BitBtn_RD_MEC16Click();
    ASSERT_TRUE(eventually([&] { return ui.gauge(kMecGauge) == 1; }));
    ASSERT_TRUE(session->busy());
    hostBytes();
    const auto before = ui.calls();

    session->BitBtn_MEC16Click();
    session->BitBtn_RD_MEC16Click();
    session->BitBtn_MEC16_ERASEClick();
    session->BitBtn_MEC16_WRITEClick();
    session->BitBtn_MEC16_HELPClick();
    EXPECT_EQ(ui.calls(), before);
    EXPECT_TRUE(hostBytes().empty());

    // EXIT only asks the read to stop; the window stays.
    session->EXIT_MEC16Click();
    EXPECT_TRUE(session->userBreak());
    EXPECT_EQ(ui.calls(), before);
    session->shutdown();
    EXPECT_FALSE(session->busy());
    EXPECT_EQ(readAll(file).size(), 1024u);
}

// --- read ---

using MecRead = MecSessionTest;

TEST_F(MecRead, FullReadWithAndWithoutInfoOnBothGenerations) {
    for (const Forms* f : {&kJig3, &kJig2}) {
        for (bool info : {false, true}) {
            SCOPED_TRACE(std::string(f->options) + (info ? " with INFO" : ""));
            open(f->options);
            const std::string file = dir.file("dump.bin");
            read(file, info);

            Bytes expected = bytes("B") + f->idRead + reg(*f, "wFF391000000001") +
                             reg(*f, "wFF390800000105") + reg(*f, "R000000") +
                             repeat(bytes("N"), 191) + bytes("X");
            if (info)
                expected = expected + reg(*f, "wFF390800000100") + reg(*f, "wFF390800000105") +
                           reg(*f, "R040000") + bytes("NX");
            expected = expected + finishing(*f) + bytes("I") + f->release;
            EXPECT_TRUE(hostBytes() == expected);
            EXPECT_TRUE(readAll(file) == (info ? memory() : mainFlash()));

            std::vector<std::string> tail = {"Read FLASH complete."};
            if (info)
                for (const char* l : {"Write to reg FF3908h 100h", "Read INFO ...",
                                      "Write to reg FF3908h 105h", "Read INFO complete."})
                    tail.push_back(l);
            for (const char* l :
                 {"Write to reg FF3908h 100h", "Write to reg FF3908h 0", "Write to reg FF3910h 0",
                  "Close VCOM port", "Current time <t>", ""})
                tail.push_back(l);
            const auto lines = memo();
            ASSERT_GE(lines.size(), tail.size());
            EXPECT_EQ(
                std::vector<std::string>(lines.end() - static_cast<long>(tail.size()), lines.end()),
                tail);
            for (const char* l : {"Write to file: ", "Read FLASH MEC ...",
                                  "ID from MEC -> 5A16 C307h", "Write to reg FF3910h 1"})
                EXPECT_TRUE(hasLine(lines, l)) << l;
            EXPECT_TRUE(hasLine(lines, file));
            EXPECT_TRUE(
                hasLine(lines, info ? "Read FLASH and INFO to file" : "Read only FLASH to file"));
            EXPECT_EQ(ui.gauge(kMecGauge), 192);
            EXPECT_EQ(ui.gaugeMax(kMecGauge), 192);
            EXPECT_EQ(ui.colour(kMecGauge), kGreen);
            EXPECT_EQ(session->lastOperationSucceeded(), true);
        }
    }
}

TEST_F(MecRead, BadBlocksStopTheStreamAndKeepWhatWasRead) {
    const struct {
        const char* options;
        bool info;
        size_t kept;
        const char* line;
        Bytes tail;  // after the last block
    } cases[] = {
        // Block 3 came with status 0: its bytes are kept too.
        {"jig3,mec-fail-block=3", false, 3072, "Lost communication with MEC (P103).",
         bytes("NNXJ1JSO")},
        {"jig3,mec-fail-block=194", true, kMecMain + 2048, "Lost communication with MEC (P109).",
         bytes("R040000NXOJ1JS")},
        {"jig2=V42,mec-fail-block=193", true, kMecMain + 1024,
         "Lost communication with MEC (P109).", bytes("R040000XO0")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options);
        const std::string file = dir.file("dump.bin");
        std::filesystem::remove(file);
        read(file, c.info);
        EXPECT_TRUE(readAll(file) == slice(memory(), 0, c.kept));
        const auto lines = memo();
        EXPECT_TRUE(hasLine(lines, c.line));
        // The registers are left as they are after a lost block.
        EXPECT_FALSE(hasLine(lines, "Write to reg FF3910h 0"));
        EXPECT_TRUE(endsWith(hostBytes(), c.tail));
        EXPECT_EQ(session->lastOperationSucceeded(), false);
    }
}

TEST_F(MecRead, JigSilentOrFloodingMidStreamEndsWithinTheBound) {
    const struct {
        const char* options;
        const char* line;
        size_t kept;
    } cases[] = {
        {"jig3,mec-stall-block=3", "Block 4 of 192: no answer from the programmer within 300 ms",
         3072},
        {"jig3,mec-long-block=2", "Block 2 of 192: the programmer sent more bytes than expected",
         1024},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options, 300ms);
        const std::string file = dir.file("dump.bin");
        std::filesystem::remove(file);
        const auto start = std::chrono::steady_clock::now();
        read(file);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
        const auto lines = memo();
        EXPECT_TRUE(hasLine(lines, c.line));
        EXPECT_TRUE(hasLine(lines, "Lost communication with MEC (P103)."));
        EXPECT_EQ(readAll(file).size(), c.kept);
        const Bytes sent = hostBytes();
        ASSERT_FALSE(sent.empty());
        EXPECT_TRUE(endsWith(sent, bytes("XJ1JSO")));
        EXPECT_EQ(session->lastOperationSucceeded(), false);
    }
}

TEST_F(MecRead, RefusedBeforeTheStreamStarts) {
    const struct {
        const char* options;
        const char* line;
        Bytes tail;
    } cases[] = {
        // The ID is all 0xFF: no register is written, the empty file stays.
        {"jig3,mec=absent", "Invalid ID. Read break!", bytes("MjOJ1JS")},
        {"jig3,mec-fail-regwrite=1", "Потеряна связь с MEC (R100)", bytes("MwFF391000000001OJ1JS")},
        {"jig2=V42,mec-fail-regwrite=2", "Потеряна связь с MEC (R101)", bytes("wFF390800000105O0")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        open(c.options);
        const std::string file = dir.file("new.bin");
        std::filesystem::remove(file);
        read(file);
        const auto lines = memo();
        EXPECT_TRUE(hasLine(lines, c.line));
        EXPECT_EQ(lines.back(), "");
        EXPECT_TRUE(endsWith(hostBytes(), c.tail));
        EXPECT_TRUE(std::filesystem::exists(file));
        EXPECT_EQ(readAll(file).size(), 0u);
        EXPECT_EQ(session->lastOperationSucceeded(), false);
    }
}

TEST_F(MecRead, CancelledDialogOrUncreatableFileSendsTheFailureByte) {
    open("jig3");
    ui.queueFile(std::nullopt);
    session->BitBtn_RD_MEC16Click();
    EXPECT_EQ(hostBytes(), bytes("BO"));
    EXPECT_EQ(memo(), (std::vector<std::string>{"Version FW -> M328_EPM240_v16  ", "User break",
                                                "Close VCOM port"}));

    ui.clear();
    const std::string nowhere = dir.file("no such folder/dump.bin");
    read(nowhere);
    EXPECT_EQ(hostBytes(), bytes("BO"));
    EXPECT_TRUE(hasLine(memo(), "Error create file"));
    EXPECT_EQ(ui.messages(), (std::vector<std::string>{"error: Error create file\n" + nowhere +
                                                       ".part: No such file or directory"}));
    EXPECT_EQ(session->lastOperationSucceeded(), false);
}

TEST_F(MecRead, ExitInTheMainAreaStopsAfterTheBlockInHand) {
    open("jig2=V42");
    // EXIT pressed while the save dialog is open: the read stops after block 1.
    ui.onFileDialog = [&] { session->EXIT_MEC16Click(); };
    const std::string file = dir.file("dump.bin");
    read(file);
    EXPECT_TRUE(readAll(file) == slice(memory(), 0, 1024));
    const auto lines = memo();
    const std::vector<std::string> tail = {"User break read ...",
                                           "Write to reg FF3908h 100h",
                                           "Write to reg FF3908h 0",
                                           "Write to reg FF3910h 0",
                                           "Close VCOM port",
                                           "Current time <t>",
                                           ""};
    EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<long>(tail.size()), lines.end()),
              tail);
    EXPECT_TRUE(endsWith(hostBytes(), bytes("R000000X") + finishing(kJig2) + bytes("0O")));
    EXPECT_EQ(session->lastOperationSucceeded(), false);
}

TEST_F(MecRead, ExitInTheInfoAreaChangesNothing) {
    open("jig3");
    ui.onLine = [&](const std::string& line) {
        if (line == "Read INFO ...") session->EXIT_MEC16Click();
    };
    const std::string file = dir.file("dump.bin");
    read(file, true);
    EXPECT_TRUE(session->userBreak());
    EXPECT_TRUE(readAll(file) == memory());
    EXPECT_TRUE(hasLine(memo(), "Read INFO complete."));
    EXPECT_FALSE(hasLine(memo(), "User break read ..."));
    EXPECT_EQ(session->lastOperationSucceeded(), true);
}

TEST_F(MecRead, LostRegisterWritesWhileSwitchingToInfoAreReportedAndInfoIsStillAsked) {
    // Register writes 1, 2 start the read; 3 and 4 switch to INFO.
    const struct {
        const char* options;
        const char* line;
    } cases[] = {
        {"jig3,mec-fail-regwrite=3", "Потеряна связь с MEC16 (P107)."},
        {"jig3,mec-fail-regwrite=4", "Потеряна связь с MEC16 (P108)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        open(c.options);
        read(dir.file("dump.bin"), true);
        EXPECT_TRUE(hasLine(memo(), c.line));
        EXPECT_TRUE(contains(hostBytes(), bytes("MR040000")));
        // Reported, so the read as a whole has failed.
        EXPECT_EQ(session->lastOperationSucceeded(), false);
    }
}

TEST_F(MecRead, LostFinishingWritesAreReportedAndTheSequenceGoesOn) {
    const struct {
        const char* options;
        bool info;
        const char* line;
    } cases[] = {
        {"jig3,mec-fail-regwrite=3", false, "Потеряна связь с MEC16 (P104)."},
        {"jig3,mec-fail-regwrite=4", false, "Потеряна связь с MEC16 (P105)."},
        {"jig3,mec-fail-regwrite=5", false, "Потеряна связь с MEC16 (P106)"},
        {"jig3,mec-fail-regwrite=6", true, "Потеряна связь с MEC16 (P111)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        open(c.options);
        read(dir.file("dump.bin"), c.info);
        const auto lines = memo();
        EXPECT_TRUE(hasLine(lines, c.line));
        EXPECT_TRUE(hasLine(lines, "Close VCOM port"));
        EXPECT_TRUE(endsWith(hostBytes(), bytes("MwFF391000000000IJ1JS")));
        EXPECT_EQ(session->lastOperationSucceeded(), false);
    }
}

TEST_F(MecRead, AFullDiskStopsTheReadAndSaysSo) {
    open("jig3");
    const std::string file = dir.file("dump.bin");
    // The file may not grow past two blocks; the third write is refused.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 2048 + 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    read(file);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    const auto lines = memo();
    EXPECT_TRUE(hasLine(lines, "Error writing file!"));
    EXPECT_FALSE(hasLine(lines, "Read FLASH complete."));
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].rfind("error: Error writing file!\n" + file + ".part: ", 0), 0u);
    // Stream ended, controller put back, failure signalled.
    EXPECT_TRUE(endsWith(hostBytes(), bytes("NNX") + finishing(kJig3) + bytes("J1JSO")));
    EXPECT_EQ(session->lastOperationSucceeded(), false);
    EXPECT_LT(readAll(file).size(), 3072u);
}

TEST_F(MecRead, AFailedReadNeverDestroysTheFileItWouldReplace) {
    const Bytes old = patternImage(kMecMain, 9);
    for (const char* options : {"jig3,mec-fail-block=3", "jig3"}) {
        SCOPED_TRACE(options);
        open(options);
        const std::string file = dir.file("dump.bin");
        writeAll(file, old);
        std::filesystem::remove(file + ".part");
        read(file);
        const bool ok = std::string(options) == "jig3";
        EXPECT_EQ(session->lastOperationSucceeded(), ok);
        if (ok) {
            EXPECT_TRUE(readAll(file) == mainFlash());
            EXPECT_FALSE(std::filesystem::exists(file + ".part"));
        } else {
            EXPECT_TRUE(readAll(file) == old);
            EXPECT_TRUE(readAll(file + ".part") == slice(memory(), 0, 3072));
            ASSERT_EQ(ui.messages().size(), 1u);
            EXPECT_EQ(ui.messages()[0].rfind("warning: ", 0), 0u);
        }
    }
}

}  // namespace
}  // namespace zjig::test
