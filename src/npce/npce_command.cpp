// zjig npce read|write|verify: one visit to the Nuvoton SPI window, READ or
// WRITE pressed with the FILE argument as the file dialog's answer; verify
// reads as READ does and compares the flash with FILE instead of saving it.
#include <CLI/CLI.hpp>

#include "cli/runtime.h"
#include "npce/npce_controls.h"
#include "npce/npce_session.h"

namespace zjig::npce {

namespace {

using namespace cli;

enum class NpceAction { Read, Write, Verify };

int runNpce(Runtime& rt, NpceAction action, const std::string& file) {
    CliPort& port = *rt.port;
    port.printMemo(kMemo);
    port.showProgressOf(kGauge);
    NpceSession session(rt.modeContext());
    session.FormCreate();
    port.setFileAnswer(file);
    return runOperation(rt, session, [&] {
        switch (action) {
            case NpceAction::Read:
                session.NPCE_READClick();
                break;
            case NpceAction::Write:
                session.NPCE_WRITEClick();
                break;
            case NpceAction::Verify:
                session.verifyFileClick();
                break;
        }
    });
}

void addNpceCommand(CLI::App& npce, Runtime& rt, const char* name, NpceAction action,
                    const char* help) {
    auto file = std::make_shared<std::string>();
    auto* command = npce.add_subcommand(name, help);
    if (action == NpceAction::Read)
        command->add_option("FILE", *file, "The file the flash is saved to (replaced)")->required();
    else
        command
            ->add_option("FILE", *file,
                         action == NpceAction::Write ? "The image written to the flash"
                                                     : "The image the flash is compared with")
            ->required()
            ->check(CLI::ExistingFile);
    command->callback([&rt, action, file] {
        rt.action = [&rt, action, file] { return runNpce(rt, action, *file); };
    });
}

}  // namespace

void addCommands(CLI::App& app, cli::Runtime& rt) {
    auto* npce = app.add_subcommand("npce", "Nuvoton NPCE288N/388N: SPI flash read and write");
    npce->require_subcommand(1);
    addNpceCommand(*npce, rt, "read", NpceAction::Read, "Read the 128 KB flash into FILE");
    addNpceCommand(*npce, rt, "write", NpceAction::Write,
                   "Erase the flash, write FILE to it and verify it");
    addNpceCommand(*npce, rt, "verify", NpceAction::Verify,
                   "Read the flash and compare it with FILE (padded with FFh as a write pads "
                   "it); the first difference goes to standard error");
}

}  // namespace zjig::npce
