// zjig edid read|write: one visit to the EDID EEPROM window, READ or WRITE
// pressed with the FILE argument as the dialog's answer. With --decode the
// summary the window shows beside its memo goes to standard error.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "cli/runtime.h"
#include "edid/edid_controls.h"
#include "edid/edid_session.h"

namespace zjig::edid {

namespace {

using namespace cli;

struct EdidRequest {
    bool read = true;
    std::string file;
    bool decode = false;
};

int runEdid(Runtime& rt, const EdidRequest& request) {
    CliPort& port = *rt.port;
    port.printMemo(kMemo);
    EdidSession session(rt.modeContext());
    session.FormCreate();
    port.setFileAnswer(request.file);
    const int code = runOperation(rt, session, [&] {
        if (request.read)
            session.EDID_READClick();
        else
            session.EDID_WRITEClick();
    });
    if (request.decode) {
        const std::string summary = port.text(kSummaryLabel).value_or("");
        // The summary is the window's own text (letters and hex digits only).
        if (!summary.empty()) std::fprintf(rt.err, "%s\n", summary.c_str());
    }
    return code;
}

void addEdidCommand(CLI::App& edid, Runtime& rt, const char* name, bool read, const char* help) {
    auto request = std::make_shared<EdidRequest>();
    request->read = read;
    auto* command = edid.add_subcommand(name, help);
    auto* file = command->add_option("FILE", request->file,
                                     read ? "The file the EEPROM is saved to (replaced)"
                                          : "The image written to the EEPROM (256 bytes)");
    file->required();
    if (!read) file->check(CLI::ExistingFile);
    command->add_flag("--decode", request->decode,
                      "Print the EDID summary (header, checksum, manufacturer, product code) "
                      "to standard error");
    command->callback(
        [&rt, request] { rt.action = [&rt, request] { return runEdid(rt, *request); }; });
}

}  // namespace

void addCommands(CLI::App& app, cli::Runtime& rt) {
    auto* edid = app.add_subcommand("edid", "EDID lcd: an LCD panel's 256-byte EEPROM");
    edid->require_subcommand(1);
    addEdidCommand(*edid, rt, "read", true, "Read the EEPROM into FILE and show its hex view");
    addEdidCommand(*edid, rt, "write", false, "Write FILE into the EEPROM");
}

}  // namespace zjig::edid
