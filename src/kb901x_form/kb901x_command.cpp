// zjig ene apply|read|write: one visit to the ENE KB90XX window. The
// motherboard and cable are chosen in the window's lists as a user would,
// "Apply settings" is pressed when they are given, then READ or WRITE with
// the FILE argument as the dialog's answer.
#include <CLI/CLI.hpp>

#include "base/files.h"
#include "cli/runtime.h"
#include "kb901x_form/kb901x_controls.h"
#include "kb901x_form/kb901x_session.h"

namespace zjig::kb90 {

namespace {

using namespace cli;

enum class EneAction { Apply, Read, Write };

struct EneRequest {
    EneAction action = EneAction::Apply;
    std::string file;
    std::string motherboard;  // --mb: a text the record contains
    int cablePins = 0;        // --ffc
    bool mirrored = false;
    bool withRouting = false;  // --mb and --ffc given
};

// Picks the one record that contains the --mb text and the cable size in the
// window's lists. Anything but exactly one record is a usage error.
int chooseRouting(Runtime& rt, Kb901xSession& session, const EneRequest& request) {
    CliPort& port = *rt.port;
    if (!port.enabled(kMbList).value_or(false)) {
        // Why the window found no database: missing, a folder, a FIFO ...
        LoadedFile unused;
        const std::string why = readRegularFile(kEneDatabaseName, kMaxDatabaseBytes, unused);
        return usageError(rt, std::string("--mb: no motherboard database \"") + kEneDatabaseName +
                                  "\" in the current folder" +
                                  (why.empty() ? "" : " (" + why + ")"));
    }
    const std::vector<std::string> records = port.items(kMbList);
    const int chosen = chooseOne(rt, "--mb", request.motherboard, records);
    if (chosen < 0) return kExitUsage;
    session.ComboBox_KB901XSelect(records[static_cast<size_t>(chosen)]);
    session.ComboBox_KB901X_FFCSelect(std::to_string(request.cablePins) + " pin");
    if (request.mirrored) session.CheckBox_KB901XClick(false);
    return kExitOk;
}

int runEne(Runtime& rt, const EneRequest& request) {
    CliPort& port = *rt.port;
    port.printMemo(kMemo);
    port.showProgressOf(kGauge);
    Kb901xSession session(rt.modeContext());
    session.FormCreate();

    if (request.withRouting) {
        if (const int code = chooseRouting(rt, session, request); code != kExitOk) return code;
        const int code = runOperation(rt, session, [&] { session.SpeedButton1Click(); });
        if (request.action == EneAction::Apply || code != kExitOk) return code;
    }
    port.setFileAnswer(request.file);
    return runOperation(rt, session, [&] {
        if (request.action == EneAction::Read)
            session.KB901X_READClick();
        else
            session.KB901X_WRITEClick();
    });
}

void addEneCommand(CLI::App& ene, Runtime& rt, const char* name, EneAction action,
                   const char* help) {
    auto request = std::make_shared<EneRequest>();
    request->action = action;
    auto* command = ene.add_subcommand(name, help);
    if (action == EneAction::Read)
        command->add_option("FILE", request->file, "The file the flash is saved to (replaced)")
            ->required();
    if (action == EneAction::Write)
        command->add_option("FILE", request->file, "The image written to the flash")
            ->required()
            ->check(CLI::ExistingFile);

    std::vector<int> cableSizes;
    for (auto item : kFfcItems) cableSizes.push_back(std::stoi(std::string(item.substr(0, 2))));
    auto* mb = command->add_option("--mb", request->motherboard,
                                   "The motherboard record that contains TEXT (case-sensitive)");
    auto* ffc = command->add_option("--ffc", request->cablePins, "Pins of the flat cable used")
                    ->check(CLI::IsMember(cableSizes));
    auto* mirrored =
        command->add_flag("--mirrored", request->mirrored,
                          "Cable pin 1 is not on connector pin 1 (the cable is turned over)");
    if (action == EneAction::Apply) {
        mb->required();
        ffc->required();
    } else {
        mb->needs(ffc);
        ffc->needs(mb);
    }
    mirrored->needs(mb);
    command->callback([&rt, request, mb] {
        request->withRouting = mb->count() > 0;
        rt.action = [&rt, request] { return runEne(rt, *request); };
    });
}

}  // namespace

void addCommands(CLI::App& app, cli::Runtime& rt) {
    auto* ene = app.add_subcommand("ene", "ENE KB90XX: flat-cable routing, flash read and write");
    ene->require_subcommand(1);
    addEneCommand(*ene, rt, "apply", EneAction::Apply,
                  "Send the flat-cable routing of a motherboard to the JIG (\"Apply settings\")");
    addEneCommand(*ene, rt, "read", EneAction::Read,
                  "Read the 128 KB flash into FILE; with --mb/--ffc the routing is applied first");
    addEneCommand(
        *ene, rt, "write", EneAction::Write,
        "Write FILE to the flash and verify it; with --mb/--ffc the routing is applied first");
}

}  // namespace zjig::kb90
