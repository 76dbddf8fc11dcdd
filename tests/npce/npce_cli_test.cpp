// zjig npce read|write in process against the simulated JIG: standard output
// is the window's memo, the exit status tells how it ended.
#include <gtest/gtest.h>

#include <chrono>

#include "cli/cli_harness.h"
#include "npce_test_support.h"

namespace zjig {
namespace {

using test::hasLine;
using test::operator+;
using test::randomImage;
using test::readBytes;
using test::writeBytes;

constexpr size_t kFlash = 131072;

class NpceCli : public test::CliFixture {
  protected:
    std::string state(const std::string& name) const { return "state=" + dir_.file(name); }
};

TEST_F(NpceCli, WriteThenReadBackOnBothGenerations) {
    for (const char* generation : {"jig3", "jig2=NPCE"}) {
        SCOPED_TRACE(generation);
        const std::string port = std::string("sim:") + generation + "," + state(generation);
        const auto image = randomImage(kFlash, generation[3]);
        writeBytes("image.bin", image);
        auto w = zjig({"--port", port, "npce", "write", "image.bin"});
        ASSERT_EQ(w.code, 0) << w.out << w.err;
        EXPECT_TRUE(hasLine(w.out, "Nuvoton chip is programmed succesfully!"));
        EXPECT_EQ(w.err, "");
        auto r = zjig({"--port", port, "npce", "read", "back.bin"});
        ASSERT_EQ(r.code, 0) << r.out << r.err;
        EXPECT_TRUE(readBytes("back.bin") == image);
    }
}

TEST_F(NpceCli, HalfSizeImageReadsBackWithItsUpperHalfBlank) {
    const std::string port = "sim:jig3," + state("jig");
    const auto half = randomImage(kFlash / 2, 1);
    writeBytes("half.bin", half);
    auto w = zjig({"--port", port, "npce", "write", "half.bin"});
    ASSERT_EQ(w.code, 0) << w.out << w.err;
    EXPECT_TRUE(hasLine(w.out, "Nuvoton chip is programmed succesfully!"));
    EXPECT_EQ(w.err.rfind("warning: ", 0), 0u) << w.err;
    ASSERT_EQ(zjig({"--port", port, "npce", "read", "back.bin"}).code, 0);
    EXPECT_TRUE(readBytes("back.bin") == half + test::Bytes(kFlash / 2, 0xFF));
}

TEST_F(NpceCli, VerifyComparesTheFlashWithTheFile) {
    const std::string port = "sim:jig3," + state("jig");
    const auto half = randomImage(kFlash / 2, 4);
    writeBytes("half.bin", half);
    ASSERT_EQ(zjig({"--port", port, "npce", "write", "half.bin"}).code, 0);
    // Compared as a write pads it: the blank upper half matches.
    auto same = zjig({"--port", port, "npce", "verify", "half.bin"});
    EXPECT_EQ(same.code, 0) << same.out << same.err;
    EXPECT_TRUE(hasLine(same.out, "The flash holds the file."));

    auto other = half;
    other[1100] ^= 0x01;
    writeBytes("other.bin", other);
    auto differs = zjig({"--port", port, "npce", "verify", "other.bin"});
    EXPECT_EQ(differs.code, 1);
    EXPECT_NE(differs.err.find("error: The flash differs from the file at offset 1100 (0x0044C)"),
              std::string::npos)
        << differs.err;
}

TEST_F(NpceCli, ExitStatus) {
    writeBytes("image.bin", randomImage(kFlash, 2));
    writeBytes("empty.bin", {});
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* line;  // on standard output, or on standard error when it starts "error:"
    } cases[] = {
        {{"--port", "sim:silent", "npce", "read", "d.bin"},
         3,
         "The programmer is not found or does not respond"},
        {{"--port", "sim:jig2=V41", "npce", "read", "d.bin"},
         3,
         "It is necessary to update the firmware programmer!"},
        {{"--port", "sim:jig3", "npce", "write"}, 2, nullptr},
        {{"--port", "sim:jig3", "npce", "write", "missing.bin"}, 2, nullptr},
        {{"--port", "sim:jig3,npce=absent", "npce", "read", "d.bin"},
         1,
         "No connection to the NPCE! reading ID -> FFFFFF"},
        {{"--port", "sim:jig3,npce-not-clear", "npce", "write", "image.bin"},
         1,
         "** Data not clear !**"},
        {{"--port", "sim:jig3,npce-end-fail", "npce", "read", "d.bin"},
         1,
         "ERROR timeout. Corrupted data !? "},
        {{"--port", "sim:jig3", "npce", "write", "empty.bin"}, 1, "error: Ошибка открытия файла."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        auto r = zjig(c.args);
        EXPECT_EQ(r.code, c.code) << r.out << r.err;
        if (!c.line) continue;
        if (std::string(c.line).rfind("error:", 0) == 0)
            EXPECT_TRUE(hasLine(r.err, c.line)) << r.err;
        else
            EXPECT_TRUE(hasLine(r.out, c.line)) << r.out;
    }
    // The empty image was refused before anything was erased.
    auto r = zjig({"--port", "sim:jig3", "npce", "write", "empty.bin"});
    EXPECT_FALSE(hasLine(r.out, "Erase ..."));
}

TEST_F(NpceCli, SilenceEndsWithinTheTimeout) {
    writeBytes("image.bin", randomImage(kFlash, 3));
    for (const char* fault : {"npce-stall-block=100", "npce-stall-chunk=100"}) {
        SCOPED_TRACE(fault);
        const bool write = std::string(fault).find("chunk") != std::string::npos;
        const auto started = std::chrono::steady_clock::now();
        auto r = zjig({"--timeout", "0.3", "--port", std::string("sim:jig3,") + fault, "npce",
                       write ? "write" : "read", write ? "image.bin" : "d.bin"});
        // 0.3 s of silence, then at most two link read time-outs of 0.5 s.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        EXPECT_EQ(r.code, 1) << r.out << r.err;
        EXPECT_TRUE(hasLine(r.out, write ? "** ERROR write or ERROR timeout **"
                                         : "ERROR timeout. Corrupted data !? "))
            << r.out;
    }
}

}  // namespace
}  // namespace zjig
