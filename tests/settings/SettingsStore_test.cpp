#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"

#include "settings/SettingsFixture.h"
#include "support/ScopedEnv.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using namespace settingstest;
using testing::ContainsRegex;
using testing::MatchesRegex;

namespace {

TEST_F(SettingsStoreTest, StringsRoundTripUnchangedAcrossRestart) {
    const std::vector<QString> texts = {
        QString(),
        QStringLiteral("kav"),
        QStringLiteral("  padded \t"),
        QStringLiteral("N\r\nB205,194,2,1,1,3,55,B,\"@C\"\r\nA276,136,2,3,1,1,N,\"Q`TY:\"\r\n"),
        QStringLiteral("quote \" backslash \\ slash /"),
        QString::fromUtf8("无线网络 ünïcödé 😀"),
    };
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        {
            SettingsStore store(file_);
            store.setText(setting::wifiName, text);
            EXPECT_EQ(store.text({"ssid", "absent"}), text);
        }
        SettingsStore restarted(file_);
        EXPECT_EQ(restarted.text({"ssid", "absent"}), text);
    }
}

TEST_F(SettingsStoreTest, IntegersRoundTripSignedAcrossRestart) {
    for (int value : {-40, 0, 1, INT_MIN, INT_MAX, 2024011912}) {
        SCOPED_TRACE(value);
        {
            SettingsStore store(file_);
            store.setInt(setting::presetCount, value);
            EXPECT_EQ(store.intValue({"presetCnt", 12345}), value);
        }
        SettingsStore restarted(file_);
        EXPECT_EQ(restarted.intValue({"presetCnt", 12345}), value);
        EXPECT_EQ(sectionInFile(file_).value("presetCnt").toInteger(), value);
    }
}

TEST_F(SettingsStoreTest, AbsentKeysReadTheirDefaultsButAnEmptyTextIsPresent) {
    SettingsStore store(file_);
    EXPECT_EQ(store.intValue({"speed", 1}), 1);
    EXPECT_EQ(store.text({"root", "teal"}), "teal");
    EXPECT_TRUE(store.text(setting::wifiName).isEmpty());

    store.setText(setting::panelPassword, QString());
    EXPECT_EQ(store.text({"root", "teal"}), "");
    EXPECT_EQ(SettingsStore(file_).text({"root", "teal"}), "");
}

TEST_F(SettingsStoreTest, IntegerAndStringKeepTheirTypes) {
    {
        SettingsStore store(file_);
        store.setInt(setting::speedStep, 2);
        store.setText(setting::speedValue1, "15");
        EXPECT_EQ(store.text({"speed", "dflt"}), "dflt");
        EXPECT_EQ(store.intValue({"kavrin_speed3_1", -7}), -7);
    }
    SettingsStore restarted(file_);
    EXPECT_EQ(restarted.intValue({"speed", 0}), 2);
    EXPECT_EQ(restarted.text({"speed", "dflt"}), "dflt");
    EXPECT_EQ(restarted.text({"kavrin_speed3_1"}), "15");
    EXPECT_EQ(restarted.intValue({"kavrin_speed3_1", -7}), -7);

    const QJsonObject section = sectionInFile(file_);
    EXPECT_TRUE(section.value("speed").isDouble());
    EXPECT_TRUE(section.value("kavrin_speed3_1").isString());
}

TEST_F(SettingsStoreTest, ValuesOfAnotherTypeInTheFileReadAsTheDefault) {
    writeBytes(file_, R"({"TolvaneApp": {
        "int": 12, "min": -2147483648, "max": 2147483647, "whole": 3.0,
        "text": "12", "empty": "", "bool": true, "fraction": 1.5, "array": [1],
        "object": {"a": 1}, "null": null, "big": 2147483648, "small": -2147483649,
        "huge": 1e300}})");
    struct Case {
        const char* key;
        std::optional<int> asInt;
        std::optional<QString> asString;
    };
    const Case cases[] = {
        {"int", 12, {}},    {"min", INT_MIN, {}}, {"max", INT_MAX, {}}, {"whole", 3, {}},
        {"text", {}, "12"}, {"empty", {}, ""},    {"bool", {}, {}},     {"fraction", {}, {}},
        {"array", {}, {}},  {"object", {}, {}},   {"null", {}, {}},     {"big", {}, {}},
        {"small", {}, {}},  {"huge", {}, {}},     {"missing", {}, {}},
    };
    SettingsStore store(file_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(store.intValue({c.key, -99}), c.asInt.value_or(-99));
        EXPECT_EQ(store.text({c.key, "dflt"}), c.asString.value_or("dflt"));
    }
}

