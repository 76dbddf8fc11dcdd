// How the program treats the files a technician hands it:
// - A flash image to write is opened without blocking, must be a regular
//   file, and is read whole and checked before anything changes the device.
// - A read goes to FILE.part in FILE's folder and replaces FILE only when the
//   read succeeds, so a failed read never destroys a good dump.
// - FIFOs, device nodes and directories are refused at once, wherever a file
//   is expected (image, output, firmware, database): opening a FIFO would
//   block until someone writes to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zjig {

// The motherboard databases are text of a few kilobytes; this only keeps a
// wrong file from taking the machine's memory.
inline constexpr size_t kMaxDatabaseBytes = size_t{256} << 20;

// A file read whole: its bytes (at most the limit asked for) and its full size.
struct LoadedFile {
    std::vector<uint8_t> bytes;
    uint64_t size = 0;  // the whole file's size, also beyond the limit
};

// Reads up to `limit` bytes of a regular file. Returns an empty text on
// success, else why not, in the system's words ("No such file or directory",
// "not a regular file", ...).
std::string readRegularFile(const std::string& path, size_t limit, LoadedFile& out);

// An image to write: read whole (up to `limit` bytes) and refused when it
// cannot be read, is not a regular file, or is empty. Returns the refusal's
// reason, or an empty text for an image that may be written.
std::string loadImage(const std::string& path, size_t limit, LoadedFile& out);

// The warning for an image whose size is not the device's: how many bytes
// were padded with `padByte` or dropped. Empty when the size is right.
// `memory` names what is written ("the flash", "the EEPROM").
std::string imageSizeWarning(const std::string& path, uint64_t size, uint64_t deviceSize,
                             uint8_t padByte, const std::string& memory = "the flash");

// "PATH: REASON", as error lines and dialogs show a file problem.
std::string fileProblem(const std::string& path, const std::string& reason);

// The output of a read. Blocks go to FILE.part as they come (each one on
// disk before the next is asked for); commit() renames it over FILE.
class DumpFile {
  public:
    DumpFile() = default;
    ~DumpFile();  // an open dump is abandoned
    DumpFile(const DumpFile&) = delete;
    DumpFile& operator=(const DumpFile&) = delete;

    // Refuses a FILE that exists and is not a regular file; creates FILE.part.
    // Returns an empty text on success, else the problem ("PATH: reason").
    std::string open(const std::string& path);
    bool isOpen() const { return fd_ >= 0; }
    // Appends bytes; false (with lastError()) when the disk refused them.
    bool write(const uint8_t* bytes, size_t count);
    // The read succeeded: FILE.part becomes FILE. Returns an empty text, or
    // the problem ("PATH: reason"; the dump then stays in FILE.part).
    std::string commit();
    // The read failed. When FILE did not exist, what was read becomes FILE
    // (possibly empty); when it did, FILE stays as it was and the partial
    // dump stays in FILE.part. Returns the warning to show in the second
    // case, else an empty text.
    std::string abandon();
    // The dump cannot be trusted (the disk refused part of it): FILE.part is
    // removed and FILE stays as it was, whether or not it existed.
    void discard();

    const std::string& path() const { return path_; }
    std::string partPath() const { return target_ + ".part"; }
    uint64_t bytesWritten() const { return written_; }
    const std::string& lastError() const { return lastError_; }

  private:
    void closeFd();

    int fd_ = -1;
    std::string path_;      // FILE as given (for messages)
    std::string target_;    // where FILE really lies (a link's target)
    bool existed_ = false;  // FILE was there before the read
    uint64_t written_ = 0;
    std::string lastError_;
};

// Descriptors 0, 1 and 2 that are closed are opened on /dev/null, so that no
// file the program opens later takes their place (memo text written to
// "standard output" would otherwise land in a flash dump).
void guardStandardDescriptors();

}  // namespace zjig
