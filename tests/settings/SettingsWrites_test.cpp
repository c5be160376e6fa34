// How changes reach the settings file: through the disk writer, coalesced and
// never lost; on top of what another panel wrote meanwhile; through a symbolic
// link; under a file size limit.
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"

#include <sys/resource.h>

#include <QJsonArray>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "settings/SettingsFixture.h"
#include "storage/DiskWriter.h"
#include "support/SizeLimit.h"
#include "support/SyncGate.h"

using namespace settingstest;
using testing::ContainsRegex;
using testing::ElementsAre;

namespace {

using namespace std::chrono_literals;

// Counts the syncs of regular files (settings files) and of folders apart.
class CountingSync {
  public:
    SyncCall call() {
        return [this](int fd, SyncKind kind) {
            struct stat st {};
            ::fstat(fd, &st);
            ++(S_ISDIR(st.st_mode) ? folders : files);
            return syncToDisk(fd, kind);
        };
    }
    int files = 0;
    int folders = 0;
};

using StoreWrites = SettingsStoreTest;

// The writer is held in the sync of the first write while a burst of changes
// comes in: none is lost or reordered, the burst is written once, with the
// latest values, and the store reads its own values all along.
TEST_F(StoreWrites, ABurstWhileTheWriterIsHeldIsWrittenOnceWithTheLatestValues) {
    SyncGate gate;
    DiskWriter writer(gate.call());
    SettingsStore store(file_, &writer);
    store.setText(setting::wifiName, "first");
    ASSERT_TRUE(gate.waitArrived(1));

    QString typed;
    for (int i = 0; i < 300; ++i) {
        typed += QChar(u'a' + i % 26);
        store.setText(setting::labelTemplate, typed);
        store.setInt(setting::presetCount, -i);
        store.setText(setting::wifiName, i % 2 == 0 ? "even" : "odd");
    }
    EXPECT_EQ(store.text(setting::labelTemplate), typed);
    EXPECT_FALSE(fs::exists(file_)) << "the first write is still held in its sync";
    EXPECT_EQ(gate.arrived(), 1);

    gate.open();
    ASSERT_TRUE(writer.drain(10s));
    // Two writes, each syncing the file and then its folder.
    EXPECT_EQ(gate.arrived(), 4);
    const QJsonObject section = sectionInFile(file_);
    EXPECT_EQ(section.value("format").toString(), typed);
    EXPECT_EQ(section.value("presetCnt").toInt(), -299);
    EXPECT_EQ(section.value("ssid").toString(), "odd");
    EXPECT_THAT(namesIn(folder_), ElementsAre("TolvaneApp.json"));
}

// Every write syncs the new file before the rename and the folder after it.
TEST_F(StoreWrites, EachWriteSyncsTheFileAndItsFolder) {
    CountingSync counting;
    {
        DiskWriter writer(counting.call());
        SettingsStore store(file_, &writer);
        store.setInt(setting::speedStep, 2);
        ASSERT_TRUE(writer.drain(10s));
        store.setInt(setting::speedStep, 0);
    }
    EXPECT_EQ(counting.files, 2);
    EXPECT_EQ(counting.folders, 2);
    EXPECT_EQ(SettingsStore(file_).intValue({"speed", 9}), 0);
}

// Two panels on one settings file: each write puts its own changed keys on
// top of what the file holds then, so neither undoes the other's changes.
TEST_F(StoreWrites, TwoPanelsKeepEachOthersChanges) {
    writeBytes(file_, R"({"Other": 1, "TolvaneApp": {"version": 2024011912}})");
    DiskWriter writer;
    SettingsStore first(file_, &writer);
    SettingsStore second(file_, &writer);
    first.setText(setting::wifiName, "lab");
    second.setText(setting::wifiPassword, "pw");
    first.setInt(setting::speedStep, 2);
    second.setInt(setting::presetCount, -5);
    ASSERT_TRUE(writer.drain(10s));

    const QJsonObject top =
        QJsonDocument::fromJson(QByteArray::fromStdString(readBytes(file_))).object();
    EXPECT_EQ(top.value("Other").toInt(), 1);
    const QJsonObject section = top.value("TolvaneApp").toObject();
    EXPECT_EQ(section.value("version").toInt(), 2024011912);
    EXPECT_EQ(section.value("ssid").toString(), "lab");
    EXPECT_EQ(section.value("passwd").toString(), "pw");
    EXPECT_EQ(section.value("speed").toInt(), 2);
    EXPECT_EQ(section.value("presetCnt").toInt(), -5);
    // Each panel reads what it holds: the other's changes reach it at its next start.
    EXPECT_EQ(first.text({"passwd", "none"}), "none");
}

// Two panels writing at the same moment: the second waits until the first
// has replaced the file, then puts its change on top of the first's. Without
// that wait it would read the file before the first's replacement and undo it.
TEST_F(StoreWrites, APanelWaitsForTheOthersWriteToEnd) {
    writeBytes(file_, R"({"TolvaneApp": {"version": 2024011912}})");
    SyncGate gate;
    DiskWriter held(gate.call());
    DiskWriter free;
    SettingsStore first(file_, &held);
    SettingsStore second(file_, &free);
    first.setText(setting::wifiName, "lab");
    ASSERT_TRUE(gate.waitArrived(1));  // the first has read the file and holds its new one
    second.setText(setting::wifiPassword, "pw");
    // Time for the second to write, were it not held back; either way it
    // must end with both changes.
    (void)free.drain(200ms);
    gate.open();
    ASSERT_TRUE(held.drain(10s));
    ASSERT_TRUE(free.drain(10s));

    const QJsonObject section = sectionInFile(file_);
    EXPECT_EQ(section.value("ssid").toString(), "lab");
    EXPECT_EQ(section.value("passwd").toString(), "pw");
    EXPECT_EQ(section.value("version").toInt(), 2024011912);
}

// A file removed or damaged by someone else while the panel runs is replaced
// by everything this panel holds, as every write did before.
TEST_F(StoreWrites, AFileGoneOrDamagedMeanwhileGetsEverythingThePanelHolds) {
    for (const char* meanwhile : {"", "{ damaged"}) {
        SCOPED_TRACE(meanwhile);
        writeBytes(file_, R"({"TolvaneApp": {"ssid": "lab", "speed": 2}})");
        DiskWriter writer;
        SettingsStore store(file_, &writer);
        if (*meanwhile == '\0') {
            fs::remove(file_);
        } else {
            writeBytes(file_, meanwhile);
        }
        store.setText(setting::wifiPassword, "pw");
        ASSERT_TRUE(writer.drain(10s));
        const QJsonObject section = sectionInFile(file_);
        EXPECT_EQ(section.value("ssid").toString(), "lab");
        EXPECT_EQ(section.value("speed").toInt(), 2);
        EXPECT_EQ(section.value("passwd").toString(), "pw");
    }
}

// A write that fails keeps the change: the next write, once the folder can be
// written again, carries it too.
TEST_F(StoreWrites, AFailedChangeIsWrittenWithTheNext) {
    DiskWriter writer;
    SettingsStore store(file_, &writer);
    fs::remove_all(folder_);
    writeBytes(folder_, "in the way");
    testing::internal::CaptureStdout();
    store.setText(setting::wifiName, "lab");
    ASSERT_TRUE(writer.drain(10s));
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_THAT(trace, ContainsRegex("D:\\[SettingsStore::save,1\\]settings file .* not saved "
                                     "\\(cannot use folder .*: Not a directory\\)\r\n"));
    EXPECT_EQ(store.text(setting::wifiName), "lab");

    fs::remove(folder_);
    store.setInt(setting::speedStep, 0);
    ASSERT_TRUE(writer.drain(10s));
    const QJsonObject section = sectionInFile(file_);
    EXPECT_EQ(section.value("ssid").toString(), "lab");
    EXPECT_EQ(section.value("speed").toInt(), 0);
}

class LinkedSettings : public SettingsStoreTest {
  protected:
    void SetUp() override {
        SettingsStoreTest::SetUp();
        elsewhere_ = dir_ / "dotfiles";
        fs::create_directory(elsewhere_);
        ::chmod(elsewhere_.c_str(), 0755);
        target_ = elsewhere_ / "panel.json";
    }
    // A store opened on the settings file writes one change; its trace.
    std::string openAndWriteOneChange() {
        testing::internal::CaptureStdout();
        DiskWriter writer;
        SettingsStore store(file_, &writer);
        store.setInt(setting::speedStep, 2);
        EXPECT_TRUE(writer.drain(10s));
        return testing::internal::GetCapturedStdout();
    }
    // The link stays what it was: a link, to the same place.
    void expectLinkKept(const fs::path& link, const std::string& to) {
        EXPECT_TRUE(fs::is_symlink(link)) << link;
        EXPECT_EQ(fs::read_symlink(link).string(), to);
    }
    fs::path elsewhere_;
    fs::path target_;
};

// The store writes through a symbolic link: the file it leads to is replaced
// in its own folder, the link stays, and no temporary file is left anywhere.
TEST_F(LinkedSettings, AWriteReplacesTheLinkedFileAndKeepsTheLink) {
    struct Case {
        const char* name;
        std::string linkText;            // what the settings link holds
        std::optional<std::string> via;  // a second link on the way, in the folder
        std::optional<std::string> viaText;
    };
    const Case cases[] = {
        {"absolute", target_.string(), {}, {}},
        {"relative", "../dotfiles/panel.json", {}, {}},
        {"chain", "via.json", "via.json", target_.string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(target_, R"({"TolvaneApp": {"ssid": "lab"}})");
        ::chmod(target_.c_str(), 0644);
        fs::remove(file_);
        fs::create_symlink(c.linkText, file_);
        if (c.via) {
            fs::remove(folder_ / *c.via);
            fs::create_symlink(*c.viaText, folder_ / *c.via);
        }
        DiskWriter writer;
        SettingsStore store(file_, &writer);
        EXPECT_EQ(store.text(setting::wifiName), "lab");
        EXPECT_EQ(modeOf(target_), 0644u) << "read, not written: its mode stays";

        store.setText(setting::wifiPassword, "pw");
        ASSERT_TRUE(writer.drain(10s));
        expectLinkKept(file_, c.linkText);
        const QJsonObject section = sectionInFile(target_);
        EXPECT_EQ(section.value("ssid").toString(), "lab");
        EXPECT_EQ(section.value("passwd").toString(), "pw");
        EXPECT_EQ(modeOf(target_), 0600u) << "written: it holds a password";
        EXPECT_EQ(modeOf(elsewhere_), 0755u) << "not the store's folder";
        EXPECT_THAT(namesIn(elsewhere_), ElementsAre("panel.json"));
    }
}

TEST_F(LinkedSettings, ALinkToNothingYetGetsItsFile) {
    fs::create_symlink(target_, file_);
    EXPECT_EQ(openAndWriteOneChange(), "");
    expectLinkKept(file_, target_.string());
    EXPECT_EQ(sectionInFile(target_).value("speed").toInt(), 2);
}

// A damaged file behind the link is kept aside beside itself; the link stays
// and leads to the fresh file.
TEST_F(LinkedSettings, ADamagedLinkedFileIsKeptAsideAndTheLinkStays) {
    writeBytes(target_, "{ damaged");
    fs::create_symlink(target_, file_);
    const std::string trace = openAndWriteOneChange();
    EXPECT_THAT(trace, ContainsRegex("D:\\[SettingsStore::load,1\\]settings file " +
                                     literal(target_.string()) + " unreadable"));
    expectLinkKept(file_, target_.string());
    EXPECT_EQ(sectionInFile(target_).value("speed").toInt(), 2);
    const std::vector<std::string> names = namesIn(elsewhere_);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(readBytes(elsewhere_ / names[1]), "{ damaged");
}

// A link that leads in a circle cannot be read: like any unreadable settings
// file it is kept aside, and the store starts afresh with a file of its own.
TEST_F(LinkedSettings, ALinkThatLeadsInACircleIsKeptAside) {
    fs::create_symlink("loop.json", file_);
    fs::create_symlink("TolvaneApp.json", folder_ / "loop.json");
    const std::string trace = openAndWriteOneChange();
    EXPECT_THAT(trace, ContainsRegex("D:\\[SettingsStore::load,1\\]settings file " +
                                     literal(file_.string()) + " unreadable \\(" +
                                     literal(std::strerror(ELOOP)) + "\\), kept as "));
    EXPECT_FALSE(fs::is_symlink(file_));
    EXPECT_EQ(sectionInFile(file_).value("speed").toInt(), 2);
}

// Under a file size limit a write that would pass it fails and is traced; the
// program goes on, the old file stays whole and no temporary file is left.
// With and without the disk writer: both write the file the same way.
TEST_F(StoreWrites, AFileSizeLimitFailsTheWriteWithoutEndingTheProgram) {
    const std::string old = R"({"TolvaneApp": {"ssid": "lab"}})";
    for (const bool withWriter : {false, true}) {
        SCOPED_TRACE(withWriter ? "disk writer" : "at once");
        writeBytes(file_, old);
        testing::internal::CaptureStdout();
        const std::string read = underFileSizeLimit(300, [&] {
            std::optional<DiskWriter> writer;
            if (withWriter) {
                writer.emplace();
            }
            SettingsStore store(file_, writer ? &*writer : nullptr);
            store.setText(setting::labelTemplate, QString(400, QLatin1Char('x')));
            if (writer) {
                writer->drain(10s);
            }
            return store.text(setting::labelTemplate).toStdString();
        });
        const std::string trace = testing::internal::GetCapturedStdout();
        EXPECT_EQ(read, std::string(400, 'x'));
        EXPECT_THAT(trace, ContainsRegex("D:\\[SettingsStore::save,1\\]settings file .* not saved "
                                         "\\(write .*" +
                                         literal(std::strerror(EFBIG)) + "\\)"));
        EXPECT_EQ(readBytes(file_), old);
        EXPECT_THAT(namesIn(folder_), ElementsAre("TolvaneApp.json"));
    }
}

}  // namespace
