// zjig mec check|read|erase|write: one visit to the MEC16xx window. --info
// ticks the window's INFO check box for the read or the erase, then the
// operation's button is pressed with the FILE argument as the dialog's answer.
// Two conveniences go beyond the window: `write --erase` erases first in the
// same visit, and `--verify` reads the flash once more and compares.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>

#include "base/files.h"
#include "base/hex_text.h"
#include "cli/runtime.h"
#include "mec16xx/mec16xx_commands.h"
#include "mec16xx/mec16xx_controls.h"
#include "mec16xx/mec16xx_session.h"

namespace zjig::mec16 {

namespace {

using namespace cli;

enum class MecAction { Check, Read, Erase, Write };

struct MecRequest {
    MecAction action = MecAction::Check;
    std::string file;
    bool info = false;
    bool eraseFirst = false;  // write --erase
    bool verify = false;      // read/write --verify
};

// The image sizes a write with --erase takes: the main flash, or a dump
// with the INFO area (which is not written).
bool wholeImageSize(uint64_t size) { return size == kMainSize || size == kMainSize + kInfoSize; }

// A file in the temporary folder for the verifying read; removed with its
// ".part" when the command ends.
class TemporaryDump {
  public:
    TemporaryDump() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zjig-mec-verify-XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        if (fd >= 0) {
            ::close(fd);
            path_ = pattern;
        }
    }
    ~TemporaryDump() {
        if (path_.empty()) return;
        std::remove(path_.c_str());
        std::remove((path_ + ".part").c_str());
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// Reads the flash again (as the window's read, with the same INFO choice)
// and compares it with `expected` over the expected bytes.
int verifyAgainst(Runtime& rt, Mec16Session& session, const std::vector<uint8_t>& expected,
                  const std::string& what) {
    TemporaryDump again;
    if (again.path().empty()) return usageError(rt, "--verify: no temporary file can be made");
    rt.port->setFileAnswer(again.path());
    const int code = runOperation(rt, session, [&] { session.BitBtn_RD_MEC16Click(); });
    if (code != kExitOk) {
        std::fprintf(rt.err, "error: verify: the second read failed\n");
        return code;
    }
    LoadedFile read;
    if (const std::string problem = readRegularFile(again.path(), expected.size(), read);
        !problem.empty()) {
        std::fprintf(rt.err, "error: verify: %s\n", fileProblem(again.path(), problem).c_str());
        return kExitFailed;
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        if (i >= read.bytes.size() || read.bytes[i] != expected[i]) {
            std::fprintf(rt.err, "error: verify: the flash differs from %s at address %sh\n",
                         what.c_str(), upperHex(static_cast<uint32_t>(i), 6).c_str());
            return kExitFailed;
        }
    }
    return kExitOk;
}

int runMec(Runtime& rt, const MecRequest& request) {
    CliPort& port = *rt.port;
    // A write that erases first takes only a whole image: checked before the JIG is touched.
    LoadedFile image;
    if (request.action == MecAction::Write && (request.eraseFirst || request.verify)) {
        if (const std::string problem = loadImage(request.file, kMainSize, image); !problem.empty())
            return usageError(rt, fileProblem(request.file, problem));
        if (request.eraseFirst && !wholeImageSize(image.size))
            return usageError(rt, request.file + " is " + std::to_string(image.size) +
                                      " bytes; --erase writes only a whole image of " +
                                      std::to_string(kMainSize) + " or " +
                                      std::to_string(kMainSize + kInfoSize) + " bytes");
    }
    port.printMemo(kMemo);
    port.showProgressOf(kGauge);
    Mec16Session session(rt.modeContext());
    session.FormCreate();
    if (request.action == MecAction::Read) session.CheckBox_MEC16_RDClick(request.info);
    if (request.action == MecAction::Erase) session.CheckBox_erase_mec16Click(request.info);
    if (request.eraseFirst) {
        const int code = runOperation(rt, session, [&] { session.BitBtn_MEC16_ERASEClick(); });
        if (code != kExitOk) return code;
    }
    port.setFileAnswer(request.file);
    const int code = runOperation(rt, session, [&] {
        switch (request.action) {
            case MecAction::Check:
                session.BitBtn_MEC16Click();
                break;
            case MecAction::Read:
                session.BitBtn_RD_MEC16Click();
                break;
            case MecAction::Erase:
                session.BitBtn_MEC16_ERASEClick();
                break;
            case MecAction::Write:
                session.BitBtn_MEC16_WRITEClick();
                break;
        }
    });
    if (code != kExitOk || !request.verify) return code;
    if (request.action == MecAction::Write)
        return verifyAgainst(rt, session, image.bytes, request.file);
    LoadedFile first;
    const size_t dumpSize = kMainSize + (request.info ? kInfoSize : 0);
    if (const std::string problem = readRegularFile(request.file, dumpSize, first);
        !problem.empty()) {
        std::fprintf(rt.err, "error: verify: %s\n", fileProblem(request.file, problem).c_str());
        return kExitFailed;
    }
    return verifyAgainst(rt, session, first.bytes, request.file);
}

void addMecCommand(CLI::App& mec, Runtime& rt, const char* name, MecAction action,
                   const char* help) {
    auto request = std::make_shared<MecRequest>();
    request->action = action;
    auto* command = mec.add_subcommand(name, help);
    if (action == MecAction::Read || action == MecAction::Write)
        command->add_flag("--verify", request->verify,
                          "Read the flash once more and compare (with the first read, or with "
                          "the bytes written); the first differing address goes to stderr");
    if (action == MecAction::Write)
        command->add_flag("--erase", request->eraseFirst,
                          "Erase the main flash first, in the same visit; FILE must be a whole "
                          "image of 196608 or 198656 bytes");
    if (action == MecAction::Read) {
        command->add_option("FILE", request->file, "The file the flash is saved to (replaced)")
            ->required();
        command->add_flag("--info", request->info,
                          "Also read the 2 KB INFO area (\"Also need read INFO\"): the file "
                          "then holds 198656 bytes");
    }
    if (action == MecAction::Erase)
        command->add_flag("--info", request->info,
                          "Also erase the INFO area (\"Also need erase INFO\")");
    if (action == MecAction::Write)
        command->add_option("FILE", request->file, "The image written to the main flash")
            ->required()
            ->check(CLI::ExistingFile);
    command->callback(
        [&rt, request] { rt.action = [&rt, request] { return runMec(rt, *request); }; });
}

}  // namespace

void addCommands(CLI::App& app, cli::Runtime& rt) {
    auto* mec = app.add_subcommand(
        "mec", "MEC16xx over JTAG: identification and protection, flash read, erase and write");
    mec->require_subcommand(1);
    addMecCommand(*mec, rt, "check", MecAction::Check,
                  "Show the controller's ID, four registers and its write protection "
                  "(\"Check connect to MEC\")");
    addMecCommand(*mec, rt, "read", MecAction::Read,
                  "Read the 192 KB main flash (and with --info the INFO area) into FILE");
    addMecCommand(*mec, rt, "erase", MecAction::Erase,
                  "Erase the main flash (and with --info the INFO area)");
    addMecCommand(*mec, rt, "write", MecAction::Write,
                  "Write FILE to the main flash (erase it first: the write does not)");
}

}  // namespace zjig::mec16
