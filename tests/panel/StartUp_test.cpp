// Start-up without a window: every effect of filling the panel from its
// settings, in order.
#include <gtest/gtest.h>

#include "inbound/FrameParser.h"
#include "link/Link.h"
#include "panel/ControllerFixture.h"
#include "panel/LiveLink.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"

namespace {

// The link has no machine yet: the commands the filled edits raise are traced
// and dropped, in the order the values are shown; then the first-run values
// and what they raised are stored.
TEST_F(ControllerTest, FirstRunTracesTheDroppedCommandsInOrderAndStoresTheDefaults) {
    Link real(LinkSetup{0, PortsEnvironment{}}, LinkHandlers{});
    LiveLink live(real);
    SettingsStore settings(folder / "TolvaneApp.json");
    PanelController panel(model, settings, live, saver, environment);

    testing::internal::CaptureStdout();
    panel.startUp();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "D:[CTolvaneAppDlg::OnInitDialog,550]is first \r\n"
              "D:[CTolvaneAppDlg::tmSendMsg,799]net cmd:\r\nkavrin_speed3:15,,\r\n"
              "D:[CTolvaneAppDlg::tmSendMsg,799]net cmd:\r\nkavrin_speed3:15,30,\r\n"
              "D:[CTolvaneAppDlg::tmSendMsg,799]net cmd:\r\nkavrin_speed3:15,30,45\r\n"
              "D:[CTolvaneAppDlg::tmSendMsg,799]net cmd:\r\nkavrin_preset:cnt,0\r\n");

    EXPECT_EQ(model.text(TextValue::Template), defaultLabelTemplate());
    EXPECT_EQ(model.text(TextValue::WifiName), "default");
    EXPECT_EQ(model.text(TextValue::RecordName), "kav");
    EXPECT_EQ(model.choice(ChoiceValue::RecordFormat), 0);
    EXPECT_EQ(model.choice(ChoiceValue::SpeedStep), 1);
    EXPECT_EQ(model.choice(ChoiceValue::Pitch), 0);
    EXPECT_EQ(model.choice(ChoiceValue::Function), 0);
    EXPECT_EQ(model.ports().entries, std::vector<std::string>{"NET"});
    EXPECT_EQ(model.ports().chosen, 0);
    EXPECT_FALSE(model.flag(FlagValue::PanelOpen));

    const SettingsStore next = reread();
    EXPECT_EQ(next.intValue(setting::firstRunStamp), kFirstRunStamp);
    EXPECT_EQ(next.text(setting::speedValue1), "15");
    EXPECT_EQ(next.text(setting::speedValue3), "45");
    EXPECT_EQ(next.intValue(IntSetting{"presetCnt", 99}), 0);
}

// Every value start-up shows comes with origin StartUp; a stored negative
// preset shows its sign before its count, and what the edits raise is the
// panel's only traffic.
TEST_F(ControllerTest, StoredValuesArriveWithOriginStartUp) {
    {
        SettingsStore seed(folder / "TolvaneApp.json");
        seed.setInt(setting::firstRunStamp, kFirstRunStamp);
        seed.setInt(setting::presetCount, -25);
        seed.setText(setting::speedValue2, "77");
        seed.setInt(setting::speedStep, 7);  // outside the list: the default entry
    }
    store = std::make_unique<SettingsStore>(folder / "TolvaneApp.json");
    controller = std::make_unique<PanelController>(model, *store, link, saver, environment);
    controller->startUp();

    EXPECT_TRUE(model.flag(FlagValue::PresetNegative));
    EXPECT_EQ(model.text(TextValue::PresetCount), "25");
    EXPECT_EQ(model.choice(ChoiceValue::SpeedStep), 1);
    EXPECT_EQ(link.sent,
              (std::vector<std::string>{"kavrin_speed3:15,,", "kavrin_speed3:15,77,",
                                        "kavrin_speed3:15,77,45", "kavrin_preset:cnt,-25"}));
    for (const auto& [value, origin] : changes) {
        EXPECT_TRUE(origin == Origin::StartUp || origin == Origin::Panel);
    }
    ASSERT_FALSE(originsOf(TextValue::Speed2).empty());
    EXPECT_EQ(originsOf(TextValue::Speed2).front(), Origin::StartUp);
    EXPECT_EQ(reread().intValue(setting::presetCount), -25);
}

}  // namespace
