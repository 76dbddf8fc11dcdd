#include "base/run_log.h"

#include <cstdio>

namespace zjig {

void RunLog::append(std::initializer_list<std::string> lines) const {
    std::FILE* f = std::fopen(path_.c_str(), "ab");
    if (!f) return;
    for (const auto& line : lines) {
        std::fwrite(line.data(), 1, line.size(), f);
        std::fwrite("\r\n", 1, 2, f);
    }
    std::fclose(f);
}

}  // namespace zjig
