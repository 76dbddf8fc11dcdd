#include "base/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace zjig {

namespace {

std::string osReason(int error) { return std::strerror(error); }

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "is a directory, not a file";
    if (S_ISFIFO(mode)) return "is a pipe (FIFO), not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device node, not a regular file";
    if (S_ISSOCK(mode)) return "is a socket, not a regular file";
    return "is not a regular file";
}

// Opens without blocking (a FIFO would wait for a writer), then insists on a
// regular file.
int openRegular(const std::string& path, int flags, std::string& reason, mode_t mode = 0666) {
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, mode);
    if (fd < 0) {
        reason = osReason(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        reason = osReason(errno);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = kindOf(st.st_mode);
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::string bytesText(uint64_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

}  // namespace

std::string fileProblem(const std::string& path, const std::string& reason) {
    return path + ": " + reason;
}

std::string readRegularFile(const std::string& path, size_t limit, LoadedFile& out) {
    out = {};
    std::string reason;
    const int fd = openRegular(path, O_RDONLY, reason);
    if (fd < 0) return reason;
    struct stat st {};
    ::fstat(fd, &st);
    const auto known = static_cast<uint64_t>(st.st_size);
    out.bytes.reserve(static_cast<size_t>(std::min<uint64_t>(limit, known)));
    uint64_t beyond = 0;  // bytes past the limit, counted, not kept
    std::vector<uint8_t> chunk(64 * 1024);
    while (true) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            reason = osReason(errno);
            break;
        }
        if (n == 0) break;
        const size_t keep = std::min(static_cast<size_t>(n), limit - out.bytes.size());
        out.bytes.insert(out.bytes.end(), chunk.begin(),
                         chunk.begin() + static_cast<std::ptrdiff_t>(keep));
        beyond += static_cast<size_t>(n) - keep;
        // Past the limit a regular file's size tells the rest; files that
        // report no size (the kernel's own) are counted to their end.
        if (out.bytes.size() == limit && known > limit) {
            beyond = known - limit;
            break;
        }
    }
    ::close(fd);
    if (!reason.empty()) {
        out = {};
        return reason;
    }
    out.size = out.bytes.size() + beyond;
    return {};
}

std::string loadImage(const std::string& path, size_t limit, LoadedFile& out) {
    const std::string reason = readRegularFile(path, limit, out);
    if (!reason.empty()) return reason;
    if (out.size == 0) return "the file is empty";
    return {};
}

std::string imageSizeWarning(const std::string& path, uint64_t size, uint64_t deviceSize,
                             uint8_t padByte, const std::string& memory) {
    if (size == deviceSize) return {};
    char pad[8];
    std::snprintf(pad, sizeof pad, "%02X", padByte);
    if (size < deviceSize)
        return path + " is " + bytesText(size) + ", " + bytesText(deviceSize - size) +
               " shorter than " + memory + " (" + bytesText(deviceSize) +
               "); the rest is padded with " + pad + ".";
    return path + " is " + bytesText(size) + ", " + bytesText(size - deviceSize) + " longer than " +
           memory + " (" + bytesText(deviceSize) + "); the bytes beyond it are dropped.";
}

// ---------------------------------------------------------------------------

DumpFile::~DumpFile() {
    if (isOpen()) abandon();
}

void DumpFile::closeFd() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::string DumpFile::open(const std::string& path) {
    closeFd();
    path_ = path;
    target_ = path;
    written_ = 0;
    lastError_.clear();
    struct stat st {};
    existed_ = ::stat(path.c_str(), &st) == 0;
    if (existed_ && !S_ISREG(st.st_mode)) return fileProblem(path, kindOf(st.st_mode));
    struct stat own {};
    // A link to a dump is replaced where it points, as writing through it would.
    if (existed_ && ::lstat(path.c_str(), &own) == 0 && S_ISLNK(own.st_mode)) {
        std::error_code ec;
        const auto real = std::filesystem::canonical(path, ec);
        if (!ec) target_ = real.string();
    }
    std::string reason;
    fd_ = openRegular(partPath(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, reason);
    if (fd_ < 0) return fileProblem(partPath(), reason);
    if (existed_) ::fchmod(fd_, st.st_mode & 07777);
    return {};
}

bool DumpFile::write(const uint8_t* bytes, size_t count) {
    if (fd_ < 0) {
        lastError_ = "the file is not open";
        return false;
    }
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, bytes + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            lastError_ = osReason(errno);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    written_ += count;
    return true;
}

std::string DumpFile::commit() {
    if (fd_ < 0) return "the file is not open";
    const bool closed = ::close(fd_) == 0;
    const int closeError = errno;
    fd_ = -1;
    if (!closed) return fileProblem(partPath(), osReason(closeError));
    if (::rename(partPath().c_str(), target_.c_str()) != 0)
        return fileProblem(path_, osReason(errno));
    return {};
}

std::string DumpFile::abandon() {
    if (fd_ < 0) return {};
    closeFd();
    if (!existed_) {
        // Nothing was there to keep: what was read is the file, as before.
        if (::rename(partPath().c_str(), target_.c_str()) == 0) return {};
        return "The read failed. What was read is in " + partPath() + ".";
    }
    return "The read failed; " + path_ + " is left as it was. What was read (" +
           bytesText(written_) + ") is in " + partPath() + ".";
}

void DumpFile::discard() {
    closeFd();
    if (!path_.empty()) ::unlink(partPath().c_str());
}

void guardStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        // open() takes the lowest free number, which is this one.
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

}  // namespace zjig
