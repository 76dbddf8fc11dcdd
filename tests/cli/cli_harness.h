// Runs zjig in process, in a temporary current directory, and keeps what it
// printed and its exit status.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "cli/runtime.h"
#include "support/temp_dir.h"

namespace zjig::test {

struct CliResult {
    int code;
    std::string out, err;
};

inline std::string readAndClose(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
    return text;
}

// The lines of zjig's output (LF line ends).
inline std::vector<std::string> outputLines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

inline bool hasLine(const std::string& text, const std::string& line) {
    const auto all = outputLines(text);
    return std::find(all.begin(), all.end(), line) != all.end();
}

class CliFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char buf[4096];
        ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
        oldCwd_ = buf;
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    }
    void TearDown() override { ASSERT_EQ(chdir(oldCwd_.c_str()), 0); }

    CliResult zjig(std::vector<std::string> args) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        CliResult r;
        r.code = cli::runCli(args, out, err);
        r.out = readAndClose(out);
        r.err = readAndClose(err);
        return r;
    }

    TempDir dir_;
    std::string oldCwd_;
};

}  // namespace zjig::test
