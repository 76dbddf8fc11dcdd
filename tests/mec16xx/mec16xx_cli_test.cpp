// zjig mec check|read|erase|write in process against the simulated JIG:
// standard output is the MEC window's memo, the exit status tells how the
// operation ended.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

namespace zjig::test {
namespace {

constexpr size_t kMain = 196608;
constexpr size_t kInfo = 2048;

std::string image(size_t size, int seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 31 + (i >> 8) * 5 + seed) & 0xFF);
    return bytes;
}

class MecCli : public CliFixture {
  protected:
    // The simulated controller's memory kept between runs, one folder per generation.
    std::string port(const std::string& generation, const std::string& more = {}) const {
        return "sim:" + generation + ",state=" + dir_.file("state " + generation) + more;
    }
};

TEST_F(MecCli, ExitStatusTellsHowTheOperationEnded) {
    writeFile("image.bin", image(kMain, 1));
    writeFile("short.bin", image(1000, 1));
    writeFile("empty.bin", "");
    const struct {
        std::vector<std::string> args;
        int code;
    } cases[] = {
        {{"--port", "sim:jig3", "mec", "check"}, 0},
        {{"--port", "sim:jig3,mec-fwp", "mec", "check"}, 1},
        {{"--port", "sim:jig3,mec-boot-lock", "mec", "erase"}, 1},
        {{"--port", "sim:silent", "mec", "check"}, 3},
        {{"--port", "sim:jig3", "mec", "write"}, 2},
        {{"--port", "sim:jig3", "mec", "write", "no such file.bin"}, 2},
        {{"--port", "sim:jig3", "mec", "read"}, 2},
        {{"--port", "sim:jig3", "mec", "write", "empty.bin"}, 1},
        // A short file that ends with the success byte is a success ...
        {{"--port", "sim:jig3", "mec", "write", "short.bin"}, 0},
        // ... unless its last chunk was not programmed.
        {{"--port", "sim:jig3,mec-fail-chunk=4", "mec", "write", "short.bin"}, 1},
        // A loss line followed by the success byte is a failure.
        {{"--port", "sim:jig3,mec-fail-regwrite=3", "mec", "read", "dump.bin"}, 1},
        {{"--port", "sim:jig2=V42,mec-fail-regwrite=4", "mec", "write", "image.bin"}, 1},
        {{"--port", "sim:jig3,mec-fail-block=3", "mec", "read", "dump.bin"}, 1},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const auto& a : c.args) shown += a + " ";
        SCOPED_TRACE(shown);
        const auto r = zjig(c.args);
        EXPECT_EQ(r.code, c.code) << r.out << r.err;
    }
}

TEST_F(MecCli, CheckPrintsTheMemoLines) {
    const auto r = zjig({"--port", "sim:jig3", "mec", "check"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto out = outputLines(r.out);
    ASSERT_EQ(out.size(), 12u);
    EXPECT_EQ(out[0].rfind("Current time ", 0), 0u);
    EXPECT_EQ(out[1], "Version FW -> M328_EPM240_v16  ");
    EXPECT_EQ(out[2], "ID from MEC -> 5A16 C307h");
    EXPECT_EQ(out[6], "REG FF390Ch -> 0000 0000h");
    EXPECT_EQ(out.back(), "");
    EXPECT_EQ(r.err, "");
}

TEST_F(MecCli, EraseWriteReadRoundTripsOnBothGenerations) {
    for (const char* generation : {"jig3", "jig2=V42"}) {
        for (bool info : {false, true}) {
            SCOPED_TRACE(std::string(generation) + (info ? " --info" : ""));
            const std::string p = port(generation);
            // The INFO area as the simulated controller holds it before the erase.
            auto before = zjig({"--port", p, "mec", "read", "before.bin", "--info"});
            ASSERT_EQ(before.code, 0) << before.out << before.err;
            const std::string infoBefore = readFile("before.bin").substr(kMain);

            std::vector<std::string> erase = {"--port", p, "mec", "erase"};
            if (info) erase.push_back("--info");
            auto e = zjig(erase);
            ASSERT_EQ(e.code, 0) << e.out << e.err;
            EXPECT_TRUE(hasLine(e.out, "Стирание завершено успешно."));

            const std::string data = image(kMain, info ? 3 : 4);
            writeFile("image.bin", data);
            auto w = zjig({"--port", p, "mec", "write", "image.bin"});
            ASSERT_EQ(w.code, 0) << w.out << w.err;
            EXPECT_TRUE(hasLine(w.out, "Write FLASH complete."));

            auto main = zjig({"--port", p, "mec", "read", "main.bin"});
            ASSERT_EQ(main.code, 0) << main.out << main.err;
            EXPECT_TRUE(readFile("main.bin") == data);
            auto all = zjig({"--port", p, "mec", "read", "all.bin", "--info"});
            ASSERT_EQ(all.code, 0) << all.out << all.err;
            const std::string back = readFile("all.bin");
            ASSERT_EQ(back.size(), kMain + kInfo);
            EXPECT_TRUE(back.substr(0, kMain) == data);
            EXPECT_TRUE(back.substr(kMain) == (info ? std::string(kInfo, '\xFF') : infoBefore));
        }
    }
}

TEST_F(MecCli, FileProblemsGoToStandardErrorWithTheReason) {
    writeFile("empty.bin", "");
    const auto r = zjig({"--port", "sim:jig3", "mec", "write", "empty.bin"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "error: Ошибка открытия файла\nerror: empty.bin: the file is empty\n");
    EXPECT_TRUE(hasLine(r.out, "Ошибка открытия файла"));

    const auto n = zjig({"--port", "sim:jig3", "mec", "read", "no such folder/dump.bin"});
    EXPECT_EQ(n.code, 1);
    EXPECT_EQ(n.err,
              "error: Error create file\nerror: no such folder/dump.bin.part: No such file or "
              "directory\n");
}

TEST_F(MecCli, WriteWithEraseTakesOnlyAWholeImageAndVerifies) {
    const std::string p = port("jig3");
    writeFile("short.bin", image(1000, 2));
    auto refused = zjig({"--port", p, "mec", "write", "short.bin", "--erase"});
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.err,
              "error: short.bin is 1000 bytes; --erase writes only a whole image of 196608 or "
              "198656 bytes\n");
    EXPECT_EQ(refused.out, "");

    // Without an erase the programmed bits only clear: the verification finds it.
    const std::string data = image(kMain + kInfo, 6);
    writeFile("dump.bin", data);
    auto unerased = zjig({"--port", p, "mec", "write", "dump.bin", "--verify"});
    EXPECT_EQ(unerased.code, 1) << unerased.out;
    EXPECT_TRUE(
        hasLine(unerased.err, "error: verify: the flash differs from dump.bin at address 000000h"))
        << unerased.err;

    auto w = zjig({"--port", p, "mec", "write", "dump.bin", "--erase", "--verify"});
    EXPECT_EQ(w.code, 0) << w.out << w.err;
    EXPECT_TRUE(hasLine(w.out, "Стирание завершено успешно."));
    EXPECT_TRUE(hasLine(w.out, "Write FLASH complete."));
    EXPECT_EQ(w.err,
              "warning: dump.bin is 198656 bytes, 2048 bytes longer than the flash (196608 "
              "bytes); the bytes beyond it are dropped.\n");

    auto r = zjig({"--port", p, "mec", "read", "back.bin", "--verify"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(readFile("back.bin") == data.substr(0, kMain));
    // The verifying read leaves no file behind.
    EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace zjig::test
