#include "settings/SettingsKeepingText.h"

#include <QCoreApplication>

QString settingsNotSavedLine(const SettingsKeeping& keeping) {
    if (keeping.kept) {
        return {};
    }
    return QCoreApplication::translate("SettingsStatus", "settings NOT saved: %1")
        .arg(QString::fromStdString(keeping.reason));
}
