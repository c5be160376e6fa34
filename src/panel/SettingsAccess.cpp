#include "panel/SettingsAccess.h"

#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "text/TextConv.h"

std::string storedText(const SettingsStore& store, const TextSetting& setting) {
    return encodeUtf8(store.text(setting));
}

void storeText(SettingsStore& store, const TextSetting& setting, const std::string& text) {
    store.setText(setting, decodeUtf8(text));
}
