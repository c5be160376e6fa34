// The whole panel with its plant link on: a record from the machine reaches
// the broker's subscriber, the machine's state is retained, and the status
// line says what the link does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "support/LoopbackWire.h"
#include "support/MachineFrame.h"
#include "support/MosquittoBroker.h"
#include "support/MqttSubscriber.h"
#include "support/PanelHarness.h"
#include "support/TempDir.h"
#include "support/Wait.h"

namespace {

// A message on `topic` whose payload holds `part`, once the subscriber has it;
// the panel's event loop runs meanwhile.
bool arrives(MqttSubscriber& subscriber, const std::string& topic, const std::string& part) {
    return waitUntil(
        [&] {
            for (const MqttMessage& message : subscriber.messages()) {
                if (message.topic == topic && message.payload.find(part) != std::string::npos) {
                    return true;
                }
            }
            return false;
        },
        10000);
}

TEST(PlantLinkWindow, ARecordFromTheMachineReachesTheBroker) {
    TempDir brokerFolder;
    MosquittoBroker broker(brokerFolder.path());
    MqttSubscriber subscriber(broker.port(), "tolvane/#");
    TempDir records;
    PanelHarness panel(true);
    {
        SettingsStore seed(panel.settingsFile());
        seed.setText(setting::plantHost, QStringLiteral("127.0.0.1"));
        seed.setInt(setting::plantPort, broker.port());
        seed.setText(setting::plantStation, QStringLiteral("line-4"));
    }
    panel.open();
    panel.setRecordFolder(records.path().string() + "/");
    EXPECT_TRUE(waitUntil(
        [&] { return panel.model().plantStatus().find("connected") != std::string::npos; }, 10000))
        << panel.model().plantStatus();

    LoopbackEndpoint machine;
    ASSERT_TRUE(waitUntil(
        [&] {
            machine.sendTo(panel.udpPort, countFrame(7, ",pt:T7,{reel-1}"));
            return waitUntil([&] { return panel.text(ctl::kData) == "data=7"; }, 100);
        },
        5000));
    EXPECT_TRUE(arrives(subscriber, "tolvane/line-4/record", "reel-1")) << broker.log();
    EXPECT_TRUE(arrives(subscriber, "tolvane/line-4/state", "\"count\":7")) << broker.log();
}

}  // namespace
