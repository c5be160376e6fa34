// tolvane-label: checks a label template and draws its picture, for scripts
// and for checking templates before they reach a station.
#include <QGuiApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "LabelTool.h"
#include "LabelToolOptions.h"

namespace {

// Qt's own notes (a missing runtime folder, font fallbacks) are not the
// tool's output.
void quietQt(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg || type == QtCriticalMsg) {
        std::fprintf(stderr, "tolvane-label: %s\n", message.toLocal8Bit().constData());
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const ParsedLabelToolOptions parsed = parseLabelToolOptions(args);
    if (!parsed.options) {
        std::fprintf(stderr, "tolvane-label: %s\n%s", parsed.error.c_str(), kLabelToolUsage);
        return 2;
    }
    const LabelToolOptions& options = *parsed.options;
    if (options.mode == LabelToolOptions::Mode::Help) {
        std::fputs(kLabelToolUsage, stdout);
        return 0;
    }
    if (options.mode == LabelToolOptions::Mode::Version) {
        std::puts("tolvane-label " TOLVANE_VERSION);
        return 0;
    }
    // Pictures need fonts, and fonts a QGuiApplication; the tool never
    // shows a window, so it needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietQt);
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    return runLabelTool(options, stdout, stderr);
}
