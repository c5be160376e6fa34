#include "settings/SettingsRules.h"
#include "settings/SettingsTable.h"

#include "settings/SettingsStore.h"

#include "settings/SettingsFixture.h"
#include "support/ScopedEnv.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const char* const kTemplateLines[] = {
    "N",
    "q514",
    "Q204,24",
    "JF",
    "D10",
    "S2",
    "O",
    "B205,194,2,1,1,3,55,B,\"@C\"",
    "A276,136,2,3,1,1,N,\"Q`TY:\"",
    "A486,194,2,3,1,3,N,\"@Y-@M-@D @H:@m\"",
    "B486,98,2,1,2,4,55,B,\"@S0\"",
    "P1,1",
};

TEST(DefaultLabelTemplate, IsTwelveCrLfLinesOf161AsciiCharacters) {
    const std::string text = defaultLabelTemplate();
    EXPECT_EQ(text.size(), 161u);
    std::string expected;
    for (const char* line : kTemplateLines) {
        expected += line;
        expected += "\r\n";
    }
    EXPECT_EQ(text, expected);
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
    for (char c : text) {
        EXPECT_LT(static_cast<unsigned char>(c), 0x80);
    }
    EXPECT_NE(text.find("Q\x60TY:"), std::string::npos);
}

// The file's key names, types, defaults and first-run values: what older
// files hold and other programs read.
TEST(SettingsTable, HoldsTheFileKeysTheirTypesDefaultsAndFirstRunValues) {
    struct Row {
        const char* name;
        bool integer;
        const char* readDefault;  // as text
        const char* firstRun;     // null: a first run leaves it
    };
    const Row expected[] = {
        {"version", true, "0", "2024011912"},
        {"format", false, "", kDefaultLabelTemplate},
        {"ssid", false, "", "default"},
        {"passwd", false, "", "lantern"},
        {"file", false, "", "kav"},
        {"speed", true, "1", "1"},
        {"f2name", true, "1", "0"},
        {"kavrin_speed3_1", false, "15", nullptr},
        {"kavrin_speed3_2", false, "30", nullptr},
        {"kavrin_speed3_3", false, "45", nullptr},
        {"presetCnt", true, "0", nullptr},
        {"fPath", false, "<home>/", nullptr},
        {"root", false, "teal", nullptr},
        {"labelSamples", false, "", nullptr},
        {"mqttHost", false, "", nullptr},
        {"mqttPort", true, "1883", nullptr},
        {"mqttTls", true, "0", nullptr},
        {"mqttCaFile", false, "", nullptr},
        {"mqttCertFile", false, "", nullptr},
        {"mqttKeyFile", false, "", nullptr},
        {"mqttUser", false, "", nullptr},
        {"mqttPassword", false, "", nullptr},
        {"mqttStation", false, "", nullptr},
        {"mqttPrefix", false, "tolvane", nullptr},
    };
    ASSERT_EQ(kSettingsTable.size(), std::size(expected));
    for (std::size_t i = 0; i < kSettingsTable.size(); ++i) {
        const SettingRow& row = kSettingsTable[i];
        const Row& want = expected[i];
        SCOPED_TRACE(want.name);
        EXPECT_STREQ(row.name(), want.name);
        ASSERT_EQ(row.integer != nullptr, want.integer);
        EXPECT_EQ(row.hasFirstRunValue(), want.firstRun != nullptr);
        if (row.integer != nullptr) {
            EXPECT_EQ(std::to_string(row.integer->readDefault), want.readDefault);
            if (want.firstRun != nullptr) {
                EXPECT_EQ(std::to_string(*row.integer->firstRun), want.firstRun);
            }
        } else if (row.text->readDefaultNow != nullptr) {
            EXPECT_EQ(textDefault(*row.text), homeFolderDefault());
            EXPECT_STREQ(want.readDefault, "<home>/");
        } else {
            EXPECT_EQ(textDefault(*row.text), QString::fromUtf8(want.readDefault));
            if (want.firstRun != nullptr) {
                EXPECT_STREQ(row.text->firstRun, want.firstRun);
            }
        }
        ASSERT_TRUE(settingNamed(want.name).has_value());
        EXPECT_STREQ(settingNamed(want.name)->name(), want.name);
    }
    EXPECT_FALSE(settingNamed("Version").has_value());
}

TEST(HomeEnvironment, RecordFolderDefaultIsHomeWithOneTrailingSlash) {
    const std::pair<const char*, const char*> cases[] = {
        {"/home/op", "/home/op/"},
        {"/home/op/", "/home/op/"},
        {"/", "/"},
        {"/home/öp", "/home/öp/"},
    };
    for (const auto& [home, expected] : cases) {
        const ScopedEnv homeIs("HOME", home);
        EXPECT_EQ(homeFolderDefault(), QString::fromUtf8(expected)) << home;
    }
}

ino_t inodeOf(const fs::path& file) {
    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0);
    return st.st_ino;
}

using settingstest::readBytes;

