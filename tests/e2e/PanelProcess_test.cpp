#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <ctime>
#include <memory>
#include <regex>
#include <thread>

#include "e2e/ChildProcess.h"
#include "e2e/FileWatch.h"
#include "e2e/PanelPort.h"
#include "support/MachineFrame.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Start-up of a debug build on a busy machine.
constexpr auto kStartLimit = 20s;

const char kDefaultTemplate[] =
    "N\r\nq514\r\nQ204,24\r\nJF\r\nD10\r\nS2\r\nO\r\nB205,194,2,1,1,3,55,B,\"@C\"\r\n"
    "A276,136,2,3,1,1,N,\"Q`TY:\"\r\nA486,194,2,3,1,3,N,\"@Y-@M-@D @H:@m\"\r\n"
    "B486,98,2,1,2,4,55,B,\"@S0\"\r\nP1,1\r\n";
static_assert(sizeof kDefaultTemplate - 1 == 161);

// The settings file after a first run: the first-run values, and the speed
// texts and preset count that the window writes back from its controls.
std::string settingsAfterFirstRun(const char* s1, const char* s2, const char* s3, int preset) {
    const QJsonObject section{{"version", 2024011912}, {"format", kDefaultTemplate},
                              {"ssid", "default"},     {"passwd", "lantern"},
                              {"file", "kav"},         {"speed", 1},
                              {"f2name", 0},           {"kavrin_speed3_1", s1},
                              {"kavrin_speed3_2", s2}, {"kavrin_speed3_3", s3},
                              {"presetCnt", preset}};
    return QJsonDocument(QJsonObject{{"TolvaneApp", section}}).toJson().toStdString();
}

// The file as the same canonical JSON text, or why it is not JSON.
std::string settingsText(const fs::path& file) {
    if (!fs::exists(file)) {
        return "<no settings file>";
    }
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(readFile(file)), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return "<not a JSON object: " + error.errorString().toStdString() + ">";
    }
    return document.toJson().toStdString();
}

std::string utcStamp(std::time_t when) {
    std::tm fields{};
    gmtime_r(&when, &fields);
    char text[16] = "";
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &fields);
    return text;
}

