// zjig start MODE and zjig test-connect.
#include <CLI/CLI.hpp>

#include "app/shell.h"
#include "base/modes.h"
#include "base/names.h"
#include "cli/runtime.h"
#include "jiglink/connection_test.h"
#include "jiglink/identity.h"

namespace zjig::cli {

namespace {

// An update is bounded by its own waits; this only guards against a fault.
constexpr std::chrono::minutes kStartGuard{30};

int runStart(Runtime& rt, const std::string& mode) {
    if (!modeWindow(mode)) {
        std::string list;
        for (size_t i = 1; i < kSelectorItems.size(); ++i)
            list += std::string(i > 1 ? ", " : "") + "\"" + std::string(kSelectorItems[i]) + "\"";
        std::fprintf(rt.err, "error: unknown mode \"%s\"; the modes are %s\n", mode.c_str(),
                     list.c_str());
        return kExitUsage;
    }
    CliPort& port = *rt.port;
    port.printMemo(names::kMemoUpdate);
    port.showProgressOf(names::kGaugeUpdate);

    ShellConfig config;
    config.env = rt.env;
    config.firmwareDir = frontend::firmwareFolder(rt.options);
    Shell shell(config, port, rt.loop);
    bool modeShown = false;
    bool pressed = false;
    shell.onModeWindowShown = [&](const std::string&) { modeShown = true; };
    rt.loop.post([&] {
        shell.MAIN_CONNECTClick(mode);
        pressed = true;
    });
    auto finished = [&] {
        if (interrupted() && shell.updateRunning()) shell.updateCancel() = true;
        return modeShown || (pressed && !shell.updateRunning() && !shell.timerRun().enabled());
    };
    runLoopUntil(rt, finished, kStartGuard);
    shell.updateCancel() = true;
    shell.joinUpdate();
    if (modeShown) return kExitOk;
    if (shell.identity() == kIdNoDevice) return kExitNoJig;
    return kExitFailed;
}

int runTestConnect(Runtime& rt) {
    rt.port->printMemo(names::kTestMemo);
    ConnectionTest test(rt.env, *rt.port);
    // No device that could be opened: no JIG was visited.
    return test.BitBtn1Click() > 0 ? kExitOk : kExitNoJig;
}

}  // namespace

void addStartCommands(CLI::App& app, Runtime& rt) {
    auto* start = app.add_subcommand(
        "start", "Press \"Start\" with MODE selected, updating the JIG's firmware when needed");
    auto mode = std::make_shared<std::string>();
    start->add_option("MODE", *mode, "The mode text, e.g. \"ENE KB90XX\"")->required();
    start->callback([&rt, mode] { rt.action = [&rt, mode] { return runStart(rt, *mode); }; });

    auto* test =
        app.add_subcommand("test-connect", "Visit every attached JIG: driver version and identity");
    test->callback([&rt] { rt.action = [&rt] { return runTestConnect(rt); }; });
}

}  // namespace zjig::cli
