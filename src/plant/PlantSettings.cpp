#include "plant/PlantSettings.h"

#include <limits>

namespace {

std::string textOf(const PlantSettingLookup& lookup, const char* key, const std::string& fallback) {
    const PlantSettingValue value = lookup(key);
    const auto* text = std::get_if<std::string>(&value);
    return text != nullptr ? *text : fallback;
}

long long numberOf(const PlantSettingLookup& lookup, const char* key, long long fallback) {
    const PlantSettingValue value = lookup(key);
    const auto* number = std::get_if<long long>(&value);
    return number != nullptr ? *number : fallback;
}

}  // namespace

const std::array<PlantSettingKey, 10>& plantSettingKeys() {
    static const std::array<PlantSettingKey, 10> keys = {{
        {plantkeys::kHost, std::string()},
        {plantkeys::kPort, static_cast<long long>(PlantConfig::kPlainPort)},
        {plantkeys::kTls, 0LL},
        {plantkeys::kCaFile, std::string()},
        {plantkeys::kCertFile, std::string()},
        {plantkeys::kKeyFile, std::string()},
        {plantkeys::kUser, std::string()},
        {plantkeys::kPassword, std::string()},
        {plantkeys::kStation, std::string()},
        {plantkeys::kPrefix, std::string(PlantConfig::kDefaultPrefix)},
    }};
    return keys;
}

PlantConfig plantConfigFromSettings(const PlantSettingLookup& lookup) {
    PlantConfig config;
    config.host = textOf(lookup, plantkeys::kHost, {});
    const long long port = numberOf(lookup, plantkeys::kPort, PlantConfig::kPlainPort);
    // Out of range stays out of range, so that the link reports it instead of
    // reaching some other port.
    config.port = port < 0 || port > std::numeric_limits<int>::max() ? 0 : static_cast<int>(port);
    config.tls = numberOf(lookup, plantkeys::kTls, 0) != 0;
    config.caFile = textOf(lookup, plantkeys::kCaFile, {});
    config.certFile = textOf(lookup, plantkeys::kCertFile, {});
    config.keyFile = textOf(lookup, plantkeys::kKeyFile, {});
    config.user = textOf(lookup, plantkeys::kUser, {});
    config.password = textOf(lookup, plantkeys::kPassword, {});
    config.station = textOf(lookup, plantkeys::kStation, {});
    config.prefix = textOf(lookup, plantkeys::kPrefix, PlantConfig::kDefaultPrefix);
    return config;
}

std::array<std::pair<const char*, PlantSettingValue>, 10> plantSettingsOf(
    const PlantConfig& config) {
    return {{
        {plantkeys::kHost, config.host},
        {plantkeys::kPort, static_cast<long long>(config.port)},
        {plantkeys::kTls, config.tls ? 1LL : 0LL},
        {plantkeys::kCaFile, config.caFile},
        {plantkeys::kCertFile, config.certFile},
        {plantkeys::kKeyFile, config.keyFile},
        {plantkeys::kUser, config.user},
        {plantkeys::kPassword, config.password},
        {plantkeys::kStation, config.station},
        {plantkeys::kPrefix, config.prefix},
    }};
}