TEST_F(SettingsStoreTest, WritesKeepMembersTheProgramDoesNotKnow) {
    writeBytes(file_, R"({"Other": [1, 2], "TolvaneApp": {"later": "kept", "ssid": "old"}})");
    {
        SettingsStore store(file_);
        store.setText(setting::wifiName, "new");
    }
    const QJsonObject top =
        QJsonDocument::fromJson(QByteArray::fromStdString(readBytes(file_))).object();
    EXPECT_EQ(top.value("Other").toArray().size(), 2);
    EXPECT_EQ(top.value("TolvaneApp").toObject().value("later").toString(), "kept");
    EXPECT_EQ(top.value("TolvaneApp").toObject().value("ssid").toString(), "new");
}

TEST_F(SettingsStoreTest, EveryWriteReplacesTheWholeFileAndLeavesNoTemporaryFiles) {
    SettingsStore store(file_);
    store.setText(setting::labelTemplate, "first");
    // A reader that opened the file before a write keeps the complete old file:
    // the file is replaced, never rewritten in place.
    std::ifstream earlyReader(file_, std::ios::binary);

    QString typed;
    for (int i = 0; i < 300; ++i) {
        typed += QChar(u'a' + i % 26);
        store.setText(setting::labelTemplate, typed);
        store.setInt(setting::presetCount, -i);
    }
    std::ostringstream old;
    old << earlyReader.rdbuf();
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(old.str()))
                  .object()
                  .value("TolvaneApp")
                  .toObject()
                  .value("format")
                  .toString(),
              "first");

    const QJsonObject section = sectionInFile(file_);
    EXPECT_EQ(section.value("format").toString(), typed);
    EXPECT_EQ(section.value("presetCnt").toInt(), -299);
    EXPECT_THAT(namesIn(folder_), testing::ElementsAre("TolvaneApp.json"));
}

TEST_F(SettingsStoreTest, MissingFileIsAnEmptyStoreWithoutTrace) {
    testing::internal::CaptureStdout();
    SettingsStore store(file_);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(store.intValue({"version", 0}), 0);
    EXPECT_EQ(store.path(), file_);
    EXPECT_TRUE(namesIn(folder_).empty());
}

// A damaged file is moved aside with its bytes untouched; the store starts empty
// and later writes make a fresh file.
TEST_F(SettingsStoreTest, DamagedFileIsKeptAsideAndTheStoreStartsEmpty) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"not JSON", "version=2024011912\n"},
        {"truncated", R"({"TolvaneApp": {"version": 2024011912, "ssid": "def)"},
        {"empty file", ""},
        {"top level array", R"([{"TolvaneApp": {"version": 2024011912}}])"},
        {"section is a string", R"({"TolvaneApp": "version=2024011912"})"},
        {"trailing garbage", R"({"TolvaneApp": {"version": 2024011912}} x)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder_);
        fs::create_directory(folder_);
        writeBytes(file_, c.bytes);

        testing::internal::CaptureStdout();
        SettingsStore store(file_);
        const std::string trace = testing::internal::GetCapturedStdout();

        EXPECT_THAT(trace,
                    MatchesRegex("D:\\[SettingsStore::load,1\\]settings file " +
                                 literal(file_.string()) + " unreadable \\(.+\\), kept as " +
                                 literal(file_.string()) + "\\.corrupt-[0-9]{8}-[0-9]{6}\r\n"));
        const fs::path aside = trace.substr(trace.find(" kept as ") + 9, std::string::npos);
        const fs::path asideName = aside.string().substr(0, aside.string().size() - 2);
        EXPECT_EQ(readBytes(asideName), c.bytes);
        EXPECT_FALSE(fs::exists(file_));
        EXPECT_EQ(store.intValue({"version", 0}), 0);

        store.setInt(setting::firstRunStamp, 7);
        EXPECT_EQ(SettingsStore(file_).intValue({"version", 0}), 7);
        EXPECT_EQ(readBytes(asideName), c.bytes);
    }
}

