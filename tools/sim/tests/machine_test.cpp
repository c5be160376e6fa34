#include "Machine.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>

namespace {

sim::Outcome send(sim::Machine& machine, std::string_view text, std::time_t now = 1700000000) {
    return machine.apply(sim::parseCommand(text), now);
}

// A machine that has counted to 42 and holds the preset 5 (switched off), so
// that commands setting 0 show as changes.
sim::Machine usedMachine() {
    sim::Machine machine;
    send(machine, "kavrin_preset:cnt,5");
    send(machine, "kavrin_key:star");
    machine.advance(42);
    send(machine, "kavrin_key:stop");
    return machine;
}

}  // namespace

TEST(Machine, EachCommandChangesItsValueAndBadPayloadsNothing) {
    using Change = std::function<void(sim::MachineState&)>;
    const Change none = [](sim::MachineState&) {};
    const struct {
        const char* command;
        Change change;
    } cases[] = {
        {"kavrin_func:1", [](auto& s) { s.function = 1; }},
        {"kavrin_func:2", [](auto& s) { s.function = 2; }},
        {"kavrin_func:3", none},
        {"kavrin_func:", none},
        {"kavrin_func:1x", none},
        {"kavrin_pitch:8", [](auto& s) { s.pitch = 8; }},
        {"kavrin_pitch:56", [](auto& s) { s.pitch = 56; }},
        {"kavrin_pitch:6", none},
        {"kavrin_pitch:2", none},
        {"kavrin_speed_sel:0", [](auto& s) { s.speed = 0; }},
        {"kavrin_speed_sel:-1", none},
        {"kavrin_speed3:15,35,45", [](auto& s) { s.s2 = 35; }},
        {"kavrin_speed3:150,30,45", [](auto& s) { s.s1 = 150; }},
        {"kavrin_speed3:15,,45", none},
        {"kavrin_speed3:abc,31,46", [](auto& s) { s.s2 = 31, s.s3 = 46; }},
        {"kavrin_speed3:1,5,30,45", none},
        {"kavrin_speed3:", none},
        {"kavrin_preset:cnt,250", [](auto& s) { s.preset = 250; }},
        {"kavrin_preset:cnt,-250", [](auto& s) { s.preset = -250; }},
        {"kavrin_preset:cnt,007", [](auto& s) { s.preset = 7; }},
        {"kavrin_preset:cnt,", [](auto& s) { s.preset = 0; }},
        {"kavrin_preset:cnt,-", [](auto& s) { s.preset = 0; }},
        {"kavrin_preset:cnt,-0", [](auto& s) { s.preset = 0; }},
        {"kavrin_preset:cnt,99999999999", [](auto& s) { s.preset = 2147483647; }},
        {"kavrin_preset:cnt,-99999999999", [](auto& s) { s.preset = -2147483647; }},
        {"kavrin_preset:cnt,12a", none},
        {"kavrin_preset:cnt,+3", none},
        {"kavrin_preset:enable=1,100", [](auto& s) { s.presetOn = 1, s.preset = 100; }},
        {"kavrin_preset:enable=1,-100", [](auto& s) { s.presetOn = 1, s.preset = -100; }},
        {"kavrin_preset:enable=0,5", none},
        {"kavrin_preset:enable=2,100", none},
        {"kavrin_preset:enable=1", none},
        {"kavrin_clear", [](auto& s) { s.data = 0; }},
        {"kavrin_clear:", none},
        {"kavrin_key:start", none},
        {"kavrin_key:print", none},
        {"kavrin_f2name:1", none},
        {"kavrin_time:2025,03,05,09,03,07", none},
        {"kavrin_wifi:lab,,127.0.0.1,39451", none},
        {"kavrin_cmd:^XA\r\n^XZ\r\n", none},
        {"kavrin_bogus:1", none},
        {"", none},
    };
    for (const auto& c : cases) {
        sim::Machine machine = usedMachine();
        sim::MachineState expected = machine.state();
        c.change(expected);
        const sim::Outcome outcome = send(machine, c.command);
        EXPECT_EQ(machine.state(), expected) << c.command;
        EXPECT_EQ(outcome.stateChanged, !(expected == usedMachine().state())) << c.command;
        EXPECT_FALSE(outcome.note.empty()) << c.command;
    }
}

