// The rules every zjig command keeps, end to end: files that are no regular
// file are refused at once, devices that are missing or held say why, every
// error line starts with "error:", a JIG firmware file cut by the load buffer
// is refused, and database text is shown escaped and in bounded lists.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "cli/child_process.h"
#include "cli_harness.h"

namespace zjig::test {
namespace {

using namespace std::chrono_literals;

const std::string kFirmwareDir = std::string(ZJIG_SOURCE_DIR) + "/sim-firmware";

// Every line of `err` is an error line.
bool allErrorLines(const std::string& err) {
    for (const auto& line : outputLines(err))
        if (line.rfind("error: ", 0) != 0) return false;
    return !err.empty();
}

// A FIFO where a file is expected is refused at once, with what it is. zjig
// runs as a child: a blocking open() would hold it (and fail the test on its
// limit) instead of hanging the suite.
TEST(HouseRules, FifoIsRefusedWhereverAFileIsExpected) {
    struct Case {
        const char* kind;
        const char* fifo;  // made as a FIFO in the current folder
        std::vector<std::string> args;
        int code;
        std::string stream;  // "out" or "err"
        std::string line;
    };
    const std::string pipe = ": is a pipe (FIFO), not a regular file";
    const Case cases[] = {
        {"image",
         "image.bin",
         {"--port", "sim:jig3,wirelog=wire.bin", "ene", "write", "image.bin"},
         1,
         "err",
         "error: image.bin" + pipe},
        {"output",
         "dump.bin",
         {"--port", "sim:jig3,wirelog=wire.bin", "ene", "read", "dump.bin"},
         1,
         "err",
         "error: dump.bin" + pipe},
        {"firmware",
         "JFW_COMMON.hex",
         {"--port", "sim:jig2=V42,wirelog=wire.bin", "--firmware-dir", ".", "start", "ENE KB90XX"},
         1,
         "out",
         "./JFW_COMMON.hex" + pipe},
        {"database",
         "MB connection ENE.txt",
         {"--port", "sim:jig3,wirelog=wire.bin", "ene", "apply", "--mb", "ZTB", "--ffc", "18"},
         2,
         "err",
         "error: --mb: no motherboard database \"MB connection ENE.txt\" in the current folder "
         "(is a pipe (FIFO), not a regular file)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        TempDir dir;
        ASSERT_EQ(::mkfifo(dir.file(c.fifo).c_str(), 0600), 0);
        ChildProcess zjig(ZJIG_BINARY, c.args, dir.path().string());
        const auto status = zjig.waitForEnd(10s);
        ASSERT_TRUE(status) << "zjig blocked on the FIFO";
        ASSERT_TRUE(WIFEXITED(*status));
        EXPECT_EQ(WEXITSTATUS(*status), c.code) << zjig.out() << zjig.err();
        EXPECT_TRUE(hasLine(c.stream == "out" ? zjig.out() : zjig.err(), c.line))
            << zjig.out() << zjig.err();
        // Nothing that changes the flash went out.
        const std::string wire = ChildProcess::fileText(dir.file("wire.bin"));
        EXPECT_EQ(wire.find("KW"), std::string::npos);
    }
}

class HouseRulesCli : public CliFixture {};

// A serial node that is missing or held by another program is no device:
// zjig finds no JIG (exit 3) and prints why; `start` says the JIG is not
// connected and asks for no reset button.
TEST_F(HouseRulesCli, MissingOrHeldSerialNodeSaysWhy) {
    const std::string missing = dir_.file("ttyUSB9");
    char name[256] = {};
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ASSERT_EQ(::flock(slave, LOCK_EX | LOCK_NB), 0);
    const std::string held = name;

    struct Case {
        std::string port;
        std::vector<std::string> command;
        std::vector<std::string> errors;
    };
    const std::string missingWhy = "error: serial:" + missing + ": No such file or directory";
    const std::string heldWhy = "error: serial:" + held + ": in use by another program";
    const Case cases[] = {
        {missing, {"test-connect"}, {missingWhy}},
        {missing, {"ene", "read", "x.bin"}, {missingWhy}},
        {missing,
         {"start", "ENE KB90XX"},
         {"error: JIG not connected to the USB port!", missingWhy}},
        {held, {"test-connect"}, {heldWhy}},
        {held, {"ene", "write", "image.bin"}, {heldWhy}},
        {held, {"start", "ENE KB90XX"}, {"error: JIG not connected to the USB port!", heldWhy}},
    };
    writeFile("image.bin", std::string(131072, 'x'));
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--port", "serial:" + c.port};
        args.insert(args.end(), c.command.begin(), c.command.end());
        SCOPED_TRACE(c.port + " " + c.command.front());
        const auto r = zjig(args);
        EXPECT_EQ(r.code, 3) << r.out << r.err;
        EXPECT_EQ(outputLines(r.err), c.errors) << r.err;
        EXPECT_EQ(r.out.find("RESET"), std::string::npos) << r.out;
    }
    EXPECT_FALSE(std::filesystem::exists("x.bin"));
    ::close(slave);
    ::close(master);
}

// --timeout takes finite positive seconds; CLI11's own refusals carry the
// same "error:" prefix as zjig's. All are usage errors.
TEST_F(HouseRulesCli, UsageErrorsAreErrorLines) {
    std::filesystem::create_directory("folder");
    const std::vector<std::vector<std::string>> cases = {
        {"--timeout", "nan", "test-connect"},
        {"--timeout", "inf", "test-connect"},
        {"--timeout", "-inf", "test-connect"},
        {"--timeout", "0", "test-connect"},
        {"--timeout", "-2", "test-connect"},
        {"--timeout", "1e400", "test-connect"},
        {"--timeout", "abc", "test-connect"},
        {"--timeout", "5s", "test-connect"},
        {"--timeout", "", "test-connect"},
        {"--port", "sim", "ene", "write", "folder"},
        {"--port", "sim", "ene", "read", "x.bin", "--mb", "A", "--ffc", "7"},
        {"--port", "sim", "ene", "read", "x.bin", "--mb", "A", "--ffc", "abc"},
        {"--port", "sim", "--bogus", "test-connect"},
        {"--port", "sim"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const auto r = zjig(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(allErrorLines(r.err)) << r.err;
        EXPECT_EQ(r.out, "");
    }
    const auto folder = zjig({"--port", "sim", "ene", "write", "folder"});
    EXPECT_NE(folder.err.find("File is actually a directory"), std::string::npos) << folder.err;
    const auto nan = zjig({"--timeout", "nan", "test-connect"});
    EXPECT_EQ(outputLines(nan.err),
              std::vector<std::string>{"error: --timeout: \"nan\" is not a time in seconds between "
                                       "0.001 and 86400 (see zjig --help)"});
    // A finite positive limit is taken.
    EXPECT_EQ(zjig({"--timeout", "0.5", "--port", "sim", "test-connect"}).code, 0);
}

// A JIG firmware file longer than the 32768-byte load buffer is taken only
// when its end-of-file record lies inside the buffer; a cut between records
// fails the update instead of flashing part of the firmware.
TEST_F(HouseRulesCli, OverlongFirmwareFileFailsTheUpdate) {
    const std::string good = readFile(kFirmwareDir + "/JFW_COMMON.hex");
    ASSERT_LT(good.size(), 32768u);
    const size_t eof = good.find(":00000001FF");
    ASSERT_NE(eof, std::string::npos);
    // The firmware's data records, then empty data records up to exactly the
    // buffer's end, the end-of-file record beyond it: the cut falls between
    // two records, so only the missing end-of-file record tells.
    std::string overlong = good.substr(0, eof);
    const auto emptyRecord = [](size_t size) {  // 13 bytes and more, odd sizes
        const size_t count = (size - 13) / 2;
        std::string digits(count * 2, '0');
        const auto sum = static_cast<uint8_t>(0x100 - count);
        char head[16];
        std::snprintf(head, sizeof head, ":%02X0000", static_cast<unsigned>(count));
        char tail[8];
        std::snprintf(tail, sizeof tail, "00%02X\r\n", static_cast<unsigned>(sum));
        return std::string(head) + digits + tail;
    };
    while (32768 - overlong.size() >= 100) overlong += emptyRecord(45);
    size_t gap = 32768 - overlong.size();
    if (gap % 2 == 0) {
        overlong += emptyRecord(13);
        gap -= 13;
    }
    overlong += emptyRecord(gap);
    ASSERT_EQ(overlong.size(), 32768u);
    overlong += good.substr(eof);
    std::filesystem::create_directory("fw");
    writeFile("fw/JFW_COMMON.hex", overlong);
    auto r = zjig({"--port", "sim:jig2=V42", "--firmware-dir", "fw", "start", "ENE KB90XX"});
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_TRUE(hasLine(r.out, "Wrong file format!")) << r.out;
    EXPECT_TRUE(hasLine(r.out, "Error format .hex file for M88!")) << r.out;
    EXPECT_FALSE(hasLine(r.out, "Exit from BOOT and RUN ... ")) << r.out;

    // The same records with the end-of-file record inside the buffer update.
    writeFile("fw/JFW_COMMON.hex", good + std::string(32768, '\n'));
    r = zjig({"--port", "sim:jig2=V42", "--firmware-dir", "fw", "start", "ENE KB90XX"});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(hasLine(r.out, "Exit from BOOT and RUN ... ")) << r.out;
}

// A --mb that matches no record or several lists 20 records at most and the
// count of the rest; records are shown with their control bytes escaped.
TEST_F(HouseRulesCli, DatabaseRecordsAreListedBoundedAndEscaped) {
    std::string database;
    for (int i = 0; i < 5000; ++i)
        database += "Board " + std::to_string(i) + " KSO3=1 KSI4=2 KSI5=3 KSI6=4 KSI7=9\r\n";
    static constexpr char kOdd[] = "Odd\0one\x1B[2J KSO3=1 KSI4=2 KSI5=3 KSI6=4 KSI7=9\r\n";
    const std::string odd(kOdd, sizeof kOdd - 1);
    database += odd;
    writeFile("MB connection ENE.txt", database);

    struct Case {
        std::string mb;
        std::string header;
        size_t rest;
    };
    const Case cases[] = {
        {"Nothing", "error: --mb \"Nothing\" matches no record; the records are:", 4981},
        {"KSO3", "error: --mb \"KSO3\" matches 5001 records:", 4981},
        {"Board 1", "error: --mb \"Board 1\" matches 1111 records:", 1091},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mb);
        const auto r = zjig({"--port", "sim:silent", "ene", "apply", "--mb", c.mb, "--ffc", "18"});
        EXPECT_EQ(r.code, 2);
        const auto lines = outputLines(r.err);
        ASSERT_EQ(lines.size(), 22u) << r.err.substr(0, 2000);
        EXPECT_EQ(lines.front(), c.header);
        EXPECT_EQ(lines.back(), "error:   ... and " + std::to_string(c.rest) + " more");
        EXPECT_TRUE(allErrorLines(r.err));
    }
    // Two records holding NUL and ESC: both listed, escaped.
    auto r = zjig({"--port", "sim:silent", "ene", "apply", "--mb", "Odd", "--ffc", "18"});
    EXPECT_EQ(r.code, 3) << "one record matched; the silent JIG is not found\n" << r.err;
    EXPECT_TRUE(hasLine(r.out,
                        "User select --> Odd\\x00one\\x1B[2J KSO3=1 KSI4=2 KSI5=3 KSI6=4 KSI7=9 "
                        "(18 pin FFC) 1 to 1 "))
        << r.out;
    EXPECT_EQ(r.out.find('\x1B'), std::string::npos);
    writeFile("MB connection ENE.txt", database + odd);
    r = zjig({"--port", "sim:silent", "ene", "apply", "--mb", "Odd", "--ffc", "18"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(hasLine(r.err, "error:   Odd\\x00one\\x1B[2J KSO3=1 KSI4=2 KSI5=3 KSI6=4 KSI7=9"))
        << r.err;
    EXPECT_EQ(r.err.find('\x1B'), std::string::npos);
}

}  // namespace
}  // namespace zjig::test
