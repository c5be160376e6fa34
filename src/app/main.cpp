#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/AppInfo.h"
#include "app/TolvaneAppDlg.h"
#include "app/Translations.h"
#include "settings/SettingsStore.h"
#include "storage/DiskWriter.h"
#include "storage/FileSizeSignal.h"

namespace {

// How long closing the panel waits for records and settings still on their way.
constexpr std::chrono::seconds kCloseWaitLimit{5};

}  // namespace

int main(int argc, char* argv[]) {
    // Before anything is written: a file size limit must fail a write, not end the program.
    ignoreFileSizeSignal();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kAppName));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/TolvaneApp.png")));
    installTranslations(app);
    DiskWriter writer;
    SettingsStore store(SettingsStore::defaultPath(), &writer);
    {
        CTolvaneAppDlg dialog(store);
        dialog.exec();
    }
    if (!finishDiskWrites(writer, kCloseWaitLimit)) {
        // The writer is stuck in the disk; it cannot be joined, so end here.
        std::fflush(stdout);
        std::_Exit(EXIT_FAILURE);
    }
    return 0;
}