TEST_F(SettingsStoreTest, DamagedFilesInARowAreAllKept) {
    for (const char* bytes : {"first {", "second {", "third {"}) {
        writeBytes(file_, bytes);
        testing::internal::CaptureStdout();
        SettingsStore store(file_);
        testing::internal::GetCapturedStdout();
    }
    std::vector<std::string> kept;
    for (const std::string& name : namesIn(folder_)) {
        EXPECT_THAT(name, MatchesRegex("TolvaneApp\\.json\\.corrupt-[0-9]{8}-[0-9]{6}(-[0-9]+)?"));
        kept.push_back(readBytes(folder_ / name));
    }
    std::sort(kept.begin(), kept.end());
    EXPECT_THAT(kept, testing::ElementsAre("first {", "second {", "third {"));
}

// When the damaged file cannot be moved aside (here its aside name would be too
// long for the file system), it must survive every later write.
TEST_F(SettingsStoreTest, DamagedFileThatCannotBeMovedAsideIsNeverOverwritten) {
    const fs::path file = folder_ / (std::string(240, 's') + ".json");
    writeBytes(file, "{ damaged");

    testing::internal::CaptureStdout();
    SettingsStore store(file);
    store.setText(setting::wifiName, "net");
    const std::string trace = testing::internal::GetCapturedStdout();

    EXPECT_THAT(trace, ContainsRegex("D:\\[SettingsStore::load,2\\]settings file .* unreadable "
                                     "\\(.+\\), cannot keep it aside \\(File name too long\\)"));
    EXPECT_THAT(trace, ContainsRegex("D:\\[SettingsStore::save,2\\]settings file .* not saved"));
    EXPECT_EQ(readBytes(file), "{ damaged");
    EXPECT_EQ(store.text(setting::wifiName), "net");
    EXPECT_EQ(namesIn(folder_).size(), 1u);
}

