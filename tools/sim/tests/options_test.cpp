#include "Options.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

TEST(UdpTarget, OnlyLoopbackAddressesAreAccepted) {
    const struct {
        const char* text;
        std::optional<std::uint32_t> address;
        std::uint16_t port;
    } cases[] = {
        {"127.0.0.1:39451", 0x7f000001, 39451}, {"127.5.6.7", 0x7f050607, 39451},
        {"localhost:5000", 0x7f000001, 5000},   {"10.0.0.1:39451", std::nullopt, 0},
        {"192.168.1.20", std::nullopt, 0},      {"0.0.0.0", std::nullopt, 0},
        {"128.0.0.1", std::nullopt, 0},         {"127.1", std::nullopt, 0},
        {"example.com:39451", std::nullopt, 0}, {"::1", std::nullopt, 0},
        {"127.0.0.1:0", std::nullopt, 0},       {"127.0.0.1:65536", std::nullopt, 0},
        {"127.0.0.1:", std::nullopt, 0},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto target = sim::parseUdpTarget(c.text, error);
        ASSERT_EQ(target.has_value(), c.address.has_value()) << c.text;
        if (target) {
            EXPECT_EQ(target->address, *c.address) << c.text;
            EXPECT_EQ(target->port, c.port) << c.text;
        } else {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
}

TEST(Options, LinksAndModes) {
    const auto parse = [](std::vector<std::string> args) { return sim::parseOptions(args); };

    const auto once = parse({"--udp", "--once", "--exit-after", "500"});
    EXPECT_EQ(once.error, "");
    EXPECT_EQ(once.options.target.port, 39451);
    EXPECT_EQ(once.options.mode, sim::Mode::Once);
    EXPECT_EQ(once.options.exitAfterMs, 500);

    const auto serial = parse({"--serial=COM7", "--slots", "a,,c"});
    EXPECT_EQ(serial.error, "");
    EXPECT_EQ(serial.options.comName, "COM7");
    EXPECT_EQ(serial.options.slots, (std::vector<std::string>{"a", "", "c"}));

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {},
             {"--udp", "10.1.2.3"},
             {"--udp", "--serial", "COM7"},
             {"--serial", "COM0"},
             {"--serial", "COM256"},
             {"--serial", "COM07"},
             {"--serial", "COM7", "--local-port", "5000"},
             {"--udp", "--once", "--flood", "10"},
             {"--udp", "--rate", "0"},
             {"--udp", "--period", "-1"},
             {"--udp", "--slots", "a,b,c,d"},
             {"--udp", "--slots", "a}b"},
             {"--udp", "--exit-after"},
             {"--udp", "--bogus"},
         }) {
        EXPECT_NE(parse(bad).error, "") << ::testing::PrintToString(bad);
    }
}
