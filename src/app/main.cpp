#include <QApplication>

#include "app/AppInfo.h"
#include "app/TolvaneAppDlg.h"
#include "app/Translations.h"
#include "settings/SettingsStore.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kAppName));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/TolvaneApp.png")));
    installTranslations(app);
    SettingsStore store(SettingsStore::defaultPath());
    CTolvaneAppDlg dialog(store);
    dialog.exec();
    return 0;
}
