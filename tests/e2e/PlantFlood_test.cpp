// The panel as an operator starts it, with its plant link set in the settings
// file, between the simulator flooding it with frames and a real broker: a
// subscriber counts every record the machine sent.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <memory>
#include <set>
#include <string>
#include <thread>

#include "e2e/ChildProcess.h"
#include "e2e/PanelPort.h"
#include "support/MachineFrame.h"
#include "support/MosquittoBroker.h"
#include "support/MqttSubscriber.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr auto kLimit = 30s;
// 100 records among 10,000 frames, at a rate a debug build under the
// sanitizers keeps up with.
constexpr int kFloodFrames = 10'000;
constexpr int kFloodRate = 2'000;

QJsonObject payloadOf(const MqttMessage& message) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(message.payload)).object();
}

// The counts of the records on `topic`, each once however often it came.
std::set<int> recordCounts(const std::vector<MqttMessage>& messages, const std::string& topic) {
    std::set<int> counts;
    for (const MqttMessage& message : messages) {
        if (message.topic == topic) {
            counts.insert(payloadOf(message).value("count").toInt());
        }
    }
    return counts;
}

std::string output(const fs::path& file) {
    return fs::exists(file) ? readFile(file) : std::string();
}

TEST(PlantFlood, EveryRecordTheSimulatorSendsReachesTheSubscriber) {
    ASSERT_TRUE(waitForPanelPort()) << "another program holds UDP port 39451";

    TempDir root;
    MosquittoBroker broker(root / "broker");
    MqttSubscriber subscriber(broker.port(), "tolvane/e2e/#");
    const fs::path home = root / "home";
    const fs::path config = home / ".config";
    fs::create_directories(config / "Tolvane");
    // A stamped file, as a plant rolls the link out: only the plant keys are set.
    const QJsonObject section{{"version", 2024011912},
                              {"mqttHost", "127.0.0.1"},
                              {"mqttPort", broker.port()},
                              {"mqttStation", "e2e"}};
    writeFile(config / "Tolvane" / "TolvaneApp.json",
              QJsonDocument(QJsonObject{{"TolvaneApp", section}}).toJson().toStdString());
    ChildProcess panel(SpawnOptions{{TOLVANE_APP_PATH},
                                    {"QT_QPA_PLATFORM=offscreen", "HOME=" + home.string(),
                                     "XDG_CONFIG_HOME=" + config.string(), "TZ=UTC"},
                                    root / "panel.out",
                                    root / "panel.err"});
    const auto traces = [&] {
        return "--- panel stdout:\n" + output(root / "panel.out") + "--- stderr:\n" +
               output(root / "panel.err") + "--- broker:\n" + broker.log();
    };

    // The panel listens and publishes once the machine's count shows in its
    // retained state; until then the state is sent again.
    std::string stateScript;
    for (auto sent = 0ms; sent < kLimit; sent += 100ms) {
        stateScript += countFrame(7) + "\nsleep 100\n";
    }
    writeFile(root / "state.script", stateScript);
    {
        ChildProcess machine(
            SpawnOptions{{TOLVANE_SIM_PATH, "--udp", "127.0.0.1:39451", "--script",
                          (root / "state.script").string(), "--exit-after", "60000"},
                         {},
                         root / "state.out",
                         root / "state.err"});
        ASSERT_TRUE(subscriber.waitFor(
            [](const std::vector<MqttMessage>& messages) {
                for (const MqttMessage& message : messages) {
                    if (message.topic == "tolvane/e2e/state" &&
                        payloadOf(message).value("count").toInt() == 7) {
                        return true;
                    }
                }
                return false;
            },
            kLimit))
            << traces();
    }

    ChildProcess flood(
        SpawnOptions{{TOLVANE_SIM_PATH, "--udp", "127.0.0.1:39451", "--flood",
                      std::to_string(kFloodFrames), "--flood-rate", std::to_string(kFloodRate)},
                     {},
                     root / "flood.out",
                     root / "flood.err"});
    EXPECT_EQ(describeStatus(flood.waitExit(kLimit)), "exit 0") << output(root / "flood.err");
    EXPECT_NE(output(root / "flood.out").find("flood done " + std::to_string(kFloodFrames)),
              std::string::npos)
        << output(root / "flood.out");

    std::set<int> expected;
    for (int count = 100; count <= kFloodFrames; count += 100) {
        expected.insert(count);
    }
    EXPECT_TRUE(subscriber.waitFor(
        [&](const std::vector<MqttMessage>& messages) {
            return recordCounts(messages, "tolvane/e2e/record") == expected;
        },
        kLimit))
        << recordCounts(subscriber.messages(), "tolvane/e2e/record").size() << " of "
        << expected.size() << " records\n"
        << traces();
    EXPECT_EQ(describeStatus(panel.terminate()), "exit 0") << traces();
}

}  // namespace
