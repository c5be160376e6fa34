#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "commands/CommandSet.h"
#include "settings/SettingsTable.h"
#include "support/InboundPanel.h"
#include "support/LoopbackWire.h"
#include "support/MachineFrame.h"

namespace {

using Mirror = InboundPanel;

// What a first-run window shows, with a count that makes the state new.
constexpr DeviceState kShown{1, 0, 2, 1, 15, 30, 45, 0, 0};

TEST_F(Mirror, PitchSelectsThePositionOfItsTableEntry) {
    struct Case {
        int from;
        int pitch;
        int position;
    };
    const Case cases[] = {{0, 8, 2}, {0, 5, 0}, {0, 56, 14}, {4, 4, 1}, {3, 5, 0}, {14, 2, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "from " << c.from << " pitch " << c.pitch);
        panel.setSelection(ctl::kPitch, c.from);
        DeviceState state = kShown;
        state.data = c.from * 100 + c.pitch;  // a new state every time
        state.pitch = c.pitch;
        ASSERT_TRUE(receive(frameText(state)));
        EXPECT_EQ(panel.selection(ctl::kPitch), c.position);
    }
}

// Positions outside a list leave it with no selection; the operator-side
// selection settings are not touched by the mirror.
TEST_F(Mirror, FunctionAndSpeedPositionsAndNothingStored) {
    struct Case {
        int function, speed;
        int shownFunction, shownSpeed;
    };
    const Case cases[] = {{2, 0, 2, 0}, {3, 3, -1, -1}, {1, 2, 1, 2}, {-1, -1, -1, -1}};
    int data = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "function " << c.function << " speed " << c.speed);
        DeviceState state = kShown;
        state.data = data++;
        state.function = c.function;
        state.speed = c.speed;
        ASSERT_TRUE(receive(frameText(state)));
        EXPECT_EQ(panel.selection(ctl::kFunction), c.shownFunction);
        EXPECT_EQ(panel.selection(ctl::kSpeedStep), c.shownSpeed);
        EXPECT_EQ(panel.storedInt(setting::speedStep), setting::speedStep.readDefault);
    }
}

// An edit is rewritten only when its value (leading-integer rule) differs; a
// rewrite runs the edit's handler, which stores the machine's value.
TEST_F(Mirror, SpeedEditsRewrittenOnlyWhenTheValueDiffers) {
    struct Case {
        int id;
        TextSetting key;
        const char* typed;
        int value;
        const char* shown;  // afterwards; also what is stored when rewritten
        bool rewritten;
    };
    const Case cases[] = {
        {ctl::kSpeed1, setting::speedValue1, "abc", 0, "abc", false},
        {ctl::kSpeed1, setting::speedValue1, "abc", 5, "5", true},
        {ctl::kSpeed2, setting::speedValue2, "30", 30, "30", false},
        {ctl::kSpeed2, setting::speedValue2, "30", -4, "-4", true},
        {ctl::kSpeed3, setting::speedValue3, " 7x", 7, " 7x", false},
        {ctl::kSpeed3, setting::speedValue3, "45", 2147483647, "2147483647", true},
    };
    int data = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " '" << c.typed << "' " << c.value);
        panel.type(ctl::kSpeed1, "15");
        panel.type(ctl::kSpeed2, "30");
        panel.type(ctl::kSpeed3, "45");
        panel.type(c.id, c.typed);
        panel.store().setText(c.key, QStringLiteral("untouched"));
        DeviceState state = kShown;
        state.data = data++;
        (c.id == ctl::kSpeed1 ? state.s1 : c.id == ctl::kSpeed2 ? state.s2 : state.s3) = c.value;
        ASSERT_TRUE(receive(frameText(state)));
        EXPECT_EQ(shown(c.id), c.shown);
        EXPECT_EQ(panel.storedString(c.key), c.rewritten ? QString(c.shown) : "untouched");
    }
}

// The preset shown is the count negated by a "-" caption. When it differs the
// caption is set first and the count's handler stores the signed value, also
// when the count's text stays the same.
TEST_F(Mirror, PresetFollowsTheSignedCount) {
    struct Case {
        const char* sign;
        const char* count;
        int preset;
        const char* shownSign;
        const char* shownCount;
        int stored;  // kUntouched: the handler did not run
    };
    constexpr int kUntouched = 424242;
    const Case cases[] = {
        {"+", "7", -7, "-", "7", -7},
        {"-", "0", 0, "-", "0", kUntouched},
        {"+", "0", 0, "+", "0", kUntouched},
        {"-", "5", -5, "-", "5", kUntouched},
        {"-", "5", 5, "+", "5", 5},
        {"+", "12", 3, "+", "3", 3},
        {"+", "0", INT_MIN, "-", "2147483648", INT_MIN},
        {"-", "2147483648", INT_MAX, "+", "2147483647", INT_MAX},
    };
    int data = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sign << c.count << " -> " << c.preset);
        panel.setPresetNegative(std::string_view(c.sign) == "-");
        panel.type(ctl::kPresetCount, c.count);
        panel.store().setInt(setting::presetCount, kUntouched);
        DeviceState state = kShown;
        state.data = data++;
        state.preset = c.preset;
        ASSERT_TRUE(receive(frameText(state)));
        EXPECT_EQ(shown(ctl::kPresetSign), c.shownSign);
        EXPECT_EQ(shown(ctl::kPresetCount), c.shownCount);
        EXPECT_EQ(panel.storedInt(setting::presetCount), c.stored);
    }
}

TEST_F(Mirror, PresetSwitchFollowsTheMachine) {
    DeviceState state = kShown;
    for (const int on : {1, 0, 1}) {
        state.data++;
        state.presetOn = on;
        ASSERT_TRUE(receive(frameText(state)));
        EXPECT_EQ(panel.checked(ctl::kPresetOn), on);
    }
}

// The machine's values build no command; the operator's changes after them
// are sent as always.
TEST_F(Mirror, EchoesNothingToTheMachine) {
    LoopbackWire wire;
    wire.attach(panel.panel().link());
    testing::internal::CaptureStdout();
    ASSERT_TRUE(receive(frameText({5, 2, 56, 2, 11, 22, 33, -9, 1})));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("net cmd"), std::string::npos) << out;
    EXPECT_TRUE(wire.sent().empty());
    EXPECT_EQ(shown(ctl::kSpeed3), "33");
    EXPECT_EQ(shown(ctl::kPresetCount), "9");

    panel.type(ctl::kSpeed1, "12");
    EXPECT_EQ(wire.sent(), std::vector<std::string>{commands::speedsCommand("12", "22", "33") +
                                                    std::string(1, '\0')});
}

}  // namespace
