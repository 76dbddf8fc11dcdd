// zjig nuvjtag read|write: one visit to the Nuvoton JTAG window, its steps in
// the memo's order: "Send settings" (CheckBox1 cleared for a reversed
// cable), "###" when a script is given, "Check connect to Nuvoton" with the
// script's replay, then READ or WRITE with the FILE argument as the dialog's
// answer. The window thread runs while each step waits, so that the closing
// message after a read or a write can let the JIG go.
#include <CLI/CLI.hpp>

#include "cli/runtime.h"
#include "nuvoton_jtag_form/nuvjtag_controls.h"
#include "nuvoton_jtag_form/nuvjtag_session.h"

namespace zjig::nuvjtag {

namespace {

using namespace cli;

// Every wait of a step is bounded; this only guards against a fault.
constexpr std::chrono::minutes kStepGuard{30};

enum class Action { Read, Write };

struct Request {
    Action action = Action::Read;
    std::string file;
    std::string script;  // empty: the default script in --firmware-dir
    bool reversed = false;
};

// Presses a handler and runs the window thread until the mode is idle again
// (for a read or a write: until the closing message has let the link go).
// A stop signal stops the step through the session's own stop.
int runStep(Runtime& rt, NuvotonJtagSession& session, const std::function<void()>& press) {
    press();
    const bool idle = runLoopUntil(
        rt,
        [&] {
            if (interrupted() && session.busy()) session.shutdown();
            return !session.busy();
        },
        kStepGuard);
    if (!idle) session.shutdown();
    session.waitIdle(kStepGuard);  // the worker's last steps, before its outcome is read
    if (!idle || interrupted()) return kExitFailed;
    return pressOutcome(session);
}

int runNuvJtag(Runtime& rt, const Request& request) {
    CliPort& port = *rt.port;
    port.printMemo(kMemo);
    port.showProgressOf(kGauge);
    NuvotonJtagSession session(rt.modeContext());
    session.FormCreate();
    if (request.reversed) session.CheckBox1Click(false);

    if (const int code = runStep(rt, session, [&] { session.BitBtn_SETTINGSClick(); });
        code != kExitOk)
        return code;
    if (!request.script.empty()) {
        port.setFileAnswer(request.script);
        session.BitBtnFILE_OPENClick();
    }
    if (const int code = runStep(rt, session, [&] { session.BitBtn_CONNECTClick(); });
        code != kExitOk)
        return code;
    port.setFileAnswer(request.file);
    return runStep(rt, session, [&] {
        if (request.action == Action::Read)
            session.BitBtn_NUV_JTAG_RDClick();
        else
            session.BitBtn_NUV_JTAG_WRClick();
    });
}

void addNuvJtagCommand(CLI::App& parent, Runtime& rt, const char* name, Action action,
                       const char* help) {
    auto request = std::make_shared<Request>();
    request->action = action;
    auto* command = parent.add_subcommand(name, help);
    if (action == Action::Read)
        command->add_option("FILE", request->file, "The file the flash is saved to (replaced)")
            ->required();
    else
        command->add_option("FILE", request->file, "The image written to the flash")
            ->required()
            ->check(CLI::ExistingFile);
    command
        ->add_option("--script", request->script,
                     std::string("The JTAG script replayed before the ") +
                         (action == Action::Read ? "read" : "write") +
                         " (default: " + kNuvotonScriptName + " in --firmware-dir)")
        ->check(CLI::ExistingFile);
    command->add_flag("--reversed", request->reversed,
                      "The 30-pin cable is reversed: its pin 1 on motherboard pin 30 (TYPE A)");
    command->callback(
        [&rt, request] { rt.action = [&rt, request] { return runNuvJtag(rt, *request); }; });
}

}  // namespace

void addCommands(CLI::App& app, cli::Runtime& rt) {
    auto* nuv = app.add_subcommand(
        "nuvjtag", "Nuvoton JTAG: cable routing, script replay, flash read and write");
    nuv->require_subcommand(1);
    addNuvJtagCommand(*nuv, rt, "read", Action::Read,
                      "Send the settings, check the controller and replay the script, then read "
                      "the 128 KB flash into FILE");
    addNuvJtagCommand(*nuv, rt, "write", Action::Write,
                      "Send the settings, check the controller and replay the script, then erase "
                      "the flash and write FILE to it");
}

}  // namespace zjig::nuvjtag
