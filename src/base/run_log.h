// The run log Start_log.txt: opened by its bare name in the current directory,
// appended to, never truncated; every line ends with CR LF. Each writer opens
// it, writes its lines and closes it again; a log that cannot be opened stops
// nothing.
#pragma once

#include <initializer_list>
#include <string>

namespace zjig {

inline constexpr const char* kRunLogName = "Start_log.txt";

class RunLog {
  public:
    explicit RunLog(std::string path = kRunLogName) : path_(std::move(path)) {}
    void append(std::initializer_list<std::string> lines) const;
    void append(const std::string& line) const { append({line}); }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace zjig