TEST(Machine, KeysCountStopAndRecord) {
    sim::Machine machine;
    EXPECT_FALSE(send(machine, "kavrin_key:print").stateChanged);
    EXPECT_TRUE(send(machine, "kavrin_key:print").record);

    send(machine, "kavrin_key:star");
    EXPECT_TRUE(machine.counting());
    EXPECT_TRUE(machine.advance(3).stateChanged);
    send(machine, "kavrin_key:stop");
    EXPECT_FALSE(machine.advance(3).stateChanged);
    EXPECT_EQ(machine.state().data, 3);

    send(machine, "kavrin_key:star");
    const sim::Outcome rewind = send(machine, "kavrin_key:rewind");
    EXPECT_TRUE(rewind.record);
    EXPECT_FALSE(machine.counting());
}

TEST(Machine, EnabledPresetStopsExactlyOnceReached) {
    for (const char* preset : {"kavrin_preset:enable=1,5", "kavrin_preset:enable=1,-5"}) {
        sim::Machine machine;
        send(machine, preset);
        send(machine, "kavrin_key:star");
        const sim::Outcome outcome = machine.advance(100);
        EXPECT_EQ(machine.state().data, 5) << preset;
        EXPECT_TRUE(outcome.record) << preset;
        EXPECT_FALSE(machine.counting()) << preset;

        // Reached presets hold the machine until the count is cleared.
        send(machine, "kavrin_key:star");
        EXPECT_FALSE(machine.counting()) << preset;
        send(machine, "kavrin_clear");
        send(machine, "kavrin_key:star");
        EXPECT_TRUE(machine.counting()) << preset;
    }
}

TEST(Machine, PresetSwitchedOffOrZeroDoesNotStop) {
    for (const char* preset : {"kavrin_preset:enable=0,5", "kavrin_preset:enable=1,0"}) {
        sim::Machine machine;
        send(machine, preset);
        send(machine, "kavrin_key:star");
        EXPECT_FALSE(machine.advance(10).record) << preset;
        EXPECT_EQ(machine.state().data, 10) << preset;
        EXPECT_TRUE(machine.counting()) << preset;
    }
}

TEST(Machine, ClockFollowsTheTimeCommand) {
    sim::Machine machine;
    const std::time_t now = 1700000000;
    send(machine, "kavrin_time:2025,03,05,09,03,07", now);
    EXPECT_EQ(machine.clockText(now + 5), "2025-03-05 09:03:12");

    const std::string before = machine.clockText(now);
    for (const char* bad : {"kavrin_time:0,00,00,-1,-1,-1", "kavrin_time:2025,02,30,09,03,07",
                            "kavrin_time:2025,03,05,24,00,00", "kavrin_time:2025,03,05,09,03"}) {
        send(machine, bad, now);
        EXPECT_EQ(machine.clockText(now), before) << bad;
    }
}

TEST(Machine, StoresTextSettingsUnchanged) {
    sim::Machine machine;
    send(machine, "kavrin_wifi:la,b,,127.0.0.1,39451");
    send(machine, "kavrin_cmd:^XA\r\n^FO@1\r\n");
    send(machine, "kavrin_f2name:1");
    send(machine, "kavrin_f2name:x");
    EXPECT_EQ(machine.wifi(), "la,b,,127.0.0.1,39451");
    EXPECT_EQ(machine.label(), "^XA\r\n^FO@1\r\n");
    EXPECT_EQ(machine.recordFormat(), 1);
}
