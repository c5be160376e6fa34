#pragma once

#include <string>

// Where the plant link publishes: one MQTT broker, how to reach and log in to
// it, and the names its topics are made of. A plain value: the window makes one
// from the settings or the dialog and hands it to PlantLink, which applies it
// at once.
struct PlantConfig {
    static constexpr int kPlainPort = 1883;
    static constexpr int kTlsPort = 8883;
    static constexpr const char* kDefaultPrefix = "tolvane";

    std::string host;  // empty: the plant link is off
    int port = kPlainPort;
    // With TLS the broker's certificate and its host name are always checked;
    // there is no way to turn that off.
    bool tls = false;
    std::string caFile;    // empty: the system's trusted authorities
    std::string certFile;  // client certificate and its key: both or neither
    std::string keyFile;
    std::string user;  // empty: no log-in
    std::string password;
    std::string station;                  // empty: this computer's host name
    std::string prefix = kDefaultPrefix;  // empty: kDefaultPrefix

    bool operator==(const PlantConfig&) const = default;
};

inline bool plantLinkOn(const PlantConfig& config) {
    return !config.host.empty();
}

// This computer's host name; "tolvane" when it has none.
std::string thisHostName();
// The station's name in the topics: the configured one, else the host name.
std::string stationName(const PlantConfig& config);
std::string topicPrefix(const PlantConfig& config);
// <prefix>/<station>/record and <prefix>/<station>/state
std::string recordTopic(const PlantConfig& config);
std::string stateTopic(const PlantConfig& config);
// "broker.local:8883"; IPv6 addresses in brackets.
std::string brokerEndpoint(const PlantConfig& config);

// Why the link cannot use `config`, in the operator's words ("the station name
// must not hold /, + or #"); empty when it can. A link that is off has no
// problem.
std::string plantConfigProblem(const PlantConfig& config);
