// The controller's reactions without a window: the operator's changes are
// sent and stored, the machine's are shown and stored but never sent.
#include <gtest/gtest.h>

#include <functional>

#include "panel/ControllerFixture.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "support/MachineFrame.h"

namespace {

struct OperatorRow {
    const char* name;
    std::function<void(PanelModel&, PanelController&)> act;
    std::vector<std::string> sent;
    std::optional<SettingRow> stored;  // none: nothing stored
    int storedNumber;
    const char* storedText;
};

const std::vector<OperatorRow>& operatorRows() {
    static const std::vector<OperatorRow> rows = {
        {"PickFunction",
         [](PanelModel& m, PanelController&) {
             m.setChoice(ChoiceValue::Function, 2, Origin::Operator);
         },
         {"kavrin_func:2"},
         std::nullopt,
         0,
         nullptr},
        {"PickPitch",
         [](PanelModel& m, PanelController&) {
             m.setChoice(ChoiceValue::Pitch, 3, Origin::Operator);
         },
         {"kavrin_pitch:12"},
         std::nullopt,
         0,
         nullptr},
        {"PickTheSameSpeedStepAgain",
         [](PanelModel& m, PanelController&) {
             m.setChoice(ChoiceValue::SpeedStep, 1, Origin::Operator);
         },
         {"kavrin_speed_sel:1"},
         setting::speedStep,
         1,
         nullptr},
        {"TypeSpeed2",
         [](PanelModel& m, PanelController&) {
             m.setText(TextValue::Speed2, "31", Origin::Operator);
         },
         {"kavrin_speed3:15,31,45"},
         setting::speedValue2,
         0,
         "31"},
        {"TypePresetCount",
         [](PanelModel& m, PanelController&) {
             m.setText(TextValue::PresetCount, "007", Origin::Operator);
         },
         {"kavrin_preset:cnt,007"},
         setting::presetCount,
         7,
         nullptr},
        {"FlipPresetSign",
         [](PanelModel&, PanelController& c) { c.flipPresetSign(); },
         {"kavrin_preset:cnt,-0"},
         setting::presetCount,
         0,
         nullptr},
        {"SwitchPresetOn",
         [](PanelModel& m, PanelController&) {
             m.setFlag(FlagValue::PresetOn, true, Origin::Operator);
         },
         {"kavrin_preset:enable=1,0"},
         setting::presetCount,
         0,
         nullptr},
        {"PickRecordFormat",
         [](PanelModel& m, PanelController&) {
             m.setChoice(ChoiceValue::RecordFormat, 1, Origin::Operator);
         },
         {"kavrin_f2name:1"},
         setting::recordFormat,
         1,
         nullptr},
        {"TypeRecordName",
         [](PanelModel& m, PanelController&) {
             m.setText(TextValue::RecordName, "line4", Origin::Operator);
         },
         {},
         setting::recordFileName,
         0,
         "line4"},
        {"TypeTemplate",
         [](PanelModel& m, PanelController&) {
             m.setText(TextValue::Template, "N\r\nP1\r\n", Origin::Operator);
         },
         {},
         setting::labelTemplate,
         0,
         "N\r\nP1\r\n"},
        {"TypeWifiNameStoresNothingYet",
         [](PanelModel& m, PanelController&) {
             m.setText(TextValue::WifiName, "lab", Origin::Operator);
         },
         {},
         std::nullopt,
         0,
         nullptr},
        {"WifiSet",
         [](PanelModel&, PanelController& c) { c.sendWifi(); },
         {"kavrin_wifi:default,lantern,192.168.1.20,39451"},
         setting::wifiName,
         0,
         "default"},
        {"SendTemplate",
         [](PanelModel&, PanelController& c) { c.sendTemplate(); },
         {"kavrin_cmd:" + defaultLabelTemplate()},
         std::nullopt,
         0,
         nullptr},
        {"Key",
         [](PanelModel&, PanelController& c) { c.sendKey(commands::kStart); },
         {"kavrin_key:star"},
         std::nullopt,
         0,
         nullptr},
    };
    return rows;
}

class OperatorChange : public ControllerTest, public testing::WithParamInterface<OperatorRow> {};

TEST_P(OperatorChange, SendsItsCommandAndStoresItsSetting) {
    const OperatorRow& row = GetParam();
    start();
    row.act(model, *controller);
    EXPECT_EQ(link.sent, row.sent);
    if (row.stored) {
        const SettingsStore next = reread();
        if (row.stored->text != nullptr) {
            EXPECT_EQ(next.text(*row.stored->text).toStdString(), row.storedText);
        } else {
            EXPECT_EQ(next.intValue(*row.stored->integer), row.storedNumber);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, OperatorChange, testing::ValuesIn(operatorRows()),
                         [](const testing::TestParamInfo<OperatorRow>& info) {
                             return std::string(info.param.name);
                         });

// A frame that changes every value the machine owns: the model shows them
// with origin Machine, the settings the panel keeps of them are stored, and
// not one command is built.
TEST_F(ControllerTest, MachineValuesAreShownAndStoredButNeverSent) {
    start();
    ASSERT_TRUE(controller->takeChunk(frameText({5, 1, 8, 0, 10, 20, 30, -7, 1})));
    EXPECT_TRUE(link.sent.empty());
    EXPECT_EQ(model.choice(ChoiceValue::Function), 1);
    EXPECT_EQ(model.choice(ChoiceValue::Pitch), 2);
    EXPECT_EQ(model.choice(ChoiceValue::SpeedStep), 0);
    EXPECT_EQ(model.text(TextValue::Speed3), "30");
    EXPECT_TRUE(model.flag(FlagValue::PresetNegative));
    EXPECT_EQ(model.text(TextValue::PresetCount), "7");
    EXPECT_TRUE(model.flag(FlagValue::PresetOn));
    EXPECT_EQ(model.count(), 5);
    for (const auto& [value, origin] : changes) {
        EXPECT_TRUE(origin == Origin::Machine || origin == Origin::Panel);
    }
    EXPECT_EQ(originsOf(TextValue::Speed1), std::vector<Origin>{Origin::Machine});

    const SettingsStore next = reread();
    EXPECT_EQ(next.text(setting::speedValue1), "10");
    EXPECT_EQ(next.intValue(setting::presetCount), -7);
    EXPECT_EQ(next.intValue(setting::speedStep), 1) << "a list the machine picks is not stored";

    // The same state again changes nothing; the operator's next change is sent.
    changes.clear();
    ASSERT_TRUE(controller->takeChunk(frameText({5, 1, 8, 0, 10, 20, 30, -7, 1})));
    EXPECT_TRUE(changes.empty());
    model.setText(TextValue::Speed1, "12", Origin::Operator);
    EXPECT_EQ(link.sent, std::vector<std::string>{"kavrin_speed3:12,20,30"});
}

// The parameter panel opens with the stored password, which the edit then
// forgets, or on the tenth quick failed click; a port the operator picks is
// chosen on the link, and one that cannot be opened is told.
TEST_F(ControllerTest, PanelLockAndLinkChoice) {
    ports = {7};
    start();
    model.setText(TextValue::PanelPassword, "wrong", Origin::Operator);
    for (int click = 1; click <= 9; ++click) {
        tick += 100;
        controller->togglePanel();
        EXPECT_FALSE(model.flag(FlagValue::PanelOpen)) << click;
    }
    tick += 100;
    controller->togglePanel();
    EXPECT_TRUE(model.flag(FlagValue::PanelOpen));
    controller->togglePanel();
    model.setText(TextValue::PanelPassword, "teal", Origin::Operator);
    tick += 5000;
    controller->togglePanel();
    EXPECT_TRUE(model.flag(FlagValue::PanelOpen));
    EXPECT_EQ(model.text(TextValue::PanelPassword), "");

    link.opens = false;
    PortEntries pick = model.ports();
    ASSERT_EQ(pick.entries, (std::vector<std::string>{"NET", "COM7"}));
    pick.chosen = 1;
    model.setPorts(pick, Origin::Operator);
    EXPECT_EQ(link.choices, std::vector<std::string>{"COM7"});
    EXPECT_EQ(notices, std::vector<QString>{QString::fromUtf8("打开COM失败!")});

    // Gone from the computer, the chosen port stays listed and chosen.
    ports.clear();
    controller->refreshPorts();
    EXPECT_EQ(model.ports().entries, (std::vector<std::string>{"NET", "COM7"}));
    EXPECT_EQ(model.ports().chosen, 1);
}

}  // namespace
