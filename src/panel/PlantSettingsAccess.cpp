#include "panel/PlantSettingsAccess.h"

#include "plant/PlantSettings.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "text/TextConv.h"

PlantConfig storedPlantConfig(const SettingsStore& store) {
    return plantConfigFromSettings([&store](std::string_view key) -> PlantSettingValue {
        const std::optional<SettingRow> row = settingNamed(key);
        if (!row) {
            return {};
        }
        if (row->integer != nullptr) {
            return static_cast<long long>(store.intValue(*row->integer));
        }
        return encodeUtf8(store.text(*row->text));
    });
}

void storePlantConfig(SettingsStore& store, const PlantConfig& config) {
    for (const auto& [key, value] : plantSettingsOf(config)) {
        const std::optional<SettingRow> row = settingNamed(key);
        if (!row) {
            continue;
        }
        if (const auto* number = std::get_if<long long>(&value); number && row->integer) {
            store.setInt(*row->integer, static_cast<int>(*number));
        } else if (const auto* text = std::get_if<std::string>(&value); text && row->text) {
            store.setText(*row->text, decodeUtf8(*text));
        }
    }
}
