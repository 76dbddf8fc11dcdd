// zjig ite apply|check|read|write: one visit to the ITE window. The contacts
// are set as a user would set them (a motherboard from the list, or the
// drop-downs by hand, and the cable check box), "APPLY" is pressed, then
// "Check connection", READ or WRITE with the FILE argument as the dialog's
// answer. Standard output is the English memo, or the Russian one.
#include <CLI/CLI.hpp>
#include <map>

#include "cli/runtime.h"
#include "ite/ite_controls.h"
#include "ite/ite_mapping.h"
#include "ite/ite_session.h"

namespace zjig::ite {

namespace {

using namespace cli;

enum class IteAction { Apply, Check, Read, Write };

struct IteRequest {
    IteAction action = IteAction::Apply;
    std::string file;
    std::string motherboard;        // --mb: a text the record contains
    std::vector<std::string> pins;  // --pin SIGNAL=N
    bool reversed = false;
    std::string language = "en";
    bool withMapping = false;   // --mb or --pin given
    bool fromDatabase = false;  // --mb given
};

// The drop-downs set from --pin SIGNAL=N; the others stay "NC".
int setPins(Runtime& rt, IteSession& session, const std::vector<std::string>& pins) {
    std::map<IteSignal, std::string> given;
    for (const std::string& pin : pins) {
        const size_t eq = pin.find('=');
        const auto signal = signalNamed(std::string_view(pin).substr(0, eq));
        if (eq == std::string::npos || !signal) {
            std::string names;
            for (const auto& s : signalTable())
                names += std::string(names.empty() ? "" : ", ") + s.name;
            return usageError(rt, "--pin \"" + pin + "\": SIGNAL=N with SIGNAL one of " + names);
        }
        const std::string value = pin.substr(eq + 1);
        if (!contactFromText(value))
            return usageError(rt, "--pin \"" + pin + "\": N must be NC or a contact from 1 to 32");
        if (!given.emplace(*signal, value).second)
            return usageError(rt, std::string("--pin: ") + info(*signal).name + " given twice");
    }
    for (const auto& [signal, value] : given) session.ComboBoxChange(signal, value);
    return kExitOk;
}

// The record that contains the --mb text, chosen in the list; then the cable
// check box for --reversed. A record or reversal that does not complete
// leaves the mapping unsent.
int chooseMotherboard(Runtime& rt, IteSession& session, const IteRequest& request) {
    const std::vector<std::string> items = session.motherboardItems();
    if (items.size() == 1 && items[0] == kMbMissing)
        return usageError(rt, std::string("--mb: no motherboard database \"") + kIteDatabaseName +
                                  "\" in the current folder");
    const std::vector<std::string> records(items.begin() + 1, items.end());
    const int chosen = chooseOne(rt, "--mb", request.motherboard, records);
    if (chosen < 0) return kExitUsage;
    session.ITE_ComboBox_MB_SWITCHSelect(chosen + 1);
    if (!session.recordComplete()) return kExitFailed;
    if (request.reversed) {
        session.ITE_CheckBoxClick(false);
        if (!session.reversalDone()) return kExitFailed;
    }
    return kExitOk;
}

int runIte(Runtime& rt, const IteRequest& request) {
    CliPort& port = *rt.port;
    port.showProgressOf(request.action == IteAction::Write ? kSpeedGauge : kReadGauge);
    IteSession session(rt.modeContext());
    session.FormCreate();
    // The instructions the memos open with are for the window, not output.
    port.printMemo(request.language == "ru" ? kMemoRu : kMemoEng);

    if (request.withMapping) {
        const int chosen = request.fromDatabase ? chooseMotherboard(rt, session, request)
                                                : setPins(rt, session, request.pins);
        if (chosen != kExitOk) return chosen;
        const int code = runOperation(rt, session, [&] { session.ITE_SETUP_BitBtnClick(); });
        if (request.action == IteAction::Apply || code != kExitOk) return code;
    }
    port.setFileAnswer(request.file);
    return runOperation(rt, session, [&] {
        switch (request.action) {
            case IteAction::Check:
                session.ITE_CHECK_CON_BitBtnClick();
                break;
            case IteAction::Read:
                session.ITE_READ_BitBtnClick();
                break;
            case IteAction::Write:
                session.ITE_WRITE_BitBtnClick();
                break;
            case IteAction::Apply:
                break;
        }
    });
}

void addIteCommand(CLI::App& ite, Runtime& rt, const char* name, IteAction action,
                   const char* help) {
    auto request = std::make_shared<IteRequest>();
    request->action = action;
    auto* command = ite.add_subcommand(name, help);
    if (action == IteAction::Read)
        command->add_option("FILE", request->file, "The file the flash is saved to (replaced)")
            ->required();
    if (action == IteAction::Write)
        command->add_option("FILE", request->file, "The image written to the flash")
            ->required()
            ->check(CLI::ExistingFile);

    auto* mb = command->add_option("--mb", request->motherboard,
                                   "The motherboard record that contains TEXT (case-sensitive)");
    auto* pin = command->add_option(
        "--pin", request->pins,
        "SIGNAL=N: the contact of one signal (PD0..PD7, BUSY, STB, AFD, INIT, SLIN, KSI4, "
        "KSI5), N is NC or 1..32; the signals not given are NC");
    auto* reversed = command->add_flag(
        "--reversed", request->reversed,
        "The cable is reversed: the record's contacts are renumbered for its KB_pins");
    command->add_option("--lang", request->language, "Memo printed: en (default) or ru")
        ->check(CLI::IsMember({"en", "ru"}));
    mb->excludes(pin);
    reversed->needs(mb);
    if (action == IteAction::Apply)
        command->callback([&rt, request, mb, pin] {
            if (mb->count() == 0 && pin->count() == 0) {
                rt.action = [&rt] {
                    return usageError(rt, "ite apply needs --mb TEXT or --pin SIGNAL=N");
                };
                return;
            }
            request->withMapping = true;
            request->fromDatabase = mb->count() > 0;
            rt.action = [&rt, request] { return runIte(rt, *request); };
        });
    else
        command->callback([&rt, request, mb, pin] {
            request->withMapping = mb->count() > 0 || pin->count() > 0;
            request->fromDatabase = mb->count() > 0;
            rt.action = [&rt, request] { return runIte(rt, *request); };
        });
}

}  // namespace

void addCommands(CLI::App& app, cli::Runtime& rt) {
    auto* ite =
        app.add_subcommand("ite", "ITE: pin mapping, connection check, flash read and write");
    ite->require_subcommand(1);
    addIteCommand(*ite, rt, "apply", IteAction::Apply,
                  "Send the pin mapping to the JIG (\"APPLY\"): --mb TEXT or --pin SIGNAL=N ...");
    addIteCommand(
        *ite, rt, "check", IteAction::Check,
        "Check the connection and show the controller's ID; a mapping given is applied first");
    addIteCommand(*ite, rt, "read", IteAction::Read,
                  "Read the 128 KB flash into FILE; a mapping given is applied first");
    addIteCommand(*ite, rt, "write", IteAction::Write,
                  "Erase the flash and write FILE to it; a mapping given is applied first");
}

}  // namespace zjig::ite