unsigned modeOf(const fs::path& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Panels started as an operator starts them: their own process, the window on
// the offscreen platform, a fresh home, the trace on stdout going to a file.
class PanelProcess : public testing::Test {
  protected:
    PanelProcess() { fs::create_directory(home); }

    // On a shared machine another panel may hold the port for a while.
    void SetUp() override {
        ASSERT_TRUE(waitForPanelPort()) << "another program holds UDP port 39451";
    }

    std::unique_ptr<ChildProcess> startPanel(const std::string& name) {
        return std::make_unique<ChildProcess>(
            SpawnOptions{{TOLVANE_APP_PATH},
                         {"QT_QPA_PLATFORM=offscreen", "HOME=" + home.string(),
                          "XDG_CONFIG_HOME=" + config.string(), "TZ=UTC"},
                         root / (name + ".out"),
                         root / (name + ".err")});
    }

    std::unique_ptr<ChildProcess> startMachine(const std::string& name, const std::string& script) {
        const fs::path file = root / (name + ".script");
        writeFile(file, script);
        return std::make_unique<ChildProcess>(
            SpawnOptions{{TOLVANE_SIM_PATH, "--udp", "127.0.0.1:39451", "--script", file.string(),
                          "--exit-after", "60000"},
                         {},
                         root / (name + ".out"),
                         root / (name + ".err")});
    }

    std::string output(const std::string& name) const { return readFile(root / name); }
    bool traceHas(const std::string& panel, const std::string& text) const {
        return output(panel + ".out").find(text) != std::string::npos;
    }
    std::string traces(std::initializer_list<const char*> panels) const {
        std::string all;
        for (const char* panel : panels) {
            all += std::string("--- ") + panel + " stdout:\n" +
                   output(panel + std::string(".out")) + "--- stderr:\n" +
                   output(panel + std::string(".err"));
        }
        return all;
    }

    std::vector<std::string> recordFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(home)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("kav") && name.ends_with(".csv")) {
                names.push_back(name);
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string records() const {
        std::string all;
        for (const auto& name : recordFiles()) {
            all += readFile(home / name);
        }
        return all;
    }

    TempDir root;
    const fs::path home = root / "home";
    const fs::path config = home / ".config";
    const fs::path settingsDir = config / "Tolvane";
    const fs::path settingsFile = settingsDir / "TolvaneApp.json";
    FileWatch watch{{root.path(), home, config, settingsDir}};
};

TEST_F(PanelProcess, FirstRunMirrorsTheMachineAndAppendsItsRecord) {
    auto panel = startPanel("panel");
    ASSERT_TRUE(watch.waitUntil(
        [&] { return traceHas("panel", "D:[tmTimeTask,825]enter time thread!\r\n"); }, kStartLimit,
        {panel->exitFd()}))
        << traces({"panel"});

    // The panel may not be listening yet, so the state is sent until it shows.
    std::string stateScript;
    for (auto sent = 0ms; sent < kStartLimit; sent += 100ms) {
        stateScript += frameText({0, 1, 8, 2, 11, 22, 33, -5, 1}) + "\nsleep 100\n";
    }
    auto machine = startMachine("state", stateScript);
    const std::string mirrored = settingsAfterFirstRun("11", "22", "33", -5);
    ASSERT_TRUE(watch.waitUntil([&] { return settingsText(settingsFile) == mirrored; }, kStartLimit,
                                {panel->exitFd()}))
        << settingsText(settingsFile) << traces({"panel"});
    // The mirror changed the window's speeds and preset without sending them
    // back: a command, sent or not, is traced before the setting is stored.
    for (const char* echo : {"kavrin_speed3:11", "kavrin_preset:cnt,-5"}) {
        EXPECT_FALSE(traceHas("panel", echo)) << traces({"panel"});
    }
    EXPECT_EQ(describeStatus(machine->terminate()), "exit 0");
    EXPECT_EQ(output("state.out").find("cmd["), std::string::npos) << output("state.out");

    const std::time_t before = std::time(nullptr);
    auto recorder = startMachine(
        "record",
        frameText({3, 1, 8, 2, 11, 22, 33, -5, 1}, ",pt:2025-03-05 09:03:07,{R1}{C0402}") + "\n");
    EXPECT_EQ(describeStatus(recorder->waitExit(kStartLimit)), "exit 0");
    EXPECT_NE(output("record.out").find("\nscript done 1\n"), std::string::npos)
        << output("record.out") << output("record.err");
    const std::string record = "time=2025-03-05 09:03:07,data=3,S0=R1,S1=C0402";
    ASSERT_TRUE(
        watch.waitUntil([&] { return records() == record; }, kStartLimit, {panel->exitFd()}))
        << records() << traces({"panel"});
    const std::time_t after = std::time(nullptr);

    // One file, named by the second of arrival in the panel's local time.
    const auto names = recordFiles();
    ASSERT_EQ(names.size(), 1u);
    ASSERT_TRUE(std::regex_match(names[0], std::regex("kav[0-9]{14}\\.csv"))) << names[0];
    EXPECT_LE(utcStamp(before), names[0].substr(3, 14));
    EXPECT_GE(utcStamp(after), names[0].substr(3, 14));

    EXPECT_NE(output("panel.out").find("D:[CTolvaneAppDlg::OnInitDialog,550]is first \r\n"),
              std::string::npos);
    EXPECT_EQ(modeOf(settingsFile), 0600u);
    EXPECT_EQ(modeOf(settingsDir), 0700u);

    // SIGTERM closes the window as the operator does: a normal end, everything written.
    EXPECT_EQ(describeStatus(panel->terminate()), "exit 0") << traces({"panel"});
    EXPECT_EQ(settingsText(settingsFile), mirrored);
    EXPECT_EQ(records(), record);
}

TEST_F(PanelProcess, TwoPanelsStartedAtOnceShareTheSettingsAndOneWaitsForThePort) {
    auto first = startPanel("first");
    auto second = startPanel("second");
    const std::string busy = "bind udp port 39451 failed";
    ASSERT_TRUE(watch.waitUntil([&] { return traceHas("first", busy) || traceHas("second", busy); },
                                kStartLimit, {first->exitFd(), second->exitFd()}))
        << traces({"first", "second"});
    // Which one binds first is the system's choice; exactly one of them does.
    EXPECT_NE(traceHas("first", busy), traceHas("second", busy)) << traces({"first", "second"});

    // Neither gives up: the one without the port keeps running and retrying.
    EXPECT_EQ(describeStatus(first->waitExit(1s)), "still running") << traces({"first"});
    EXPECT_EQ(describeStatus(second->waitExit(0ms)), "still running") << traces({"second"});

    EXPECT_EQ(describeStatus(first->terminate()), "exit 0");
    EXPECT_EQ(describeStatus(second->terminate()), "exit 0");
    EXPECT_EQ(settingsText(settingsFile), settingsAfterFirstRun("15", "30", "45", 0));
    EXPECT_EQ(modeOf(settingsFile), 0600u);
    // Neither found the other's file half written, nor failed to save.
    for (const auto& entry : fs::directory_iterator(settingsDir)) {
        EXPECT_EQ(entry.path().filename().string().find("corrupt"), std::string::npos);
    }
    EXPECT_FALSE(traceHas("first", "SettingsStore::")) << traces({"first"});
    EXPECT_FALSE(traceHas("second", "SettingsStore::")) << traces({"second"});
}

// Under a file size limit smaller than the settings a first run writes, the
// panel starts and runs: the settings write fails and is traced, no temporary
// file is left, and a frame that changes stored values does not end it either.
TEST_F(PanelProcess, AFileSizeLimitNeverEndsThePanel) {
    // The limit would also cut the trace file short, so the panel writes its
    // trace to a pipe whose other end, outside the limit, fills panel.out.
    // Both exec: the child's process is the panel itself.
    auto panel = std::make_unique<ChildProcess>(SpawnOptions{
        {"/bin/bash", "-c", "exec /usr/bin/prlimit --fsize=300 \"$0\" > >(exec cat > \"$1\")",
         TOLVANE_APP_PATH, (root / "panel.out").string()},
        {"QT_QPA_PLATFORM=offscreen", "HOME=" + home.string(), "XDG_CONFIG_HOME=" + config.string(),
         "TZ=UTC"},
        "/dev/null",
        root / "panel.err"});
    const std::string failed =
        "D:[SettingsStore::save,1]settings file " + settingsFile.string() + " not saved (write ";
    ASSERT_TRUE(
        watch.waitUntil([&] { return traceHas("panel", failed); }, kStartLimit, {panel->exitFd()}))
        << traces({"panel"});
    EXPECT_TRUE(traceHas("panel", "File too large)")) << traces({"panel"});

    // The settings write is traced before the panel listens, so the record is
    // sent until one arrives; each that arrives is appended.
    std::string recordScript;
    for (auto sent = 0ms; sent < kStartLimit; sent += 100ms) {
        recordScript += frameText({0, 1, 8, 2, 11, 22, 33, -5, 1}, ",pt:T,{a}") + "\nsleep 100\n";
    }
    auto machine = startMachine("record", recordScript);
    ASSERT_TRUE(watch.waitUntil([&] { return !records().empty(); }, kStartLimit, {panel->exitFd()}))
        << traces({"panel"});
    EXPECT_EQ(describeStatus(machine->terminate()), "exit 0");
    const std::string written = records();
    const std::string record = "time=T,data=0,S0=a";
    ASSERT_EQ(written.size() % record.size(), 0u) << written;
    for (std::size_t at = 0; at < written.size(); at += record.size()) {
        EXPECT_EQ(written.substr(at, record.size()), record) << written;
    }
    EXPECT_EQ(describeStatus(panel->waitExit(500ms)), "still running") << traces({"panel"});
    for (const auto& entry : fs::directory_iterator(settingsDir)) {
        EXPECT_EQ(entry.path().filename().string().rfind(".TolvaneApp.json.", 0), std::string::npos)
            << "temporary file left: " << entry.path();
    }
    EXPECT_TRUE(panel->terminate().has_value());
}

}  // namespace
