#include <gtest/gtest.h>

#include <QComboBox>

#include <algorithm>
#include <functional>
#include <memory>
#include <regex>

#include "e2e/ChildProcess.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "support/PanelHarness.h"
#include "support/Wait.h"

namespace {

namespace fs = std::filesystem;

constexpr int kReactionMs = 5000;

// Built by appending only: GCC 12 at -O2 and above reports a false -Wrestrict
// for a literal prepended to a temporary string (literal + std::string&&).
std::string describe(const DeviceState& s) {
    std::string text = "[";
    for (const int v :
         {s.data, s.function, s.pitch, s.speed, s.s1, s.s2, s.s3, s.preset, s.presetOn}) {
        text += text.size() > 1 ? "," : "";
        text += std::to_string(v);
    }
    return text + "]";
}

// The line the simulator prints for a command it received: the byte count
// with the NUL, and the text with CR and LF shown by name.
std::string commandLine(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        shown += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    }
    return "cmd[" + std::to_string(text.size() + 1) + "]: " + shown;
}

// tolvane-sim as the machine, its stdout on a pipe. Reading never blocks and
// every wait runs the window's events, so the panel keeps receiving meanwhile.
class Machine {
  public:
    explicit Machine(std::vector<std::string> options) {
        options.insert(options.begin(), TOLVANE_SIM_PATH);
        options.insert(options.end(), {"--period", "100", "--exit-after", "60000"});
        process_ = std::make_unique<ChildProcess>(SpawnOptions{options, {}, {}, {}});
    }
    ~Machine() { process_->terminate(std::chrono::seconds(2)); }

    ChildProcess& process() { return *process_; }

    const std::vector<std::string>& lines() {
        pending_ += process_->takeOutput();
        for (auto end = pending_.find('\n'); end != std::string::npos; end = pending_.find('\n')) {
            lines_.push_back(pending_.substr(0, end));
            pending_.erase(0, end + 1);
        }
        return lines_;
    }

    bool saw(const std::function<bool(const std::string&)>& match) {
        return waitUntil(
            [&] {
                const auto& all = lines();
                return std::any_of(all.begin(), all.end(), match);
            },
            kReactionMs);
    }

    // The next command line after those already taken; empty when none comes.
    std::string nextCommand() {
        std::string line;
        waitUntil(
            [&] {
                const auto& all = lines();
                while (taken_ < all.size()) {
                    if (all[taken_++].starts_with("cmd[")) {
                        line = all[taken_ - 1];
                        return true;
                    }
                }
                return false;
            },
            kReactionMs);
        return line;
    }

    std::string transcript() {
        std::string text;
        for (const auto& line : lines()) {
            text += line + "\n";
        }
        return text;
    }

  private:
    std::unique_ptr<ChildProcess> process_;
    std::string pending_;
    std::vector<std::string> lines_;
    std::size_t taken_ = 0;
};

// One operator action on a setting, the command it must put on the wire, and
// what it does to the machine's state (nothing for commands the machine only
// stores).
struct Step {
    const char* what;
    std::function<void(PanelHarness&)> act;
    std::string command;
    std::function<void(DeviceState&)> effect;
};

std::function<void(PanelHarness&)> click(int id) {
    return [id](PanelHarness& panel) { panel.click(id); };
}
std::function<void(PanelHarness&)> pick(int id, int index) {
    return [id, index](PanelHarness& panel) { panel.pick(id, index); };
}
std::function<void(PanelHarness&)> type(int id, const char* text) {
    return [id, text](PanelHarness& panel) { panel.type(id, QString::fromLatin1(text)); };
}

const std::string kDefaultTemplate =
    "N\r\nq514\r\nQ204,24\r\nJF\r\nD10\r\nS2\r\nO\r\nB205,194,2,1,1,3,55,B,\"@C\"\r\n"
    "A276,136,2,3,1,1,N,\"Q`TY:\"\r\nA486,194,2,3,1,3,N,\"@Y-@M-@D @H:@m\"\r\n"
    "B486,98,2,1,2,4,55,B,\"@S0\"\r\nP1,1\r\n";

