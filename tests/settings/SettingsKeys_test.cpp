#include "settings/SettingsKeys.h"

#include "settings/SettingsStore.h"

#include "settings/SettingsFixture.h"

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

TEST(SettingsKeyNames, AreTheStoredNames) {
    const std::pair<const char*, const char*> names[] = {
        {keys::version, "version"},
        {keys::format, "format"},
        {keys::ssid, "ssid"},
        {keys::passwd, "passwd"},
        {keys::file, "file"},
        {keys::speed, "speed"},
        {keys::f2name, "f2name"},
        {keys::kavrin_speed3_1, "kavrin_speed3_1"},
        {keys::kavrin_speed3_2, "kavrin_speed3_2"},
        {keys::kavrin_speed3_3, "kavrin_speed3_3"},
        {keys::presetCnt, "presetCnt"},
        {keys::fPath, "fPath"},
        {keys::root, "root"},
    };
    for (const auto& [constant, name] : names) {
        EXPECT_STREQ(constant, name);
    }
}

class HomeEnvironment : public testing::Test {
  protected:
    void SetUp() override {
        if (const char* home = std::getenv("HOME")) {
            home_ = home;
        }
    }
    void TearDown() override {
        if (home_) {
            ::setenv("HOME", home_->c_str(), 1);
        } else {
            ::unsetenv("HOME");
        }
    }
    std::optional<std::string> home_;
};

TEST_F(HomeEnvironment, RecordFolderDefaultIsHomeWithOneTrailingSlash) {
    const std::pair<const char*, const char*> cases[] = {
        {"/home/op", "/home/op/"},
        {"/home/op/", "/home/op/"},
        {"/", "/"},
        {"/home/öp", "/home/öp/"},
    };
    for (const auto& [home, expected] : cases) {
        ::setenv("HOME", home, 1);
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
        EXPECT_EQ(store.ReadInt(keys::version, keyDefaults::version), 2024011912);
        EXPECT_EQ(store.ReadString(keys::format).toStdString(), defaultLabelTemplate());
        EXPECT_EQ(store.ReadString(keys::ssid), "default");
        EXPECT_EQ(store.ReadString(keys::passwd), "lantern");
        EXPECT_EQ(store.ReadString(keys::file), "kav");
        EXPECT_EQ(store.ReadInt(keys::speed, -1), 1);
        EXPECT_EQ(store.ReadInt(keys::f2name, -1), 0);
    }
};

TEST_F(FirstRunTest, EmptyStoreGetsTheSevenFirstRunValues) {
    std::string trace;
    EXPECT_TRUE(runRule(trace));
    EXPECT_EQ(trace, "D:[CTolvaneAppDlg::OnInitDialog,550]is first \r\n");

    const SettingsStore restarted(file_);
    expectFirstRunValues(restarted);
    EXPECT_EQ(restarted.ReadString(keys::kavrin_speed3_1, keyDefaults::kavrin_speed3_1), "15");
    EXPECT_EQ(restarted.ReadString(keys::kavrin_speed3_2, keyDefaults::kavrin_speed3_2), "30");
    EXPECT_EQ(restarted.ReadString(keys::kavrin_speed3_3, keyDefaults::kavrin_speed3_3), "45");
    EXPECT_EQ(restarted.ReadInt(keys::presetCnt, keyDefaults::presetCnt), 0);
    EXPECT_EQ(restarted.ReadString(keys::root, keyDefaults::root), "teal");

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
        store.WriteString(keys::ssid, "plant-7");
        store.WriteInt(keys::f2name, 1);
    }
    const std::string before = readBytes(file_);
    const ino_t inode = inodeOf(file_);

    std::string trace;
    EXPECT_FALSE(runRule(trace));
    EXPECT_EQ(trace, "");
    EXPECT_EQ(readBytes(file_), before);
    EXPECT_EQ(inodeOf(file_), inode);  // every write would replace the file
    const SettingsStore restarted(file_);
    EXPECT_EQ(restarted.ReadString(keys::ssid), "plant-7");
    EXPECT_EQ(restarted.ReadInt(keys::f2name, -1), 1);
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
                store.WriteInt(keys::version, *c.stamp);
            } else {
                store.WriteString(keys::version, c.stampText);
            }
            store.WriteString(keys::format, "N\r\nP1,1\r\n");
            store.WriteString(keys::ssid, "plant-7");
            store.WriteString(keys::passwd, "secret");
            store.WriteString(keys::file, "lot");
            store.WriteInt(keys::speed, 2);
            store.WriteInt(keys::f2name, 1);
            store.WriteInt(keys::presetCnt, -40);
            store.WriteString(keys::kavrin_speed3_1, "11");
            store.WriteString(keys::kavrin_speed3_2, "");
            store.WriteString(keys::kavrin_speed3_3, "99 ");
            store.WriteString(keys::fPath, "/data/records/");
            store.WriteString(keys::root, "blue");
        }

        std::string trace;
        EXPECT_TRUE(runRule(trace));
        EXPECT_EQ(trace, "D:[CTolvaneAppDlg::OnInitDialog,550]is first \r\n");

        const SettingsStore restarted(file_);
        expectFirstRunValues(restarted);
        EXPECT_EQ(restarted.ReadInt(keys::presetCnt, keyDefaults::presetCnt), -40);
        EXPECT_EQ(restarted.ReadString(keys::kavrin_speed3_1, keyDefaults::kavrin_speed3_1), "11");
        EXPECT_EQ(restarted.ReadString(keys::kavrin_speed3_2, keyDefaults::kavrin_speed3_2), "");
        EXPECT_EQ(restarted.ReadString(keys::kavrin_speed3_3, keyDefaults::kavrin_speed3_3), "99 ");
        EXPECT_EQ(restarted.ReadString(keys::fPath, homeFolderDefault()), "/data/records/");
        EXPECT_EQ(restarted.ReadString(keys::root, keyDefaults::root), "blue");
    }
}

}  // namespace
