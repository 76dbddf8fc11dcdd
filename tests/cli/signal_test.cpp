// SIGINT, SIGTERM and SIGHUP stop zjig in every phase of an operation: the
// waits of a handler, of the worker's read and write, and of a firmware
// update's reset-button wait and upload. Each case runs zjig as a child
// process against a simulated JIG that stalls in that phase, with a user
// limit of 20 s: a wait that ignored the signal would hold the process that
// long. The JIG's closing bytes are checked in the simulated JIG's wire log.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>

#include "cli/child_process.h"
#include "support/temp_dir.h"

namespace zjig {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::TempDir;

// ThreadSanitizer runs a signal's handler only once the thread the signal
// landed on leaves its blocking call; a stalled simulated JIG's thread never
// does, so there the stop would depend on which thread the kernel picked.
#if defined(__SANITIZE_THREAD__)
#define ZJIG_SKIP_UNDER_TSAN() GTEST_SKIP() << "signal handlers are deferred under ThreadSanitizer"
#else
#define ZJIG_SKIP_UNDER_TSAN() (void)0
#endif

// Long enough for a loaded machine; far below the 20 s a stuck wait takes.
constexpr auto kPrompt = 5s;
const std::string kFirmwareDir = std::string(ZJIG_SOURCE_DIR) + "/sim-firmware";

bool hasLineStartingWith(const std::string& text, const std::string& start) {
    for (size_t at = 0; at < text.size();) {
        if (text.compare(at, start.size(), start) == 0) return true;
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return false;
}

std::string flashImage(uint8_t seed) {
    std::string image(131072, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + seed);
    return image;
}

struct Phase {
    const char* name;
    int signo;
    std::string sim;                // options of the simulated JIG
    std::vector<std::string> args;  // after --port
    std::string reached;            // a memo line printed once the phase has begun
    std::string stoppedLine;        // the memo line that tells the wait was stopped
    std::string closingBytes;       // the last bytes the JIG got
};

void PrintTo(const Phase& phase, std::ostream* os) { *os << phase.name; }

class StopSignal : public ::testing::TestWithParam<Phase> {
  protected:
    TempDir dir_;
};

TEST_P(StopSignal, EndsTheOperationPromptlyWithItsClosingBytes) {
    ZJIG_SKIP_UNDER_TSAN();
    const Phase& p = GetParam();
    const std::string old = flashImage(1);
    test::writeFile(dir_.file("old.bin"), old);
    test::writeFile(dir_.file("image.bin"), flashImage(2));
    std::vector<std::string> args = {"--timeout",  "20",     "--firmware-dir",
                                     kFirmwareDir, "--port", "sim:" + p.sim + ",wirelog=wire.bin"};
    args.insert(args.end(), p.args.begin(), p.args.end());
    ChildProcess zjig(ZJIG_BINARY, args, dir_.path().string());
    ASSERT_TRUE(zjig.started());
    ASSERT_TRUE(
        test::waitUntil([&] { return zjig.out().find(p.reached) != std::string::npos; }, kPrompt))
        << zjig.out() << zjig.err();
    zjig.signal(p.signo);
    const auto status = zjig.waitForEnd(kPrompt);
    ASSERT_TRUE(status) << "the signal was not heeded\n" << zjig.out();
    ASSERT_TRUE(WIFEXITED(*status)) << "killed by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 1) << zjig.out() << zjig.err();
    EXPECT_TRUE(hasLineStartingWith(zjig.out(), p.stoppedLine)) << zjig.out();
    const std::string wire = ChildProcess::fileText(dir_.file("wire.bin"));
    ASSERT_GE(wire.size(), p.closingBytes.size());
    EXPECT_EQ(wire.substr(wire.size() - p.closingBytes.size()), p.closingBytes);
    // A read stopped half way is a failed read: the old dump is untouched.
    EXPECT_EQ(test::readFile(dir_.file("old.bin")), old);
}

INSTANTIATE_TEST_SUITE_P(EveryPhase, StopSignal,
                         ::testing::Values(
                             // The CPLD's answer, awaited inside the READ handler itself.
                             Phase{"HandlerWait",
                                   SIGINT,
                                   "jig3,cpld=silent",
                                   {"ene", "read", "old.bin"},
                                   "To work on a flexible cable (FFC) - select the MB and FFC!",
                                   "(RESET_ALTERA): stopped, the program is closing",
                                   "SR"},
                             // The worker waits for a block of a read: end 'X', failure 'O'.
                             Phase{"WorkerRead",
                                   SIGTERM,
                                   "jig3,ene-stall=3",
                                   {"ene", "read", "old.bin"},
                                   "Reading KB90XX ...",
                                   "Block ",
                                   "XO"},
                             // The worker waits for the answer to a written block.
                             Phase{"WorkerWrite",
                                   SIGHUP,
                                   "jig3,ene-stall-write=3",
                                   {"ene", "write", "image.bin"},
                                   "There is a writing KB90XX...",
                                   "Block ",
                                   "XO"},
                             // The third generation's update waits for the reset button.
                             Phase{"Jig3ResetButton",
                                   SIGINT,
                                   "jig3-old,reset=never",
                                   {"start", "ENE KB90XX"},
                                   "Founded FTDI device, wait answer. (RESET pushed?)",
                                   "Update stopped by the user.",
                                   "+"},
                             // The third generation's upload waits for a block's answer.
                             Phase{"Jig3Upload",
                                   SIGHUP,
                                   "jig3-old,boot-stall=3",
                                   {"start", "ENE KB90XX"},
                                   "Bootloader M328 ANSWER_OK",
                                   "No answer from Bootloader M328 (cancelled)",
                                   ""},
                             // The second generation's update sends 'U' until the reset button.
                             Phase{"Jig2ResetButton",
                                   SIGTERM,
                                   "jig2,id=,reset=never",
                                   {"start", "ENE KB90XX"},
                                   "*** PLEASE PUSH RESET BUTTON ! ***",
                                   "Update stopped by the user.",
                                   "U"},
                             // The second generation's upload waits for a line's answer; the
                             // bootloader is still told to start the application.
                             Phase{"Jig2Upload",
                                   SIGINT,
                                   "jig2=V42,boot-stall=3",
                                   {"start", "ENE KB90XX"},
                                   "Update firmware ... ",
                                   "No answer from BOOT_loader after the line",
                                   "g\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The closing bytes get their own short drain even after a stop; a second
// SIGINT during it ends the process at once.
TEST(StopSignalTwice, SecondInterruptEndsAtOnce) {
    ZJIG_SKIP_UNDER_TSAN();
    TempDir dir;
    const std::string old = flashImage(3);
    test::writeFile(dir.file("old.bin"), old);
    for (const bool twice : {false, true}) {
        SCOPED_TRACE(twice ? "two SIGINTs" : "one SIGINT");
        ChildProcess zjig(
            ZJIG_BINARY,
            {"--timeout", "20", "--port", "sim:jig3,ene-stall=3,drain=never,wirelog=wire.bin",
             "ene", "read", "old.bin"},
            dir.path().string());
        ASSERT_TRUE(test::waitUntil(
            [&] { return zjig.out().find("Reading KB90XX ...") != std::string::npos; }, kPrompt));
        zjig.signal(SIGINT);
        // The stop line comes before the closing drain, which never ends here.
        ASSERT_TRUE(test::waitUntil(
            [&] { return zjig.out().find("stopped, the program is closing") != std::string::npos; },
            kPrompt));
        if (twice) zjig.signal(SIGINT);
        const auto status = zjig.waitForEnd(kPrompt);
        ASSERT_TRUE(status);
        if (twice) {
            ASSERT_TRUE(WIFSIGNALED(*status));
            EXPECT_EQ(WTERMSIG(*status), SIGINT);
        } else {
            ASSERT_TRUE(WIFEXITED(*status));
            EXPECT_EQ(WEXITSTATUS(*status), 1);
            const std::string wire = ChildProcess::fileText(dir.file("wire.bin"));
            EXPECT_EQ(wire.substr(wire.size() - 2), "XO");
        }
        EXPECT_EQ(test::readFile(dir.file("old.bin")), old);
    }
}

}  // namespace
}  // namespace zjig
