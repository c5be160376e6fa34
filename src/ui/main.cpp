#include <QApplication>
#include <QSocketNotifier>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "cli/PanelCommandLine.h"
#include "cli/StartGuard.h"
#include "journal/Journal.h"
#include "os/OpenFilesLimit.h"
#include "os/StopSignals.h"
#include "panel/Panel.h"
#include "settings/SettingsStore.h"
#include "storage/DiskWriter.h"
#include "storage/FileSizeSignal.h"
#include "ui/AppInfo.h"
#include "ui/MainWindow.h"
#include "ui/Translations.h"

namespace {

// How long closing the panel waits for records and settings still on their way.
constexpr std::chrono::seconds kCloseWaitLimit{5};

int runPanel(int argc, char* argv[]);

}  // namespace

int main(int argc, char* argv[]) {
    // --help, --version and wrong options end here, before any window or file.
    if (const CommandLineVerdict commandLine = readPanelCommandLine(argc, argv); !commandLine.run) {
        return commandLine.exitStatus;
    }
    if (const OpenFilesOutcome files = raiseOpenFilesLimit(); !files.enough) {
        std::fprintf(stderr, "TolvaneApp: %s\n", files.message.c_str());
        return EXIT_FAILURE;
    }
    return runGuarded("TolvaneApp", [&] { return runPanel(argc, argv); });
}

namespace {

int runPanel(int argc, char* argv[]) {
    // Before anything is written: a file size limit must fail a write, not end the program.
    ignoreFileSizeSignal();
    // Before any thread starts, so that none of them takes a stop signal.
    StopSignals stopSignals;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kAppName));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/TolvaneApp.png")));
    installTranslations(app);
    DiskWriter writer;
    SettingsStore store(SettingsStore::defaultPath(), &writer);
    {
        PanelSetup setup;
        setup.journalPath = defaultJournalPath();
        Panel panel(store, writer, std::move(setup));
        MainWindow window(panel);
        panel.start();
        // A stop signal (logging out, systemctl, Ctrl+C) closes the window,
        // and any message box over it, as the operator does, so that
        // everything handed over is written.
        std::optional<QSocketNotifier> stopNotifier;
        if (stopSignals.fd() >= 0) {
            stopNotifier.emplace(stopSignals.fd(), QSocketNotifier::Read);
            QObject::connect(&*stopNotifier, &QSocketNotifier::activated, &window, [&] {
                stopSignals.take();
                QApplication::closeAllWindows();
            });
        }
        window.exec();
    }
    if (!finishDiskWrites(writer, kCloseWaitLimit)) {
        // The writer is stuck in the disk; it cannot be joined, so end here.
        std::fflush(stdout);
        std::_Exit(EXIT_FAILURE);
    }
    return 0;
}

}  // namespace
