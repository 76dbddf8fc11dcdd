// zjig started with standard descriptors closed (`>&-`, `<&-`, `2>&-`): no
// file it opens may take their numbers, or memo text written to "standard
// output" would land in the flash dump.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <set>

#include "cli/child_process.h"
#include "support/temp_dir.h"

namespace zjig {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::TempDir;

TEST(ClosedDescriptors, ReadSavesOnlyTheFlash) {
    TempDir dir;
    const auto read = [&](const std::string& file, const std::set<int>& closed) {
        ChildProcess zjig(ZJIG_BINARY, {"--port", "sim:jig3", "ene", "read", file},
                          dir.path().string(), closed);
        const auto status = zjig.waitForEnd(20s);
        EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << zjig.err();
        return zjig.out();
    };
    ASSERT_NE(read("reference.bin", {}).find("Reading completed successfully."), std::string::npos);
    const std::string reference = test::readFile(dir.file("reference.bin"));
    ASSERT_EQ(reference.size(), 131072u);

    const std::set<int> cases[] = {{1}, {0, 2}, {0, 1, 2}};
    for (const auto& closed : cases) {
        SCOPED_TRACE(::testing::PrintToString(closed));
        const std::string out = read("dump.bin", closed);
        const std::string dump = test::readFile(dir.file("dump.bin"));
        EXPECT_EQ(dump.size(), reference.size());
        EXPECT_EQ(dump.find("Reading KB90XX"), std::string::npos) << "memo text in the dump";
        EXPECT_TRUE(dump == reference) << "the dump is not the flash";
        // Standard output, when open, still gets every memo line.
        if (!closed.count(1)) {
            EXPECT_NE(out.find("Reading completed successfully."), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace zjig
