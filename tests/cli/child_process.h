// Runs a program as a real child process, for the tests whose point is a
// signal or a closed standard descriptor: what it printed goes to files in
// its folder, and its end is awaited with a limit (a hang fails the test
// instead of stopping the suite).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace zjig::test {

class ChildProcess {
  public:
    // Starts `program` with `args` in folder `dir`; standard output and error
    // go to DIR/out.txt and DIR/err.txt, standard input is /dev/null. The
    // descriptors in `closed` are closed instead.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::string& dir, const std::set<int>& closed = {})
        : outPath_(dir + "/out.txt"), errPath_(dir + "/err.txt") {
        std::vector<std::string> all{program};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        // Only async-signal-safe calls between fork and exec.
        pid_ = ::fork();
        if (pid_ != 0) return;
        if (::chdir(dir.c_str()) != 0) ::_exit(126);
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0) ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::close(in);
        ::close(out);
        ::close(err);
        for (const int fd : closed) ::close(fd);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ~ChildProcess() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    void signal(int signo) const { ::kill(pid_, signo); }

    // The wait status once the process has ended, or nothing when it was
    // still running after `limit` (it is then killed).
    std::optional<int> waitForEnd(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!status_) {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                status_ = status;
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
                pid_ = -1;
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return status_;
    }

    std::string out() const { return fileText(outPath_); }
    std::string err() const { return fileText(errPath_); }

    static std::string fileText(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
    std::string outPath_, errPath_;
};

// Looks at `done` every 2 ms until it holds or `limit` has passed.
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace zjig::test