std::vector<Step> settingSteps() {
    using S = DeviceState&;
    return {
        {"Time", click(ctl::kTime), "kavrin_time:2025,03,05,09,03,07", nullptr},
        {"WIFI SET", click(ctl::kWifiSet), "kavrin_wifi:default,lantern,192.168.1.20,39451",
         nullptr},
        {"function", pick(ctl::kFunction, 2), "kavrin_func:2", [](S s) { s.function = 2; }},
        {"pitch", pick(ctl::kPitch, 2), "kavrin_pitch:8", [](S s) { s.pitch = 8; }},
        {"speed step", pick(ctl::kSpeedStep, 0), "kavrin_speed_sel:0", [](S s) { s.speed = 0; }},
        {"preset count", type(ctl::kPresetCount, "250"), "kavrin_preset:cnt,250",
         [](S s) { s.preset = 250; }},
        {"preset sign", click(ctl::kPresetSign), "kavrin_preset:cnt,-250",
         [](S s) { s.preset = -250; }},
        {"PRESET", click(ctl::kPresetOn), "kavrin_preset:enable=1,-250",
         [](S s) { s.presetOn = 1; }},
        {"S1", type(ctl::kSpeed1, "77"), "kavrin_speed3:77,30,45", [](S s) { s.s1 = 77; }},
        {"S2", type(ctl::kSpeed2, "88"), "kavrin_speed3:77,88,45", [](S s) { s.s2 = 88; }},
        {"S3", type(ctl::kSpeed3, "99"), "kavrin_speed3:77,88,99", [](S s) { s.s3 = 99; }},
        {"PRINTER SET", click(ctl::kPrinterSet), "kavrin_cmd:" + kDefaultTemplate, nullptr},
        {"record format xml", pick(ctl::kRecordFormat, 1), "kavrin_f2name:1", nullptr},
        {"record format csv", pick(ctl::kRecordFormat, 0), "kavrin_f2name:0", nullptr},
    };
}

enum class Via { Udp, Serial };

void PrintTo(Via via, std::ostream* out) {
    *out << (via == Via::Udp ? "UDP" : "COM7");
}

// The window with its real threads against tolvane-sim, over UDP on a free
// port or over a pseudo-terminal offered as COM7. The window starts with a
// speed and a preset the machine does not have, so the machine's first frame
// changes them.
class SimLink : public testing::TestWithParam<Via> {
  protected:
    SimLink() : panel(true) {
        panel.now = kFixedInstant;
        SettingsStore seed(panel.settingsFile());
        seed.setText(setting::speedValue1, QStringLiteral("66"));
        seed.setInt(setting::presetCount, -9);
    }

    void SetUp() override {
        if (GetParam() == Via::Udp) {
            panel.open();
            expectSeededWindow();
            machine = std::make_unique<Machine>(
                std::vector<std::string>{"--udp", "127.0.0.1:" + std::to_string(panel.udpPort)});
            return;
        }
        // The panel first, then the machine: COM7 is offered as it appears,
        // without a restart.
        panel.open();
        expectSeededWindow();
        machine = std::make_unique<Machine>(std::vector<std::string>{"--serial", "COM7"});
        auto* ports = static_cast<QComboBox*>(panel.control(ctl::kPort));
        ASSERT_TRUE(waitUntil([&] { return ports->findText("COM7") >= 0; }, kReactionMs))
            << machine->transcript();
        panel.pick(ctl::kPort, ports->findText("COM7"));
    }

    // The operator opens the parameter panel: every control within reach.
    void expectSeededWindow() {
        panel.showParameterPanel();
        EXPECT_EQ(panel.text(ctl::kSpeed1), "66");
        EXPECT_EQ(panel.text(ctl::kPresetSign), "-");
        EXPECT_EQ(panel.text(ctl::kPresetCount), "9");
    }

    bool mirrored(const DeviceState& state) {
        return waitUntil([&] { return panel.controller().mirroredState() == state; }, kReactionMs);
    }

