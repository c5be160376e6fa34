#include "settings/SettingsTable.h"

#include "os/UserFolders.h"
#include "text/TextConv.h"

QString homeFolderDefault() {
    std::string home = userHomeFolder().string();
    if (home.empty() || home.back() != '/') {
        home += '/';
    }
    return decodeUtf8(home);
}

std::string defaultLabelTemplate() {
    return kDefaultLabelTemplate;
}

std::optional<SettingRow> settingNamed(std::string_view name) {
    for (const SettingRow& row : kSettingsTable) {
        if (name == row.name()) {
            return row;
        }
    }
    return std::nullopt;
}

QString textDefault(const TextSetting& row) {
    return row.readDefaultNow != nullptr ? row.readDefaultNow()
                                         : QString::fromUtf8(row.readDefault);
}
