// zentravox-jig: the desktop program.
#include <CLI/CLI.hpp>
#include <QSocketNotifier>
#include <exception>
#include <iostream>
#include <string_view>

#include "base/files.h"
#include "frontend/options.h"
#include "frontend/stop_signals.h"
#include "gui/gui_app.h"

namespace {

bool asksForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "-h" || a == "--help" || a == "--help-all" || a == "--help-sim" ||
            a == "--version")
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    zjig::guardStandardDescriptors();
    CLI::App cli{"Zentravox JIG: read and write embedded-controller flash through the JIG",
                 "zentravox-jig"};
    zjig::frontend::CommonOptions options;
    cli.set_help_all_flag("--help-all", "Show the help of every option");
    zjig::frontend::addCommonOptions(cli, options);
    std::string screenshotDir;
    cli.add_option("--screenshot", screenshotDir, "Save pictures of every window in DIR and exit");
    // Help needs no display: answer it before the window system is opened.
    if (asksForHelp(argc, argv)) {
        try {
            cli.parse(argc, argv);
        } catch (const CLI::ParseError& e) {
            return cli.exit(e);
        }
    }

    // QApplication takes its own arguments (-platform, -style, ...) out of argv.
    zjig::gui::GuardedApplication app(argc, argv);
    zjig::gui::setUpApplication();
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return cli.exit(e);
    }

    try {
        zjig::DeviceList devices;
        std::string error;
        if (!zjig::frontend::buildDeviceList(options.ports, devices, error)) {
            std::cerr << "zentravox-jig: error: " << error << "\n";
            return 2;
        }
        zjig::gui::GuiConfig config;
        config.env = zjig::frontend::makeLinkEnv(options, devices);
        config.firmwareDir = zjig::frontend::firmwareFolder(options);
        zjig::gui::GuiApp gui(std::move(config));

        if (!screenshotDir.empty()) {
            QString why;
            if (!gui.saveScreenshots(QString::fromStdString(screenshotDir), why)) {
                std::cerr << "zentravox-jig: " << why.toStdString() << "\n";
                return 1;
            }
            return 0;
        }

        QObject::connect(&app, &QCoreApplication::aboutToQuit, [&gui] { gui.shutdown(); });
        // SIGINT, SIGTERM and SIGHUP end the program as Exit would, without
        // asking: a running operation stops with its closing bytes.
        int signalFd = -1;
        zjig::frontend::installStopSignals(&signalFd);
        QSocketNotifier stopNotifier(signalFd, QSocketNotifier::Read);
        QObject::connect(&stopNotifier, &QSocketNotifier::activated, [&gui] { gui.quit(); });
        gui.showMain();
        return QApplication::exec();
    } catch (const std::exception& e) {
        zjig::gui::showFatalError(QString::fromUtf8(e.what()));
        return 1;
    }
}