class FirstRunTest : public settingstest::SettingsStoreTest {
  protected:
    // Runs the rule on a store opened from the file, as start-up does.
    bool runRule(std::string& trace) {
        SettingsStore store(file_);
        testing::internal::CaptureStdout();
        const bool wrote = applyFirstRunRule(store);
        trace = testing::internal::GetCapturedStdout();
        return wrote;
    }

    void expectFirstRunValues(const SettingsStore& store) {
        EXPECT_EQ(store.intValue(setting::firstRunStamp), 2024011912);
        EXPECT_EQ(store.text(setting::labelTemplate).toStdString(), defaultLabelTemplate());
        EXPECT_EQ(store.text(setting::wifiName), "default");
        EXPECT_EQ(store.text(setting::wifiPassword), "lantern");
        EXPECT_EQ(store.text(setting::recordFileName), "kav");
        EXPECT_EQ(store.intValue({setting::speedStep.name, -1}), 1);
        EXPECT_EQ(store.intValue({setting::recordFormat.name, -1}), 0);
    }
};

TEST_F(FirstRunTest, EmptyStoreGetsTheSevenFirstRunValues) {
    std::string trace;
    EXPECT_TRUE(runRule(trace));
    EXPECT_EQ(trace, "D:[CTolvaneAppDlg::OnInitDialog,550]is first \r\n");

    const SettingsStore restarted(file_);
    expectFirstRunValues(restarted);
    EXPECT_EQ(restarted.text(setting::speedValue1), "15");
    EXPECT_EQ(restarted.text(setting::speedValue2), "30");
    EXPECT_EQ(restarted.text(setting::speedValue3), "45");
    EXPECT_EQ(restarted.intValue(setting::presetCount), 0);
    EXPECT_EQ(restarted.text(setting::panelPassword), "teal");

    const QJsonObject section = QJsonDocument::fromJson(QByteArray::fromStdString(readBytes(file_)))
                                    .object()
                                    .value("TolvaneApp")
                                    .toObject();
    EXPECT_THAT(section.keys(), testing::UnorderedElementsAre("version", "format", "ssid", "passwd",
                                                              "file", "speed", "f2name"));
}

TEST_F(FirstRunTest, CurrentStoreIsLeftAsItIs) {
    {
        SettingsStore store(file_);
        applyFirstRunRule(store);
        store.setText(setting::wifiName, "plant-7");
        store.setInt(setting::recordFormat, 1);
    }
    const std::string before = readBytes(file_);
    const ino_t inode = inodeOf(file_);

    std::string trace;
    EXPECT_FALSE(runRule(trace));
    EXPECT_EQ(trace, "");
    EXPECT_EQ(readBytes(file_), before);
    EXPECT_EQ(inodeOf(file_), inode);  // every write would replace the file
    const SettingsStore restarted(file_);
    EXPECT_EQ(restarted.text(setting::wifiName), "plant-7");
    EXPECT_EQ(restarted.intValue({setting::recordFormat.name, -1}), 1);
}

TEST_F(FirstRunTest, OtherStampResetsTheSevenAndKeepsTheRest) {
    struct Case {
        const char* name;
        std::optional<int> stamp;
        const char* stampText = nullptr;  // version stored as text
    };
    const Case cases[] = {
        {"older stamp", kFirstRunStamp - 1},
        {"newer stamp", kFirstRunStamp + 1},
        {"zero", 0},
        {"stamp stored as text", {}, "2024011912"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir_ / "Tolvane");
        {
            SettingsStore store(file_);
            if (c.stamp) {
                store.setInt(setting::firstRunStamp, *c.stamp);
            } else {
                store.setText(TextSetting{setting::firstRunStamp.name}, c.stampText);
            }
            store.setText(setting::labelTemplate, "N\r\nP1,1\r\n");
            store.setText(setting::wifiName, "plant-7");
            store.setText(setting::wifiPassword, "secret");
            store.setText(setting::recordFileName, "lot");
            store.setInt(setting::speedStep, 2);
            store.setInt(setting::recordFormat, 1);
            store.setInt(setting::presetCount, -40);
            store.setText(setting::speedValue1, "11");
            store.setText(setting::speedValue2, "");
            store.setText(setting::speedValue3, "99 ");
            store.setText(setting::recordFolder, "/data/records/");
            store.setText(setting::panelPassword, "blue");
        }

        std::string trace;
        EXPECT_TRUE(runRule(trace));
        // The file as it was is kept first (SettingsFaults_test.cpp).
        EXPECT_THAT(trace, testing::StartsWith("D:[CTolvaneAppDlg::OnInitDialog,550]is first \r\n"
                                               "D:[SettingsStore::firstRun,1]"));

        const SettingsStore restarted(file_);
        expectFirstRunValues(restarted);
        EXPECT_EQ(restarted.intValue(setting::presetCount), -40);
        EXPECT_EQ(restarted.text(setting::speedValue1), "11");
        EXPECT_EQ(restarted.text(setting::speedValue2), "");
        EXPECT_EQ(restarted.text(setting::speedValue3), "99 ");
        EXPECT_EQ(restarted.text(setting::recordFolder), "/data/records/");
        EXPECT_EQ(restarted.text(setting::panelPassword), "blue");
    }
}

}  // namespace
