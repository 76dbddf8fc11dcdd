// zjig nuvjtag read|write in process against the simulated JIG: standard
// output is the window's memo from its first line, the exit status tells how
// the visit ended, and the flash round-trips through files.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"
#include "nuvjtag_test_support.h"

namespace zjig::test {
namespace {

constexpr const char* kStateFile = "nuvoton_jtag.bin";

class NuvCli : public CliFixture {
  protected:
    // The simulated JIG keeps its memory between runs, one folder per JIG
    // (the options' first word: its generation).
    static std::string stateName(const std::string& options) {
        return "state " + options.substr(0, options.find(','));
    }
    std::string port(const std::string& options) const {
        return "sim:" + options + ",state=" + dir_.file(stateName(options));
    }
    Bytes simFlash(const std::string& jig = "jig3") const {
        return readBytes(dir_.file(stateName(jig)) + "/" + kStateFile);
    }
    CliResult nuvjtag(const std::string& options, std::vector<std::string> rest) {
        std::vector<std::string> args = {"--port", port(options), "--firmware-dir",
                                         sampleFirmwareDir(), "nuvjtag"};
        args.insert(args.end(), rest.begin(), rest.end());
        return zjig(args);
    }
};

TEST_F(NuvCli, ReadPrintsTheWindowsMemoFromItsFirstLine) {
    auto r = nuvjtag("jig3", {"read", "dump.bin"});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    const auto out = outputLines(r.out);
    ASSERT_GT(out.size(), 12u);
    EXPECT_EQ(out[0], " Your steps:");
    EXPECT_EQ(out[1],
              "1\xC2\xA0"
              "Connect the flat cable motherboard and programmer (30 pin). ");
    EXPECT_EQ(out[10], "______");
    EXPECT_EQ(out[11], "");
    EXPECT_TRUE(hasLine(r.out, "Read NUVOTON ID 0FE2201F"));
    EXPECT_TRUE(hasLine(r.out, "I`m ready to READ or WRITE."));
    EXPECT_EQ(out.back().rfind("Reading complete. ", 0), 0u);
    EXPECT_EQ(readBytes("dump.bin"), simFlash());
    EXPECT_NE(r.err.find("warning: Please disconnect the power supply from the motherboard!"),
              std::string::npos);
}

TEST_F(NuvCli, WrittenImagesReadBackOnBothGenerations) {
    for (const char* generation : {"jig3", "jig2=NPCE"}) {
        SCOPED_TRACE(generation);
        const Bytes image = randomImage(kNuvFlash, generation[3]);
        writeBytes("image.bin", image);
        auto w = nuvjtag(generation, {"write", "image.bin"});
        ASSERT_EQ(w.code, 0) << w.out << w.err;
        EXPECT_EQ(outputLines(w.out).back().rfind("Write complete! ", 0), 0u);
        auto r = nuvjtag(generation, {"read", "back.bin"});
        ASSERT_EQ(r.code, 0) << r.out << r.err;
        EXPECT_EQ(readBytes("back.bin"), image);

        // Half an image: the upper half reads back erased.
        const Bytes half(image.begin(), image.begin() + kNuvFlash / 2);
        writeBytes("half.bin", half);
        auto h = nuvjtag(generation, {"write", "half.bin"});
        ASSERT_EQ(h.code, 0) << h.out << h.err;
        EXPECT_NE(h.err.find("warning: half.bin is 65536 bytes"), std::string::npos);
        EXPECT_EQ(simFlash(generation), half + Bytes(kNuvFlash / 2, 0xFF));
    }
}

TEST_F(NuvCli, AnEmptyImageIsRefusedBeforeTheErase) {
    writeBytes("image.bin", randomImage(kNuvFlash, 9));
    ASSERT_EQ(nuvjtag("jig3", {"write", "image.bin"}).code, 0);
    writeBytes("empty.bin", {});
    auto r = nuvjtag("jig3", {"write", "empty.bin"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("error: Error open file!\nerror: empty.bin: the file is empty"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(hasLine(r.out, "Write from file: empty.bin"));
    EXPECT_EQ(simFlash(), randomImage(kNuvFlash, 9));
}

TEST_F(NuvCli, ExitStatusSaysHowTheVisitEnded) {
    writeBytes("image.bin", randomImage(kNuvFlash, 2));
    writeBytes("bad.vss", bytesOf("i 0x\r\n"));
    struct Case {
        const char* name;
        std::string options;
        std::vector<std::string> rest;
        int code;
        const char* line;  // on standard output; nullptr: none looked for
    } cases[] = {
        {"reversed cable", "jig3", {"read", "d.bin", "--reversed"}, 1, "Wrong ID. Break."},
        {"no power", "jig3,nuv-power=off", {"read", "d.bin"}, 1, "Wrong ID. Break."},
        {"refused script",
         "jig3",
         {"read", "d.bin", "--script", "bad.vss"},
         1,
         "Break! Script line 1: position 3 is not a hexadecimal digit (0-9 or upper-case A-F)"},
        {"refused data batch",
         "jig3,nuv-refuse=2",
         {"write", "image.bin"},
         1,
         "FAULT A_gr  !=22h  21h"},
        {"flipped page", "jig3,nuv-flip=7", {"write", "image.bin"}, 1, "FAULT B_gr  !=22h  21h"},
        {"reversed cable on a reversed board",
         "jig3,nuv-cable=typea",
         {"read", "d.bin", "--reversed"},
         0,
         "Selected 30 pin FFC (TYPE A))"},
        {"no JIG",
         "silent",
         {"read", "d.bin"},
         3,
         "The programmer is not found or does not respond"},
        {"another firmware",
         "jig2=V41",
         {"read", "d.bin"},
         3,
         "It is necessary to update the firmware programmer!"},
        {"script that is not there", "jig3", {"read", "d.bin", "--script", "none.vss"}, 2, nullptr},
        {"image that is not there", "jig3", {"write", "none.bin"}, 2, nullptr},
        {"no FILE", "jig3", {"read"}, 2, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = nuvjtag(c.options, c.rest);
        EXPECT_EQ(r.code, c.code) << r.out << r.err;
        if (c.line) {
            EXPECT_TRUE(hasLine(r.out, c.line)) << r.out;
        }
        if (c.code == 2) {
            EXPECT_EQ(r.err.rfind("error: ", 0), 0u) << r.err;
        }
    }
}

TEST_F(NuvCli, TheDefaultScriptIsLookedForInTheFirmwareFolder) {
    auto r = zjig(
        {"--port", port("jig3"), "--firmware-dir", dir_.file("empty"), "nuvjtag", "read", "d.bin"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(hasLine(r.out, "Break! Open file (.vss) error or not found!"));
    EXPECT_NE(
        r.err.find("error: " + dir_.file("empty") + "/NUVOTON.vss: No such file or directory"),
        std::string::npos)
        << r.err;
}

TEST_F(NuvCli, ASilentJigFailsWithinTheTimeout) {
    struct Case {
        const char* options;
        const char* action;
        const char* line;
    } cases[] = {
        {"jig3,nuv-silent-page=100", "read",
         "Page 101 of 512: no answer from the programmer within 300 ms"},
        {"jig3,nuv-silent-batch=10", "write",
         "Erase sector 10: no answer from the programmer within 300 ms"},
    };
    writeBytes("image.bin", randomImage(kNuvFlash, 4));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const auto started = std::chrono::steady_clock::now();
        auto r = zjig({"--port", port(c.options), "--firmware-dir", sampleFirmwareDir(),
                       "--timeout", "0.3", "nuvjtag", c.action,
                       std::string(c.action) == "read" ? "d.bin" : "image.bin"});
        EXPECT_LT(std::chrono::steady_clock::now() - started, 8s);
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(hasLine(r.out, c.line)) << r.out;
        EXPECT_NE(r.err.find("error:  ERASE or WRITE protocol error! "), std::string::npos);
    }
}

}  // namespace
}  // namespace zjig::test
