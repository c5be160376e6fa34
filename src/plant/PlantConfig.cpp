#include "plant/PlantConfig.h"

#include <unistd.h>

#include <algorithm>
#include <climits>

namespace {

bool holdsAny(const std::string& text, std::string_view characters) {
    return text.find_first_of(characters) != std::string::npos;
}

bool holdsNul(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

// Control characters, and spaces too when `spaceToo`.
bool holdsControl(const std::string& text, bool spaceToo) {
    return std::any_of(text.begin(), text.end(), [spaceToo](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f || (spaceToo && byte == ' ');
    });
}

}  // namespace

std::string thisHostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "tolvane";
    }
    return name;
}

std::string stationName(const PlantConfig& config) {
    return config.station.empty() ? thisHostName() : config.station;
}

std::string topicPrefix(const PlantConfig& config) {
    return config.prefix.empty() ? PlantConfig::kDefaultPrefix : config.prefix;
}

std::string recordTopic(const PlantConfig& config) {
    return topicPrefix(config) + "/" + stationName(config) + "/record";
}

std::string stateTopic(const PlantConfig& config) {
    return topicPrefix(config) + "/" + stationName(config) + "/state";
}

std::string brokerEndpoint(const PlantConfig& config) {
    const bool ipv6 = config.host.find(':') != std::string::npos;
    const std::string host = ipv6 ? "[" + config.host + "]" : config.host;
    return host + ":" + std::to_string(config.port);
}

std::string plantConfigProblem(const PlantConfig& config) {
    if (!plantLinkOn(config)) {
        return {};
    }
    if (holdsControl(config.host, true)) {
        return "the broker's host name must not hold spaces";
    }
    if (config.port < 1 || config.port > 65535) {
        return "the port must be between 1 and 65535";
    }
    if (config.certFile.empty() != config.keyFile.empty()) {
        return "a client certificate needs its key, and a key its certificate";
    }
    if (config.user.empty() && !config.password.empty()) {
        return "a password needs a user name";
    }
    if (holdsNul(config.user) || holdsNul(config.password)) {
        return "the user name and password must not hold a NUL character";
    }
    const std::string station = stationName(config);
    if (holdsAny(station, "/+#") || holdsControl(station, false)) {
        return "the station name must not hold /, + or #";
    }
    const std::string prefix = topicPrefix(config);
    if (holdsAny(prefix, "+#") || holdsControl(prefix, false)) {
        return "the topic prefix must not hold + or #";
    }
    return {};
}