    UtcTimeZone utc;  // before the machine, which inherits it
    PanelHarness panel;
    std::unique_ptr<Machine> machine;
};

TEST_P(SimLink, EveryCommandReachesTheMachineAndItsAnswerIsMirroredWithoutEcho) {
    // The machine's first frame puts its values into the window; the change
    // handlers store them and send nothing back (the next command line seen
    // must be the first one the operator triggers).
    DeviceState state{0, 0, 2, 1, 15, 30, 45, 0, 0};
    ASSERT_TRUE(mirrored(state)) << describe(panel.controller().mirroredState())
                                 << machine->transcript();
    EXPECT_EQ(panel.text(ctl::kSpeed1), "15");
    EXPECT_EQ(panel.text(ctl::kPresetSign), "+");
    EXPECT_EQ(panel.text(ctl::kPresetCount), "0");
    EXPECT_EQ(panel.storedString("kavrin_speed3_1"), "15");
    EXPECT_EQ(panel.storedInt("presetCnt"), 0);

    for (const Step& step : settingSteps()) {
        SCOPED_TRACE(step.what);
        step.act(panel);
        ASSERT_EQ(machine->nextCommand(), commandLine(step.command)) << machine->transcript();
        if (step.effect) {
            step.effect(state);
            ASSERT_TRUE(mirrored(state)) << describe(panel.controller().mirroredState())
                                         << " instead of " << describe(state);
        }
    }
    EXPECT_TRUE(machine->saw([](const std::string& line) {
        return line == "model: clock=2025-03-05 09:03:07";
    })) << machine->transcript();

    // The keys: the count runs and shows, stops, and is recorded twice with
    // the machine's clock as set above.
    panel.click(ctl::kClear);
    EXPECT_EQ(machine->nextCommand(), commandLine("kavrin_clear"));
    panel.click(ctl::kStart);
    EXPECT_EQ(machine->nextCommand(), commandLine("kavrin_key:star"));
    ASSERT_TRUE(
        waitUntil([&] { return panel.controller().mirroredState().data >= 3; }, kReactionMs));
    EXPECT_EQ(panel.text(ctl::kData),
              QStringLiteral("data=%1").arg(panel.controller().mirroredState().data));
    panel.click(ctl::kStop);
    EXPECT_EQ(machine->nextCommand(), commandLine("kavrin_key:stop"));
    ASSERT_TRUE(machine->saw([](const std::string& line) { return line == "model: stopped"; }));
    panel.click(ctl::kPrint);
    EXPECT_EQ(machine->nextCommand(), commandLine("kavrin_key:print"));
    panel.click(ctl::kRewind);
    EXPECT_EQ(machine->nextCommand(), commandLine("kavrin_key:rewind"));
    const fs::path recordFile = panel.home / "kav20250305090307.csv";
    const std::string time = "time=2025-03-05 09:0[0-9]:[0-9][0-9]";
    const std::regex twoRecords(time + ",data=([0-9]+),S0=R1,S1=C0402,S2=LOT7" + time +
                                ",data=\\1,S0=R1,S1=C0402,S2=LOT7");
    EXPECT_TRUE(
        waitUntil([&] { return std::regex_match(readFile(recordFile), twoRecords); }, kReactionMs))
        << readFile(recordFile);
    panel.click(ctl::kClear);
    EXPECT_EQ(machine->nextCommand(), commandLine("kavrin_clear"));
    EXPECT_TRUE(waitUntil([&] { return panel.text(ctl::kData) == "data=0"; }, kReactionMs));

    EXPECT_EQ(describeStatus(machine->process().terminate()), "exit 0");
    if (GetParam() == Via::Serial) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(panel.portsDir() / "COM7")));
    }
}

INSTANTIATE_TEST_SUITE_P(Links, SimLink, testing::Values(Via::Udp, Via::Serial),
                         [](const testing::TestParamInfo<Via>& info) {
                             return info.param == Via::Udp ? "Udp" : "Serial";
                         });

}  // namespace
