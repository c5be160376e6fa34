// The plant link's configuration kept in the settings file, under the keys
// of the settings table.
#include <gtest/gtest.h>

#include "panel/PlantSettingsAccess.h"
#include "plant/PlantSettings.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "support/TempDir.h"

namespace {

TEST(PlantSettings, EveryKeyIsARowOfTheSettingsTableWithItsTypeAndDefault) {
    for (const PlantSettingKey& key : plantSettingKeys()) {
        SCOPED_TRACE(key.name);
        const std::optional<SettingRow> row = settingNamed(key.name);
        ASSERT_TRUE(row.has_value());
        if (const auto* number = std::get_if<long long>(&key.defaultValue)) {
            ASSERT_NE(row->integer, nullptr);
            EXPECT_EQ(row->integer->readDefault, *number);
        } else {
            ASSERT_NE(row->text, nullptr);
            EXPECT_EQ(textDefault(*row->text).toStdString(),
                      std::get<std::string>(key.defaultValue));
        }
    }
}

TEST(PlantSettings, AConfigurationStoredIsReadBackByTheNextRun) {
    TempDir folder;
    PlantConfig config;
    config.host = "broker.local";
    config.port = 8883;
    config.tls = true;
    config.caFile = "/etc/ssl/plant-ca.pem";
    config.user = "station";
    config.password = "s3cret";
    config.station = "line-4";
    config.prefix = "plant";
    {
        SettingsStore store(folder.path() / "TolvaneApp.json");
        EXPECT_TRUE(storedPlantConfig(store).host.empty()) << "off by default";
        storePlantConfig(store, config);
    }
    const SettingsStore next(folder.path() / "TolvaneApp.json");
    const PlantConfig read = storedPlantConfig(next);
    EXPECT_EQ(read.host, "broker.local");
    EXPECT_EQ(read.port, 8883);
    EXPECT_TRUE(read.tls);
    EXPECT_EQ(read.caFile, "/etc/ssl/plant-ca.pem");
    EXPECT_EQ(read.password, "s3cret");
    EXPECT_EQ(read.station, "line-4");
    EXPECT_EQ(read.prefix, "plant");
    EXPECT_EQ(next.text(setting::plantHost), "broker.local");
}

}  // namespace
