// The MEC16xx erase and write against the simulated JIG: the exchanges byte
// for byte, round trips through the controller's flash, short and long files,
// and every loss code on its path.
#include <gtest/gtest.h>

#include <filesystem>

#include "mec_test_support.h"

namespace zjig::test {
namespace {

using namespace std::chrono_literals;

Bytes finishingWrites(const std::string& prefix) {
    return bytes(prefix + "wFF390800000100" + prefix + "wFF390800000000" + prefix +
                 "wFF391000000000");
}

// The PC's bytes of a write of `image` from 'W' on, without the end.
Bytes chunks(const Bytes& image, size_t count) {
    Bytes out = bytes("W");
    for (size_t k = 0; k < count; ++k) {
        if (k > 0) out = out + bytes("N");
        Bytes chunk(256, 0xFF);
        if (k * 256 < image.size())
            std::copy_n(image.begin() + static_cast<long>(k * 256),
                        std::min<size_t>(256, image.size() - k * 256), chunk.begin());
        out = out + chunk;
    }
    return out;
}

// --- erase ---

using MecErase = MecSessionTest;

TEST_F(MecErase, ExchangeLinesAndTheAreasErased) {
    const struct {
        const char* options;
        std::string prefix;
        bool info;
    } cases[] = {{"jig3", "M", false}, {"jig3", "M", true}, {"jig2=V42", "", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.options) + (c.info ? " with INFO" : ""));
        open(c.options);
        const Bytes infoBefore = infoArea();
        erase(c.info);
        const std::string p = c.prefix;
        const Bytes expected =
            bytes("B1j" + p + "rFF390C" + p + "wFF391000000001" + p + "wFF390800000107" + p +
                  "wFF3904" + (c.info ? "00FC0000" : "00F80000")) +
            repeat(bytes(p + "rFF390C"), 3) + finishingWrites(p) + bytes("I0");
        EXPECT_TRUE(hostBytes() == expected);
        EXPECT_TRUE(mainFlash() == Bytes(kMecMain, 0xFF));
        EXPECT_TRUE(infoArea() == (c.info ? Bytes(kMecInfo, 0xFF) : infoBefore));
        EXPECT_EQ(memo(), (std::vector<std::string>{
                              "Текущее время  <t>",
                              c.prefix.empty() ? "Version FW -> PCB2_M88_V42  "
                                               : "Version FW -> M328_EPM240_v16  ",
                              "получили ответ после команды 1",
                              "Получен ID от MEC16 -> 5A16 C307h",
                              "Регистр FF390Ch -> 0000 0000h",
                              "--> Стирание и запись разрешена (FWP ножка)",
                              "--> Стирание и запись загрузочного блока разрешена",
                              "Записали в регистр FF3910h 1",
                              "Записали в регистр FF3908h 107h",
                              "Отправили команду стирания.",
                              "Стирание завершено успешно.",
                              "Записали в регистр FF3908h 100h",
                              "Записали в регистр FF3908h 0",
                              "Записали в регистр FF3910h 0",
                              "Закрыли VCOM порт",
                              "Текущее время  <t>",
                              "",
                          }));
        EXPECT_EQ(ui.colour("Shape_FWP_MEC16"), kGreen);
        EXPECT_EQ(session->lastOperationSucceeded(), true);
        EXPECT_FALSE(session->busy());
    }
}

TEST_F(MecErase, EveryLossEndsTheEraseWithoutItsSuccessByte) {
    const struct {
        const char* options;
        const char* line;
        Bytes tail;
        bool eraseStarted;
    } cases[] = {
        // No status: the erase is never started on a guess.
        {"jig3,mec-short-regread=1", "Потеряна связь с MEC16 (E100)", bytes("MrFF390C0"), false},
        {"jig3,mec-fail-regwrite=1", "Потеряна связь с MEC16 (E101)", bytes("MwFF3910000000010"),
         false},
        {"jig3,mec-fail-regwrite=2", "Потеряна связь с MEC16 (E102)", bytes("MwFF3908000001070"),
         false},
        {"jig3,mec-fail-regwrite=3", "Потеряна связь с MEC16 (E103)", bytes("MwFF390400F800000"),
         false},
        {"jig3,mec-short-regread=2", "Потеряна связь с MEC16 (E104)", bytes("MrFF390C0"), true},
        {"jig3,mec-fail-regwrite=4", "Потеряна связь с MEC16 (E105)", bytes("MwFF3908000001000"),
         true},
        {"jig2=V42,mec-fail-regwrite=5", "Потеряна связь с MEC16 (E106)", bytes("wFF3908000000000"),
         true},
        {"jig3,mec-fail-regwrite=6", "Потеряна связь с MEC16 (E107)", bytes("MwFF3910000000000"),
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        open(c.options);
        const Bytes before = memory();
        erase();
        const auto lines = memo();
        EXPECT_TRUE(hasLine(lines, c.line));
        EXPECT_FALSE(hasLine(lines, "Записали в регистр FF3910h 0"));
        EXPECT_EQ(lines[lines.size() - 3], "Закрыли VCOM порт");
        EXPECT_TRUE(endsWith(hostBytes(), c.tail));
        EXPECT_EQ(mainFlash() == Bytes(kMecMain, 0xFF), c.eraseStarted);
        if (!c.eraseStarted) {
            EXPECT_EQ(memory(), before);
        }
        EXPECT_EQ(session->lastOperationSucceeded(), false);
    }
    // E100 leaves the protection unjudged: the shapes stay black.
    open("jig3,mec-short-regread=1");
    erase();
    EXPECT_EQ(ui.colour("Shape_FWP_MEC16"), kBlack);
    EXPECT_EQ(ui.colour("Shape_BootLock_MEC"), kBlack);
    EXPECT_FALSE(hasLineStarting(memo(), "--> "));
}

TEST_F(MecErase, ControllerBusyForEverEndsAtTheBound) {
    open("jig3,mec-busy=never", 300ms);
    const auto start = std::chrono::steady_clock::now();
    erase();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    const auto lines = memo();
    EXPECT_TRUE(hasLine(lines, "Erase: the controller is still busy after 300 ms"));
    EXPECT_TRUE(hasLine(lines, "Потеряна связь с MEC16 (E104)"));
    EXPECT_FALSE(hasLine(lines, "Стирание завершено успешно."));
    EXPECT_TRUE(endsWith(hostBytes(), bytes("MrFF390C0")));
    EXPECT_EQ(session->lastOperationSucceeded(), false);
}

// --- write ---

using MecWrite = MecSessionTest;

TEST_F(MecWrite, EraseWriteReadRoundTripsOnBothGenerations) {
    for (const char* options : {"jig3", "jig2=V42"}) {
        for (bool eraseInfo : {false, true}) {
            SCOPED_TRACE(std::string(options) + (eraseInfo ? " erase INFO" : ""));
            open(options);
            const Bytes infoBefore = infoArea();
            erase(eraseInfo);
            ASSERT_EQ(session->lastOperationSucceeded(), true);
            const Bytes image = patternImage(kMecMain, eraseInfo ? 7 : 8);
            const std::string file = dir.file("image.bin");
            writeAll(file, image);
            write(file);
            EXPECT_EQ(session->lastOperationSucceeded(), true);
            EXPECT_TRUE(ui.messages().empty());
            EXPECT_TRUE(mainFlash() == image);

            const std::string back = dir.file("back.bin");
            read(back, true);
            const Bytes info = eraseInfo ? Bytes(kMecInfo, 0xFF) : infoBefore;
            EXPECT_TRUE(readAll(back) == image + info);
        }
    }
}

TEST_F(MecWrite, FullWriteExchangeAndLines) {
    open("jig3");
    erase();
    hostBytes();
    ui.clear();
    const Bytes image = patternImage(kMecMain, 4);
    const std::string file = dir.file("image.bin");
    writeAll(file, image);
    write(file);

    const Bytes expected = bytes("B1jMrFF390CMwFF391000000001MwFF390800000106MwFF390400000000") +
                           chunks(image, 768) + bytes("X") + finishingWrites("M") + bytes("IJ1JS");
    EXPECT_TRUE(hostBytes() == expected);
    EXPECT_EQ(memo(), (std::vector<std::string>{
                          "Version FW -> M328_EPM240_v16  ",
                          "Текущее время  <t>",
                          "Записываем в файл: ",
                          file,
                          "Выбрана запись только MAIN блока",
                          "Начали запись MEC16 main block ...",
                          "получили ответ после команды 1",
                          "Получен ID от MEC16 -> 5A16 C307h",
                          "--> Стирание и запись разрешена (FWP ножка)",
                          "--> Стирание и запись загрузочного блока разрешена",
                          "Записали в регистр FF3910h 1",
                          "Записали в регистр FF3908h 106h",
                          "Записали в регистр FF3904h 0",
                          "Write FLASH complete.",
                          "Write to reg FF3908h 100h",
                          "Write to reg FF3908h 0",
                          "Write to reg FF3910h 0",
                          "Close VCOM port",
                          "Current time <t>",
                          "",
                      }));
    EXPECT_EQ(ui.gauge(kMecGauge), 768);
    EXPECT_EQ(ui.gaugeMax(kMecGauge), 768);
    EXPECT_EQ(ui.colour(kMecGauge), kRed);
}

TEST_F(MecWrite, WritingWithoutAnEraseReadsBackWrong) {
    open("jig2=V42");
    const Bytes before = mainFlash();
    const Bytes image = patternImage(kMecMain, 2);
    const std::string file = dir.file("image.bin");
    writeAll(file, image);
    write(file);
    EXPECT_EQ(session->lastOperationSucceeded(), true);
    const Bytes flash = mainFlash();
    EXPECT_FALSE(flash == image);
    for (size_t i = 0; i < kMecMain; i += 4099) EXPECT_EQ(flash[i], before[i] & image[i]) << i;
}

TEST_F(MecWrite, ShortFilesEndWithAPaddedChunk) {
    const struct {
        size_t size;
        size_t chunksSent;  // the last one padded
        int gauge;
    } cases[] = {{1000, 4, 3}, {512, 3, 2}, {2, 1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        open("jig3");
        erase();
        hostBytes();
        ui.clear();
        const Bytes image = patternImage(c.size, 3);
        const std::string file = dir.file("short.bin");
        writeAll(file, image);
        write(file);

        // 1000 bytes: chunk 4 holds the file's last 232 bytes and 24 bytes 0xFF.
        const Bytes sent = hostBytes();
        EXPECT_TRUE(endsWith(
            sent, chunks(image, c.chunksSent) + bytes("X") + finishingWrites("M") + bytes("JSI")));
        Bytes flash(kMecMain, 0xFF);
        std::copy(image.begin(), image.end(), flash.begin());
        EXPECT_TRUE(mainFlash() == flash);
        const auto lines = memo();
        const std::vector<std::string> tail = {"-> Предупреждение!",
                                               "-> Записываемый файл короче!",
                                               "Write to reg FF3908h 100h",
                                               "Write to reg FF3908h 0",
                                               "Write to reg FF3910h 0",
                                               "Current time <t>",
                                               ""};
        EXPECT_EQ(
            std::vector<std::string>(lines.end() - static_cast<long>(tail.size()), lines.end()),
            tail);
        EXPECT_EQ(ui.messages(),
                  (std::vector<std::string>{"warning: " + file + " is " + std::to_string(c.size) +
                                            " bytes, " + std::to_string(kMecMain - c.size) +
                                            " bytes shorter than the flash (196608 bytes); the "
                                            "rest is padded with FF."}));
        EXPECT_EQ(ui.gauge(kMecGauge), c.gauge);
        EXPECT_EQ(session->lastOperationSucceeded(), true);
    }
}

TEST_F(MecWrite, LastChunkOfAShortFileNotProgrammedIsAFailure) {
    open("jig3,mec-fail-chunk=4");
    erase();
    const std::string file = dir.file("short.bin");
    writeAll(file, patternImage(1000, 1));
    write(file);
    const auto lines = memo();
    EXPECT_TRUE(hasLine(lines, "Потеряна связь с MEC16 (W102)"));
    // The end still puts the controller back, then signals the failure.
    EXPECT_TRUE(hasLine(lines, "Write to reg FF3910h 0"));
    EXPECT_TRUE(endsWith(hostBytes(), bytes("MwFF391000000000JSO")));
    EXPECT_EQ(session->lastOperationSucceeded(), false);
}

TEST_F(MecWrite, LongerFileIsCutWithAWarning) {
    open("jig3");
    erase(true);
    const Bytes image = patternImage(kMecMain + kMecInfo, 5);
    const std::string file = dir.file("long.bin");
    writeAll(file, image);
    write(file);
    EXPECT_TRUE(mainFlash() == slice(image, 0, kMecMain));
    EXPECT_TRUE(infoArea() == Bytes(kMecInfo, 0xFF));
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_NE(ui.messages()[0].find("2048 bytes longer than the flash"), std::string::npos);
    EXPECT_TRUE(hasLine(memo(), "Write FLASH complete."));
    EXPECT_EQ(session->lastOperationSucceeded(), true);
}

TEST_F(MecWrite, ChunkNotProgrammedOrJigSilentStopsTheWrite) {
    const struct {
        const char* options;
        const char* failureLine;  // nullptr: the chunk was answered 'E'
        Bytes tail;
    } cases[] = {
        {"jig3,mec-fail-chunk=5", nullptr, bytes("XJSO")},
        {"jig2=V42,mec-fail-chunk=5", nullptr, bytes("XO")},
        {"jig3,mec-stall-chunk=5", "Chunk 5 of 768: no answer from the programmer within 300 ms",
         bytes("XJSO")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        open(c.options, 300ms);
        const Bytes image = patternImage(kMecMain, 6);
        const std::string file = dir.file("image.bin");
        writeAll(file, image);
        const auto start = std::chrono::steady_clock::now();
        write(file);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
        const auto lines = memo();
        if (c.failureLine) {
            EXPECT_TRUE(hasLine(lines, c.failureLine));
        }
        EXPECT_TRUE(hasLine(lines, "Потеряна связь с MEC16 (W103)"));
        // The registers are left as they are; the flash holds the chunks so far.
        EXPECT_FALSE(hasLine(lines, "Write to reg FF3908h 100h"));
        EXPECT_FALSE(hasLine(lines, "Close VCOM port"));
        EXPECT_TRUE(endsWith(hostBytes(), slice(image, 4 * 256, 256) + c.tail));
        EXPECT_EQ(ui.gauge(kMecGauge), 5);
        EXPECT_EQ(session->lastOperationSucceeded(), false);
    }
}

TEST_F(MecWrite, RefusedBeforeTheControllerIsChanged) {
    const struct {
        const char* options;
        const char* line;
        Bytes tail;
    } cases[] = {
        {"jig3,mec=absent", "Неверный ID. Операция прервана!", bytes("1jO0")},
        {"jig3,mec-short-regread=1", "Потеряна связь с MEC16 (TW001)", bytes("MrFF390CO0")},
        {"jig3,mec-fail-regwrite=1", "Потеряна связь с MEC16 (W100)", bytes("MwFF391000000001O0")},
        {"jig2=V42,mec-fail-regwrite=2", "Потеряна связь с MEC16 (W101)",
         bytes("wFF390800000106O0")},
        {"jig3,mec-fail-regwrite=3", "Потеряна связь с MEC16 (W101A)", bytes("MwFF390400000000O0")},
    };
    const std::string file = dir.file("image.bin");
    writeAll(file, patternImage(kMecMain, 1));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        open(c.options);
        const Bytes before = memory();
        write(file);
        const auto lines = memo();
        EXPECT_TRUE(hasLine(lines, c.line));
        EXPECT_EQ(lines[lines.size() - 3], "Закрыли VCOM порт");
        EXPECT_TRUE(endsWith(hostBytes(), c.tail));
        EXPECT_EQ(memory(), before);
        EXPECT_EQ(session->lastOperationSucceeded(), false);
    }
}

TEST_F(MecWrite, FilesThatCannotBeWrittenAreRefusedBeforeAnyJtagByte) {
    writeAll(dir.file("empty.bin"), {});
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {dir.file("empty.bin"), "the file is empty"},
        {dir.file("missing.bin"), "No such file or directory"},
        {dir.file(""), "is a directory, not a file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        open("jig3");
        write(c.path);
        EXPECT_EQ(memo(), (std::vector<std::string>{"Version FW -> M328_EPM240_v16  ",
                                                    "Ошибка открытия файла", "Закрыли VCOM порт"}));
        EXPECT_EQ(ui.messages(), (std::vector<std::string>{"error: Ошибка открытия файла\n" +
                                                           c.path + ": " + c.reason}));
        EXPECT_EQ(hostBytes(), bytes("BO"));
        EXPECT_EQ(session->lastOperationSucceeded(), false);
    }
    open("jig3");
    ui.queueFile(std::nullopt);
    session->BitBtn_MEC16_WRITEClick();
    EXPECT_EQ(memo().back(), "Закрыли VCOM порт");
    EXPECT_TRUE(hasLine(memo(), "Операция записи прервана"));
    EXPECT_EQ(hostBytes(), bytes("BO"));
}

TEST_F(MecWrite, LostFinishingWritesAreReportedAndTheWriteStillEnds) {
    const struct {
        int regWrite;
        const char* line;
    } cases[] = {{4, "Потеряна связь с MEC16 (W104)."},
                 {5, "Потеряна связь с MEC16 (W105)."},
                 {6, "Потеряна связь с MEC16 (W106)"}};
    const std::string file = dir.file("image.bin");
    writeAll(file, patternImage(kMecMain, 1));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        open("jig3,mec-fail-regwrite=" + std::to_string(c.regWrite));
        write(file);
        EXPECT_TRUE(hasLine(memo(), c.line));
        EXPECT_TRUE(endsWith(hostBytes(), bytes("MwFF391000000000IJ1JS")));
        EXPECT_EQ(session->lastOperationSucceeded(), false);
    }
}

TEST_F(MecWrite, ExitDuringAWriteDoesNotStopIt) {
    open("jig3");
    erase();
    ui.onLine = [&](const std::string& line) {
        if (line == "Начали запись MEC16 main block ...") session->EXIT_MEC16Click();
    };
    const Bytes image = patternImage(kMecMain, 3);
    const std::string file = dir.file("image.bin");
    writeAll(file, image);
    write(file);
    EXPECT_TRUE(session->userBreak());
    EXPECT_TRUE(hasLine(memo(), "Write FLASH complete."));
    EXPECT_TRUE(mainFlash() == image);
    EXPECT_EQ(session->lastOperationSucceeded(), true);
}

}  // namespace
}  // namespace zjig::test
