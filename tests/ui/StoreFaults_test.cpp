// The panel starts and runs whatever state its settings file or record
// folder is in, and loses nothing it could have kept.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "settings/SettingsTable.h"
#include "support/InboundPanel.h"
#include "support/MachineFrame.h"
#include "ui/LinkStatusBar.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> setAside(const fs::path& folder) {
    std::vector<fs::path> kept;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().find(".corrupt-") != std::string::npos) {
            kept.push_back(entry.path());
        }
    }
    return kept;
}

TEST(StoreFaults, DamagedSettingsAreKeptAsideAndThePanelStartsWithDefaults) {
    for (const std::string& damaged :
         {std::string("{\"TolvaneApp\": {\"ssid\": \"lab\""), std::string("\x00\xff garbage", 10),
          std::string("[1,2,3]"), std::string("{\"TolvaneApp\": \"ssid\"}")}) {
        PanelHarness panel;
        fs::create_directories(panel.settingsFile().parent_path());
        writeFile(panel.settingsFile(), damaged);
        testing::internal::CaptureStdout();
        panel.open();
        const std::string trace = testing::internal::GetCapturedStdout();
        EXPECT_NE(trace.find("D:[SettingsStore::load,1]"), std::string::npos);
        EXPECT_NE(trace.find("is first "), std::string::npos);
        EXPECT_EQ(panel.text(ctl::kSsid), "default");
        const std::vector<fs::path> kept = setAside(panel.settingsFile().parent_path());
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_EQ(readFile(kept.front()), damaged);
        panel.close();
        EXPECT_EQ(panel.storedString(setting::wifiName), "default");
    }
}

TEST(StoreFaults, WrongTypesReadAsDefaults) {
    PanelHarness panel;
    fs::create_directories(panel.settingsFile().parent_path());
    writeFile(panel.settingsFile(),
              "{\"TolvaneApp\": {\"version\": 2024011912, \"presetCnt\": \"-7\", \"speed\": 2.5,"
              " \"kavrin_speed3_1\": 99, \"file\": null}}");
    panel.open();
    EXPECT_EQ(panel.text(ctl::kPresetCount), "0");
    EXPECT_EQ(panel.selection(ctl::kSpeedStep), 1);
    EXPECT_EQ(panel.text(ctl::kSpeed1), "15");
    EXPECT_EQ(panel.text(ctl::kFileName), "");
}

TEST(StoreFaults, AStoreThatCannotBeWrittenLeavesThePanelRunning) {
    PanelHarness panel;
    // A file where the settings folder should be: nothing can be created there.
    writeFile(panel.home / "Tolvane", "not a folder");
    testing::internal::CaptureStdout();
    panel.open();
    panel.type(ctl::kSpeed1, "20");
    panel.settleWrites();
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_NE(trace.find("D:[SettingsStore::save,1]"), std::string::npos);
    EXPECT_EQ(panel.text(ctl::kSpeed1), "20");
    EXPECT_EQ(readFile(panel.home / "Tolvane"), "not a folder");
}

// Told on the status line from the failed write on, until a write succeeds.
TEST(StoreFaults, SettingsThatDoNotReachTheirFileAreToldUntilAWriteSucceeds) {
    PanelHarness panel;
    panel.open();
    const auto statusLine = [&] {
        return panel.window().findChild<LinkStatusBar*>()->line().text.toStdString();
    };
    const std::string told = "settings NOT saved: ";
    EXPECT_EQ(statusLine().find(told), std::string::npos) << statusLine();

    panel.setSync([](int, SyncKind) { return EIO; });
    panel.type(ctl::kSpeed1, "20");
    panel.settleWrites();
    EXPECT_NE(statusLine().find(told), std::string::npos) << statusLine();
    panel.type(ctl::kSpeed2, "40");
    panel.settleWrites();
    EXPECT_NE(statusLine().find(told), std::string::npos) << statusLine();

    panel.setSync({});
    panel.type(ctl::kSpeed1, "21");
    panel.settleWrites();
    EXPECT_EQ(statusLine().find(told), std::string::npos) << statusLine();
    EXPECT_EQ(panel.storedString(setting::speedValue1), "21");
    EXPECT_EQ(panel.storedString(setting::speedValue2), "40");
}

class RecordFolderFaults : public InboundPanel {};

TEST_F(RecordFolderFaults, RecordsResumeWhenARemovedFolderIsBack) {
    const std::string record = countFrame(1, ",pt:T,{a}");
    ASSERT_TRUE(receive(record));
    fs::remove_all(records.path());
    testing::internal::CaptureStdout();
    panel.now += 1;
    ASSERT_TRUE(receive(record));
    panel.now += 1;
    ASSERT_TRUE(receive(record));
    const std::string trace = testing::internal::GetCapturedStdout();
    std::size_t failures = 0;
    for (std::size_t at = trace.find("D:[CTolvaneAppDlg::tmSaveRecord,"); at != std::string::npos;
         at = trace.find("D:[CTolvaneAppDlg::tmSaveRecord,", at + 1)) {
        ++failures;
    }
    EXPECT_EQ(failures, 2u) << trace;

    fs::create_directories(records.path());
    panel.now += 1;
    ASSERT_TRUE(receive(record));
    EXPECT_EQ(recordFiles(), std::vector<std::string>{"kav20250305090310.csv"});
}

}  // namespace
