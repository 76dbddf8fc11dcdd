// zjig mec check|read|erase|write: one visit to the MEC16xx window. --info
// ticks the window's INFO check box for the read or the erase, then the
// operation's button is pressed with the FILE argument as the dialog's answer.
#include <CLI/CLI.hpp>

#include "cli/runtime.h"
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
};

int runMec(Runtime& rt, const MecRequest& request) {
    CliPort& port = *rt.port;
    port.printMemo(kMemo);
    port.showProgressOf(kGauge);
    Mec16Session session(rt.modeContext());
    session.FormCreate();
    if (request.action == MecAction::Read) session.CheckBox_MEC16_RDClick(request.info);
    if (request.action == MecAction::Erase) session.CheckBox_erase_mec16Click(request.info);
    port.setFileAnswer(request.file);
    return runOperation(rt, session, [&] {
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
}

void addMecCommand(CLI::App& mec, Runtime& rt, const char* name, MecAction action,
                   const char* help) {
    auto request = std::make_shared<MecRequest>();
    request->action = action;
    auto* command = mec.add_subcommand(name, help);
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
