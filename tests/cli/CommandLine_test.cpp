// Reading a command line with QCommandLineParser as the panel and tolvane-sim
// do: faults in the programs' own words, values byte for byte.
#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<QCommandLineOption> someOptions() {
    return {QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}),
            QCommandLineOption(QStringLiteral("rate"), QString(), QStringLiteral("value")),
            QCommandLineOption(QStringLiteral("platform"), QString(), QStringLiteral("value")),
            QCommandLineOption(QStringLiteral("once"))};
}

std::string faultOf(std::vector<std::string> words) {
    words.insert(words.begin(), "program");
    QCommandLineParser parser;
    return cli::parse(parser, someOptions(), cli::argumentsOf(words));
}

TEST(CommandLine, FaultsAreToldInTheProgramsOwnWords) {
    struct Case {
        std::vector<std::string> words;
        const char* fault;
    };
    const Case cases[] = {
        {{}, ""},
        {{"--help"}, ""},
        {{"-h"}, ""},
        {{"--rate", "5", "--once"}, ""},
        {{"--rate=5"}, ""},
        {{"--rate", "--once"}, ""},  // the next word is the value, whatever it looks like
        {{"-platform", "offscreen"}, ""},
        {{"--platform", "offscreen"}, ""},
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--bogus=3"}, "unknown option '--bogus=3'"},
        {{"-x"}, "unknown option '-x'"},
        {{"-hx"}, "unknown option '-hx'"},
        {{"stray"}, "unknown option 'stray'"},
        {{"--"}, "unknown option '--'"},
        {{"--rate"}, "--rate needs a value"},
        {{"--once", "-platform"}, "-platform needs a value"},
        {{"--once=1"}, "--once takes no value"},
        {{"-once=1"}, "-once takes no value"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(faultOf(c.words), c.fault) << ::testing::PrintToString(c.words);
    }
}

TEST(CommandLine, ValuesComeBackByteForByte) {
    const std::string name = "/tmp/caf\xe9-\xff\x01.txt";  // not UTF-8
    QCommandLineParser parser;
    ASSERT_EQ(cli::parse(parser, someOptions(), cli::argumentsOf({"program", "--rate", name})), "");
    EXPECT_EQ(cli::bytesOf(parser.value(QStringLiteral("rate"))), name);
}

}  // namespace
