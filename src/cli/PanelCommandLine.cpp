#include "cli/PanelCommandLine.h"

#include <cstdio>
#include <vector>

#include "cli/CommandLine.h"

namespace {

// Qt's own options, left for QApplication: with a value, and without.
const char* const kQtOptionsWithValue[] = {"platform",
                                           "platformpluginpath",
                                           "platformtheme",
                                           "plugin",
                                           "qwindowgeometry",
                                           "geometry",
                                           "qwindowtitle",
                                           "title",
                                           "qwindowicon",
                                           "icon",
                                           "session",
                                           "display",
                                           "name",
                                           "style",
                                           "stylesheet",
                                           "qmljsdebugger"};
const char* const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

std::vector<QCommandLineOption> panelOptions() {
    std::vector<QCommandLineOption> options = {
        QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}),
        QCommandLineOption(QStringList{QStringLiteral("v"), QStringLiteral("version")}),
    };
    for (const char* name : kQtOptionsWithValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        options.push_back(option);
    }
    for (const char* name : kQtFlags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        options.push_back(option);
    }
    return options;
}

}  // namespace

std::string panelUsageText() {
    return R"(usage: TolvaneApp [-h | --help] [-v | --version] [Qt options]

The control panel of a machine that counts electronic components on carrier
tape: reach it over UDP (NET) or a serial port (COM<n>), press its keys, set its
clock, function, pitch, speed, preset and label template, hand it Wi-Fi
credentials, and keep its counting records.

Options:
  -h, --help           print this text and end
  -v, --version        print the program's name and version and end
  Qt's own options, such as -platform offscreen or -style fusion, go to Qt.

Where things live:
  settings             $XDG_CONFIG_HOME/Tolvane/TolvaneApp.json
                       (~/.config/Tolvane/TolvaneApp.json when unset)
  serial port names    $XDG_CONFIG_HOME/Tolvane/ports/, one link COM<n> per port
  record journal       $XDG_DATA_HOME/Tolvane/records.sqlite
                       (~/.local/share/Tolvane/records.sqlite when unset)
  record files         the folder chosen in the panel (default: the home folder)
  trace lines          standard output

See TolvaneApp(1).
)";
}

std::string panelVersionText() {
    return std::string("TolvaneApp ") + TOLVANE_VERSION + "\n";
}

CommandLineVerdict readPanelCommandLine(int argc, char** argv) {
    const std::vector<std::string> words(argv, argv + argc);
    QCommandLineParser parser;
    const std::string fault = cli::parse(parser, panelOptions(), cli::argumentsOf(words));
    if (!fault.empty()) {
        std::fprintf(stderr, "TolvaneApp: %s\n(TolvaneApp --help lists the options)\n",
                     fault.c_str());
        return {false, 2};
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(panelUsageText().c_str(), stdout);
        std::fflush(stdout);
        return {false, 0};
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::fputs(panelVersionText().c_str(), stdout);
        std::fflush(stdout);
        return {false, 0};
    }
    return {};
}
