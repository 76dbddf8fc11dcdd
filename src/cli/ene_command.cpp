// zjig ene apply|read|write: one visit to the ENE KB90XX window. The
// motherboard and cable are chosen in the window's lists as a user would,
// "Apply settings" is pressed when they are given, then READ or WRITE with
// the FILE argument as the dialog's answer.
#include <CLI/CLI.hpp>

#include "cli/runtime.h"
#include "kb901x_form/kb901x_controls.h"
#include "kb901x_form/kb901x_session.h"

namespace zjig::cli {

namespace {

using namespace std::chrono_literals;

enum class EneAction { Apply, Read, Write };

struct EneRequest {
    EneAction action = EneAction::Apply;
    std::string file;
    std::string motherboard;  // --mb: a text the record contains
    int cablePins = 0;        // --ffc
    bool mirrored = false;
    bool withRouting = false;  // --mb and --ffc given
};

// Every wait of a read or write is bounded; this only guards against a fault.
constexpr std::chrono::minutes kOperationGuard{30};
// How often the wait for the worker looks at Ctrl-C.
constexpr std::chrono::milliseconds kInterruptPoll{100};

int usageError(Runtime& rt, const std::string& text) {
    std::fprintf(rt.err, "error: %s\n", text.c_str());
    return kExitUsage;
}

// Exit status of the last press: no JIG or firmware to update, else how the
// window ended it.
int pressOutcome(const Kb901xSession& session) {
    const auto connect = session.lastConnectResult();
    if (connect && *connect != ConnectResult::Accepted) return exitCodeFor(*connect);
    return session.lastOperationSucceeded() == true ? kExitOk : kExitFailed;
}

// Picks the one record that contains the --mb text and the cable size in the
// window's lists. Anything but exactly one record is a usage error.
int chooseRouting(Runtime& rt, Kb901xSession& session, const EneRequest& request) {
    CliPort& port = *rt.port;
    if (!port.enabled(kb90::kMbList).value_or(false))
        return usageError(rt, std::string("--mb: no motherboard database \"") + kEneDatabaseName +
                                  "\" in the current folder");
    std::vector<std::string> records;
    for (const auto& record : port.items(kb90::kMbList))
        if (!record.empty()) records.push_back(record);
    std::vector<std::string> matches;
    for (const auto& record : records)
        if (record.find(request.motherboard) != std::string::npos) matches.push_back(record);
    if (matches.size() != 1) {
        std::string text = "--mb \"" + request.motherboard + "\" matches " +
                           (matches.empty() ? "no record; the records are:"
                                            : std::to_string(matches.size()) + " records:");
        for (const auto& candidate : matches.empty() ? records : matches)
            text += "\n  " + candidate;
        return usageError(rt, text);
    }
    session.ComboBox_KB901XSelect(matches.front());
    session.ComboBox_KB901X_FFCSelect(std::to_string(request.cablePins) + " pin");
    if (request.mirrored) session.CheckBox_KB901XClick(false);
    return kExitOk;
}

// Presses READ or WRITE and waits for the worker; Ctrl-C stops it.
int runOperation(Kb901xSession& session, void (Kb901xSession::*press)()) {
    (session.*press)();
    const auto deadline = std::chrono::steady_clock::now() + kOperationGuard;
    while (!session.waitIdle(kInterruptPoll)) {
        if (interrupted() || std::chrono::steady_clock::now() >= deadline) {
            session.shutdown();
            return kExitFailed;
        }
    }
    return pressOutcome(session);
}

int runEne(Runtime& rt, const EneRequest& request) {
    CliPort& port = *rt.port;
    port.printMemo(kb90::kMemo);
    port.showProgressOf(kb90::kGauge);
    Kb901xSession session(rt.env, port);
    session.FormCreate();

    if (request.withRouting) {
        if (const int code = chooseRouting(rt, session, request); code != kExitOk) return code;
        session.SpeedButton1Click();
        const int code = pressOutcome(session);
        if (request.action == EneAction::Apply || code != kExitOk) return code;
    }
    port.setFileAnswer(request.file);
    return runOperation(session, request.action == EneAction::Read
                                     ? &Kb901xSession::KB901X_READClick
                                     : &Kb901xSession::KB901X_WRITEClick);
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
    for (auto item : kb90::kFfcItems)
        cableSizes.push_back(std::stoi(std::string(item.substr(0, 2))));
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

void addEneCommands(CLI::App& app, Runtime& rt) {
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

}  // namespace zjig::cli
