#include "settings/SettingsRules.h"

#include <QJsonValue>

#include <string>
#include <vector>

#include "settings/SettingsStore.h"
#include "text/TraceSites.h"

int storedListIndex(const SettingsStore& store, const IntSetting& row, int count) {
    const int index = store.intValue(row);
    return index >= 0 && index < count ? index : row.readDefault;
}

bool applyFirstRunRule(SettingsStore& store) {
    if (store.intValue(setting::firstRunStamp) == kFirstRunStamp) {
        return false;
    }
    trace<sites::firstRun>();
    // Values the file held that the first run is about to replace: the file
    // as it was is kept first.
    std::vector<std::string> replaced;
    for (const SettingRow& row : kSettingsTable) {
        if (!row.hasFirstRunValue()) {
            continue;
        }
        const QJsonValue held = store.loadedValue(row.name());
        const QJsonValue firstRun = row.integer != nullptr
                                        ? QJsonValue(*row.integer->firstRun)
                                        : QJsonValue(QString::fromUtf8(row.text->firstRun));
        if (!held.isUndefined() && (held.type() != firstRun.type() || held != firstRun)) {
            replaced.emplace_back(row.name());
        }
    }
    if (!replaced.empty()) {
        store.keepLoadedFileBeforeFirstRun(replaced);
    }
    for (const SettingRow& row : kSettingsTable) {
        if (row.integer == &setting::firstRunStamp || !row.hasFirstRunValue()) {
            continue;
        }
        if (row.integer != nullptr) {
            store.setInt(*row.integer, *row.integer->firstRun);
        } else {
            store.setText(*row.text, QString::fromUtf8(row.text->firstRun));
        }
    }
    // The stamp last: a file that has it has the other first-run values too,
    // also while another panel starting at the same moment reads it, and also
    // after a first run cut short.
    store.setInt(setting::firstRunStamp, kFirstRunStamp);
    return true;
}
