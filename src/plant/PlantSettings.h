#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <variant>

#include "plant/PlantConfig.h"

// The plant link's keys in the settings file, next to the other settings, so
// that a plant can roll one link out to every station by file.
namespace plantkeys {
inline constexpr const char* kHost = "mqttHost";  // string; empty: the link is off
inline constexpr const char* kPort = "mqttPort";  // int, 1883
inline constexpr const char* kTls = "mqttTls";    // int 0/1
inline constexpr const char* kCaFile = "mqttCaFile";
inline constexpr const char* kCertFile = "mqttCertFile";
inline constexpr const char* kKeyFile = "mqttKeyFile";
inline constexpr const char* kUser = "mqttUser";
inline constexpr const char* kPassword = "mqttPassword";
inline constexpr const char* kStation = "mqttStation";  // empty: the host name
inline constexpr const char* kPrefix = "mqttPrefix";    // "tolvane"
}  // namespace plantkeys

// What the settings hold under a key: nothing, a whole number or a text.
using PlantSettingValue = std::variant<std::monostate, long long, std::string>;
using PlantSettingLookup = std::function<PlantSettingValue(std::string_view key)>;

struct PlantSettingKey {
    const char* name;
    PlantSettingValue defaultValue;  // long long for the int keys, std::string for the others
};
// Every key with its type and default, in the settings file's order.
const std::array<PlantSettingKey, 10>& plantSettingKeys();

// The configuration the settings hold. A key that is absent, or holds a value
// of the other type, reads as its default; mqttTls is on for any number but 0.
PlantConfig plantConfigFromSettings(const PlantSettingLookup& lookup);

// What to store for `config`, key by key, in plantSettingKeys() order.
std::array<std::pair<const char*, PlantSettingValue>, 10> plantSettingsOf(
    const PlantConfig& config);
