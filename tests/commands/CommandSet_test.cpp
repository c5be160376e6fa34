#include "commands/CommandSet.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

struct BuiltCase {
    const char* name;
    std::string built;
    std::string expected;
};

// Texts from controls go out exactly as they stand: empty fields stay empty,
// commas are not escaped, typed numbers are not re-formatted.
TEST(CommandTexts, AreBuiltExactly) {
    using namespace commands;
    const std::vector<BuiltCase> cases = {
        {"start has no final t", std::string(kStart), "kavrin_key:star"},
        {"clear has no colon", std::string(kClear), "kavrin_clear"},
        {"clock", timeCommand("2025,03,05,09,03,07"), "kavrin_time:2025,03,05,09,03,07"},
        {"wifi empty password", wifiCommand("lab", "", "192.168.1.20"),
         "kavrin_wifi:lab,,192.168.1.20,39451"},
        {"wifi no address", wifiCommand("lab", "pw", ""), "kavrin_wifi:lab,pw,,39451"},
        {"wifi comma in name", wifiCommand("a,b", "p", "10.0.0.2"),
         "kavrin_wifi:a,b,p,10.0.0.2,39451"},
        {"function", functionCommand(2), "kavrin_func:2"},
        {"pitch value", pitchCommand(56), "kavrin_pitch:56"},
        {"speed step", speedSelectCommand(0), "kavrin_speed_sel:0"},
        {"count as typed", presetCountCommand(false, "007"), "kavrin_preset:cnt,007"},
        {"empty count", presetCountCommand(false, ""), "kavrin_preset:cnt,"},
        {"empty negative count", presetCountCommand(true, ""), "kavrin_preset:cnt,-"},
        {"minus zero", presetCountCommand(true, "0"), "kavrin_preset:cnt,-0"},
        {"enable on", presetEnableCommand(1, false, "100"), "kavrin_preset:enable=1,100"},
        {"enable negative", presetEnableCommand(1, true, "100"), "kavrin_preset:enable=1,-100"},
        {"enable off", presetEnableCommand(0, false, "100"), "kavrin_preset:enable=0,100"},
        {"speeds in order", speedsCommand("1,5", "", "abc"), "kavrin_speed3:1,5,,abc"},
        {"empty template", templateCommand(""), "kavrin_cmd:"},
        {"template CR LF", templateCommand("N\r\nP1,1\r\n"), "kavrin_cmd:N\r\nP1,1\r\n"},
        {"record format", recordFormatCommand(1), "kavrin_f2name:1"},
    };
    for (const BuiltCase& c : cases) {
        EXPECT_EQ(c.built, c.expected) << c.name;
    }
}

// The machine splits the Wi-Fi command at commas and the send path ends every
// command at its first NUL: such a name or password cannot go out as typed.
TEST(WifiField, WithACommaOrANulCannotBeSent) {
    struct FieldCase {
        std::string field;
        bool sendable;
    };
    const std::vector<FieldCase> cases = {
        {"", true},
        {"Lab 2F", true},
        {"caf\xc3\xa9;p=w", true},
        {"Lab,2F", false},
        {",", false},
        {"p,w,", false},
        {std::string("pw\0x", 4), false},
        {std::string(1, '\0'), false},
    };
    for (const FieldCase& c : cases) {
        EXPECT_EQ(commands::wifiFieldSendable(c.field), c.sendable) << c.field;
    }
}

struct ValueCase {
    const char* text;
    bool negative;
    int preset;   // presetValue(negative, text)
    int leading;  // leadingInt(text)
};

// atoi's reading of a count, but counts beyond 32 bits saturate instead of
// wrapping into a value of the wrong size or sign.
TEST(PresetValue, ReadsLikeAtoiAndClampsToThirtyTwoBits) {
    const std::vector<ValueCase> cases = {
        {"250", false, 250, 250},
        {"250", true, -250, 250},
        {"007", false, 7, 7},
        {"", false, 0, 0},
        {"", true, 0, 0},
        {"0", true, 0, 0},
        {" \t42x", false, 42, 42},
        {"12 34", false, 12, 12},
        {"+5", true, -5, 5},
        {"-5", false, -5, -5},
        {"-", false, 0, 0},
        {"abc", false, 0, 0},
        {"2147483647", false, INT_MAX, INT_MAX},
        {"2147483647", true, -INT_MAX, INT_MAX},
        {"2147483648", false, INT_MAX, INT_MAX},
        {"2147483648", true, INT_MIN, INT_MAX},
        {"-2147483649", false, INT_MIN, INT_MIN},
        {"99999999999", false, INT_MAX, INT_MAX},
        {"99999999999", true, INT_MIN, INT_MAX},
        {"000000000000000000000000000000012", false, 12, 12},
        {"184467440737095516170000000000000", false, INT_MAX, INT_MAX},
        {"184467440737095516170000000000000", true, INT_MIN, INT_MAX},
    };
    for (const ValueCase& c : cases) {
        EXPECT_EQ(commands::presetValue(c.negative, c.text), c.preset)
            << '"' << c.text << "\" negative=" << c.negative;
        EXPECT_EQ(commands::leadingInt(c.text), c.leading) << '"' << c.text << '"';
    }
}

TEST(PitchPosition, MapsEveryListedPitchBackToItsEntry) {
    const std::vector<int> expected = {2, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56};
    ASSERT_EQ(std::vector<int>(commands::pitchTable.begin(), commands::pitchTable.end()), expected);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(commands::pitchPosition(expected[i]), static_cast<int>(i)) << expected[i];
    }
}

TEST(PitchPosition, UnlistedPitchFallsBackToTheFirstEntry) {
    for (int pitch : {6, 0, -2, 1, 57, 60, INT_MAX, INT_MIN}) {
        EXPECT_EQ(commands::pitchPosition(pitch), 0) << pitch;
    }
}

}  // namespace
