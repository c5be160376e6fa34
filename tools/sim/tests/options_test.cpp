#include "Options.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

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

// The messages of the hand-written parser, now from QCommandLineParser.
TEST(Options, FaultsKeepTheirWords) {
    const struct {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"--udp", "--bogus=3"}, "unknown option '--bogus=3'"},
        {{"--udp", "-x"}, "unknown option '-x'"},
        {{"--udp", "stray", "more"}, "unknown option 'more'"},
        {{"--udp", "--rate"}, "--rate needs a value"},
        {{"--udp", "--rate", "x"}, "--rate needs a whole number from 1 to 1000000, not 'x'"},
        {{"--udp", "--once=1"}, "--once takes no value"},
        {{"--udp", "--serial", "COM7"}, "choose one link: --udp or --serial"},
        {{"--serial", "COM07"}, "--serial needs a port name COM1 to COM255, not 'COM07'"},
        {{"--udp", "--once", "--once"}, "--once, --script and --flood exclude each other"},
        {{"--serial", "COM7", "--local-port", "5000"}, "--local-port goes with --udp only"},
        {{}, "choose a link: --udp [HOST:PORT] or --serial COM<n>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sim::parseOptions(c.args).error, c.error) << ::testing::PrintToString(c.args);
    }
    // A bare --udp is the default target; a script's name comes back byte for byte.
    const auto bare = sim::parseOptions({"--udp", "--script", "/tmp/\xff.txt"});
    EXPECT_EQ(bare.error, "");
    EXPECT_EQ(bare.options.target.address, 0x7f000001u);
    EXPECT_EQ(bare.options.target.port, 39451);
    EXPECT_EQ(bare.options.scriptFile, "/tmp/\xff.txt");
    EXPECT_TRUE(sim::parseOptions({"-h"}).options.help);
}
