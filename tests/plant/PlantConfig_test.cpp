// The plant link's configuration: what it accepts, the topics it makes, and
// its keys in the settings file.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "plant/PlantConfig.h"
#include "plant/PlantSettings.h"

namespace {

PlantConfig on() {
    PlantConfig config;
    config.host = "broker.local";
    config.station = "line3-a";
    return config;
}

struct ProblemRow {
    const char* name;
    void (*change)(PlantConfig&);
    const char* problem;  // empty: usable
};

void PrintTo(const ProblemRow& row, std::ostream* out) {
    *out << row.name;
}

class ConfigProblems : public testing::TestWithParam<ProblemRow> {};

TEST_P(ConfigProblems, AreTold) {
    PlantConfig config = on();
    GetParam().change(config);
    EXPECT_EQ(plantConfigProblem(config), GetParam().problem);
}

INSTANTIATE_TEST_SUITE_P(
    PlantConfig, ConfigProblems,
    testing::Values(
        ProblemRow{"Usable", [](PlantConfig&) {}, ""},
        ProblemRow{"OffIsNeverAProblem",
                   [](PlantConfig& c) {
                       c.host.clear();
                       c.port = 0;
                   },
                   ""},
        ProblemRow{"HostWithSpace", [](PlantConfig& c) { c.host = "broker local"; },
                   "the broker's host name must not hold spaces"},
        ProblemRow{"PortZero", [](PlantConfig& c) { c.port = 0; },
                   "the port must be between 1 and 65535"},
        ProblemRow{"PortTooHigh", [](PlantConfig& c) { c.port = 65536; },
                   "the port must be between 1 and 65535"},
        ProblemRow{"CertificateWithoutKey",
                   [](PlantConfig& c) {
                       c.tls = true;
                       c.certFile = "/etc/client.crt";
                   },
                   "a client certificate needs its key, and a key its certificate"},
        ProblemRow{"PasswordWithoutUser", [](PlantConfig& c) { c.password = "secret"; },
                   "a password needs a user name"},
        ProblemRow{"StationWithSlash", [](PlantConfig& c) { c.station = "line3/a"; },
                   "the station name must not hold /, + or #"},
        ProblemRow{"StationWithWildcard", [](PlantConfig& c) { c.station = "line+"; },
                   "the station name must not hold /, + or #"},
        ProblemRow{"PrefixWithLevels", [](PlantConfig& c) { c.prefix = "plant7/counting"; }, ""},
        ProblemRow{"PrefixWithWildcard", [](PlantConfig& c) { c.prefix = "plant/#"; },
                   "the topic prefix must not hold + or #"},
        ProblemRow{"StationWithControlCharacter", [](PlantConfig& c) { c.station = "a\tb"; },
                   "the station name must not hold /, + or #"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PlantConfig, TopicsFollowPrefixAndStationWithTheirDefaults) {
    PlantConfig config = on();
    EXPECT_EQ(recordTopic(config), "tolvane/line3-a/record");
    EXPECT_EQ(stateTopic(config), "tolvane/line3-a/state");
    config.prefix = "plant7/counting";
    EXPECT_EQ(recordTopic(config), "plant7/counting/line3-a/record");
    config.prefix.clear();
    config.station.clear();
    EXPECT_EQ(stateTopic(config), "tolvane/" + thisHostName() + "/state");
    EXPECT_FALSE(thisHostName().empty());
}

TEST(PlantConfig, EndpointBracketsIpv6) {
    PlantConfig config = on();
    config.port = 8883;
    EXPECT_EQ(brokerEndpoint(config), "broker.local:8883");
    config.host = "fd00::5";
    EXPECT_EQ(brokerEndpoint(config), "[fd00::5]:8883");
}

TEST(PlantSettings, EmptyFileGivesTheDefaultsAndTheLinkOff) {
    const PlantConfig config =
        plantConfigFromSettings([](std::string_view) { return PlantSettingValue{}; });
    EXPECT_EQ(config, PlantConfig{});
    EXPECT_FALSE(plantLinkOn(config));
}

TEST(PlantSettings, StoredValuesComeBackAsTheyWent) {
    PlantConfig config = on();
    config.port = 8883;
    config.tls = true;
    config.caFile = "/etc/tolvane/ca.pem";
    config.certFile = "/etc/tolvane/station.crt";
    config.keyFile = "/etc/tolvane/station.key";
    config.user = "line3";
    config.password = "s3cret";
    config.prefix = "plant7";
    std::map<std::string, PlantSettingValue, std::less<>> file;
    for (const auto& [key, value] : plantSettingsOf(config)) {
        file[key] = value;
    }
    ASSERT_EQ(file.size(), plantSettingKeys().size());
    for (const auto& key : plantSettingKeys()) {
        EXPECT_EQ(file.at(key.name).index(), key.defaultValue.index()) << key.name;
    }
    const PlantConfig back = plantConfigFromSettings([&](std::string_view key) {
        const auto found = file.find(key);
        return found != file.end() ? found->second : PlantSettingValue{};
    });
    EXPECT_EQ(back, config);
}

TEST(PlantSettings, ValuesOfTheWrongTypeReadAsDefaults) {
    const std::map<std::string, PlantSettingValue, std::less<>> file = {
        {"mqttHost", 12LL},  {"mqttPort", std::string("8883")}, {"mqttTls", 2LL},
        {"mqttPrefix", 7LL}, {"mqttStation", std::string("")},  {"mqttUser", std::string("u")}};
    const PlantConfig config = plantConfigFromSettings([&](std::string_view key) {
        const auto found = file.find(key);
        return found != file.end() ? found->second : PlantSettingValue{};
    });
    EXPECT_EQ(config.host, "");
    EXPECT_EQ(config.port, 1883);
    EXPECT_TRUE(config.tls);
    EXPECT_EQ(config.prefix, "tolvane");
    EXPECT_EQ(config.station, "");
    EXPECT_EQ(config.user, "u");
}

TEST(PlantSettings, PortOutOfRangeIsKeptForTheLinkToRefuse) {
    const PlantConfig config = plantConfigFromSettings([](std::string_view key) {
        if (key == "mqttHost") {
            return PlantSettingValue{std::string("broker.local")};
        }
        return key == "mqttPort" ? PlantSettingValue{70000LL} : PlantSettingValue{};
    });
    EXPECT_EQ(config.port, 70000);
    EXPECT_EQ(plantConfigProblem(config), "the port must be between 1 and 65535");
}

}  // namespace