TEST_F(SettingsStoreTest, UnwritableStoreTracesAndKeepsTheValueForThisRun) {
    struct Case {
        const char* name;
        fs::path file;
        std::string cause;  // the end of the reason
    };
    writeBytes(dir_ / "plain", "not a folder");
    const Case cases[] = {
        {"folder is a regular file", dir_ / "plain" / "TolvaneApp.json", ": Not a directory"},
        {"folder cannot be created", dir_ / "plain" / "Tolvane" / "TolvaneApp.json",
         ": Not a directory"},
        {"folder appears in the file's place", file_, " is a folder, not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsStore store(c.file);
        if (c.file == file_) {
            fs::create_directory(file_);
            writeBytes(file_ / "inside", "kept");
        }
        testing::internal::CaptureStdout();
        EXPECT_NO_THROW(store.setInt(setting::presetCount, -40));
        EXPECT_NO_THROW(store.setText(setting::wifiName, "net"));
        const std::string trace = testing::internal::GetCapturedStdout();

        EXPECT_THAT(trace, MatchesRegex("(D:\\[SettingsStore::save,1\\]settings file " +
                                        literal(c.file.string()) + " not saved \\(.*" + c.cause +
                                        "\\)\r\n){2}"));
        EXPECT_EQ(store.intValue({"presetCnt", 0}), -40);
        EXPECT_EQ(store.text(setting::wifiName), "net");
    }
    EXPECT_EQ(readBytes(dir_ / "plain"), "not a folder");
    EXPECT_EQ(readBytes(file_ / "inside"), "kept");
    EXPECT_THAT(namesIn(folder_), testing::ElementsAre("TolvaneApp.json"));
}

class SettingsModesTest : public SettingsStoreTest {
  protected:
    void SetUp() override {
        SettingsStoreTest::SetUp();
        // With no umask, only the store's own modes decide what the files get.
        oldMask_ = ::umask(0);
    }
    void TearDown() override {
        ::umask(oldMask_);
        SettingsStoreTest::TearDown();
    }
    mode_t oldMask_ = 0;
};

TEST_F(SettingsModesTest, NewFoldersAndFileArePrivate) {
    const fs::path parent = dir_ / "config";
    const fs::path file = parent / "Tolvane" / "TolvaneApp.json";
    SettingsStore store(file);
    store.setText(setting::wifiPassword, "lantern");
    EXPECT_EQ(modeOf(parent), 0700u);
    EXPECT_EQ(modeOf(parent / "Tolvane"), 0700u);
    EXPECT_EQ(modeOf(file), 0600u);
}

TEST_F(SettingsModesTest, WiderModesAreTightenedOnLoadAndOnWrite) {
    writeBytes(file_, R"({"TolvaneApp": {"passwd": "lantern"}})");
    ::chmod(folder_.c_str(), 0755);
    ::chmod(file_.c_str(), 0644);
    SettingsStore store(file_);
    EXPECT_EQ(modeOf(folder_), 0700u);
    EXPECT_EQ(modeOf(file_), 0600u);

    ::chmod(folder_.c_str(), 0777);
    store.setText(setting::wifiPassword, "other");
    EXPECT_EQ(modeOf(folder_), 0700u);
    EXPECT_EQ(modeOf(file_), 0600u);
}

TEST_F(SettingsModesTest, SharedStickyFolderIsLeftAlone) {
    ::chmod(folder_.c_str(), 01777);
    SettingsStore store(file_);
    store.setInt(setting::speedStep, 2);
    EXPECT_EQ(modeOf(folder_), 01777u);
    EXPECT_EQ(modeOf(file_), 0600u);
}

// HOME and XDG_CONFIG_HOME as each test sets them, put back afterwards.
class DefaultPathTest : public testing::Test {
  protected:
    ScopedEnv home_{"HOME"};
    ScopedEnv config_{"XDG_CONFIG_HOME"};
};

TEST_F(DefaultPathTest, FollowsTheConfigFolderOfTheEnvironment) {
    struct Case {
        const char* config;
        const char* expected;
    };
    const Case cases[] = {
        {"/srv/cfg", "/srv/cfg/Tolvane/TolvaneApp.json"},
        {nullptr, "/home/op/.config/Tolvane/TolvaneApp.json"},
        {"", "/home/op/.config/Tolvane/TolvaneApp.json"},
        {"relative/cfg", "/home/op/.config/Tolvane/TolvaneApp.json"},
    };
    home_.set("/home/op");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.config ? c.config : "(unset)");
        config_.set(c.config);
        EXPECT_EQ(SettingsStore::defaultPath(), fs::path(c.expected));
    }
}

TEST_F(DefaultPathTest, WithoutHomeUsesThePasswordDatabase) {
    config_.set(nullptr);
    home_.set("");
    const fs::path path = SettingsStore::defaultPath();
    EXPECT_TRUE(path.is_absolute()) << path;
    EXPECT_EQ(path.filename(), "TolvaneApp.json");
}

}  // namespace

namespace {

TEST_F(SettingsStoreTest, AnEqualValueIsNotWrittenAgainUnlessTheLastSaveFailed) {
    SettingsStore store(file_);
    store.setText(setting::recordFileName, "kav");
    store.setInt(setting::speedStep, 1);
    store.setInt(IntSetting{"tally"}, 1);
    // A second name for the file as written: a replaced file parts from it.
    const fs::path witness = dir_ / "witness";
    fs::create_hard_link(file_, witness);
    store.setText(setting::recordFileName, "kav");
    store.setInt(setting::speedStep, 1);
    EXPECT_TRUE(fs::equivalent(file_, witness)) << "an unchanged value replaced the file";
    store.setText(TextSetting{"tally"}, "1");  // another type is another value
    EXPECT_FALSE(fs::equivalent(file_, witness));
    EXPECT_EQ(SettingsStore(file_).text({"tally", "none"}), "1");

    // While the folder cannot be written the value lives only in memory; the
    // same value written again once the folder is back reaches the file.
    fs::remove_all(folder_);
    writeBytes(folder_, "in the way");
    testing::internal::CaptureStdout();
    store.setText(setting::recordFileName, "next");
    testing::internal::GetCapturedStdout();
    fs::remove(folder_);
    store.setText(setting::recordFileName, "next");
    EXPECT_EQ(SettingsStore(file_).text(setting::recordFileName), "next");
}

}  // namespace
