// Settings files as a hostile user or a crash leaves them: something else in
// the file's place, values that cannot be read, a first run over an older
// file, temporary files of a killed panel, and saves that fail.
#include "settings/SettingsKeepingText.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsRules.h"
#include "settings/SettingsTable.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <QJsonDocument>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "settings/SettingsFixture.h"
#include "storage/DiskWriter.h"

using namespace settingstest;
using testing::ContainsRegex;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::MatchesRegex;

namespace {

using namespace std::chrono_literals;

const std::string kStamp = "[0-9]{8}-[0-9]{6}";

// The trace of `run`, which gets a store on `file` with a disk writer, and
// waits for everything it handed over.
template <class Run>
std::string traceOf(const fs::path& file, Run run) {
    testing::internal::CaptureStdout();
    {
        DiskWriter writer;
        SettingsStore store(file, &writer);
        run(store);
        EXPECT_TRUE(writer.drain(10s));
    }
    return testing::internal::GetCapturedStdout();
}

struct NodeIdentity {
    dev_t device;
    ino_t inode;
    mode_t type;
};

NodeIdentity identityOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return {st.st_dev, st.st_ino, st.st_mode & S_IFMT};
}

class NotARegularFile : public SettingsStoreTest {
  protected:
    void TearDown() override {
        if (socket_ >= 0) {
            ::close(socket_);
        }
        SettingsStoreTest::TearDown();
    }
    // Puts something that is not a regular file at `at`; its kind as the
    // trace names it.
    std::string place(const std::string& kind, const fs::path& at) {
        if (kind == "character device") {
            // Root may make a node of its own (the numbers of /dev/null);
            // anyone else links to /dev/null, which they cannot rename.
            if (::mknod(at.c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
                fs::create_symlink("/dev/null", at);
            }
        } else if (kind == "FIFO") {
            EXPECT_EQ(::mkfifo(at.c_str(), 0600), 0);
        } else if (kind == "socket") {
            socket_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, at.c_str(), sizeof address.sun_path - 1);
            EXPECT_EQ(::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        } else {
            fs::create_directory(at);
            writeBytes(at / "inside", "kept");
        }
        return kind;
    }
    int socket_ = -1;
};

// The path leads to a device, FIFO, socket or folder, directly or through a
// link: it is never renamed, replaced or read; the store runs on defaults,
// keeps nothing and says why once.
TEST_F(NotARegularFile, IsNeitherReadNorReplacedAndTheStoreSaysWhyOnce) {
    struct Case {
        const char* kind;
        bool throughLink;
    };
    const Case cases[] = {
        {"character device", false}, {"FIFO", false},   {"FIFO", true},
        {"socket", false},           {"folder", false}, {"folder", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + (c.throughLink ? " through a link" : ""));
        fs::remove_all(folder_);
        fs::create_directory(folder_);
        const fs::path node = c.throughLink ? dir_ / "elsewhere" : file_;
        fs::remove_all(node);
        place(c.kind, node);
        if (c.throughLink) {
            fs::create_symlink(node, file_);
        }
        const NodeIdentity before = identityOf(node);
        const std::vector<std::string> namesBefore = namesIn(folder_);

        SettingsKeeping keeping;
        QString shown;
        const std::string trace = traceOf(file_, [&](SettingsStore& store) {
            shown = store.text(setting::panelPassword);
            store.setText(setting::wifiPassword, "secret");
            store.setInt(setting::speedStep, 2);
            keeping = store.keeping();
        });

        // The device node of a link to one is the one the link leads to.
        const fs::path reached = fs::is_symlink(node) ? fs::read_symlink(node) : node;
        EXPECT_THAT(trace, MatchesRegex("D:\\[SettingsStore::load,5\\]settings file " +
                                        literal(reached.string()) + " is a " + c.kind +
                                        ", not a regular file: running on defaults, settings "
                                        "will not be saved\r\n"));
        EXPECT_EQ(shown, "teal");
        EXPECT_FALSE(keeping.kept);
        EXPECT_THAT(keeping.reason, HasSubstr(std::string(" is a ") + c.kind));
        const NodeIdentity after = identityOf(node);
        EXPECT_EQ(after.inode, before.inode);
        EXPECT_EQ(after.device, before.device);
        EXPECT_EQ(after.type, before.type);
        EXPECT_EQ(namesIn(folder_), namesBefore) << "nothing kept aside, no file written";
        if (std::string(c.kind) == "folder") {
            EXPECT_THAT(namesIn(node), ElementsAre("inside"));
        }
    }
}

using UnreadableValues = SettingsStoreTest;

// One value that cannot be read costs only itself: the others are used, the
// file as it was is kept aside, and the file is written again without it, so
// the next start reads it cleanly.
TEST_F(UnreadableValues, TakeTheirDefaultsAndEveryOtherValueIsUsed) {
    struct Case {
        const char* name;
        const char* values;  // members of the section besides ssid, passwd and fPath
        const char* unreadable;
        int preset;
        int speed;
    };
    const Case cases[] = {
        {"a number beyond a double", R"("presetCnt": 1e400, "speed": 2)", "presetCnt", 0, 2},
        {"a negative one", R"("presetCnt": -1e400, "speed": 2)", "presetCnt", 0, 2},
        {"an integer as text", R"("presetCnt": -40, "speed": "2")", "speed", -40, 1},
        {"a fraction", R"("presetCnt": 2.5, "speed": 2)", "presetCnt", 0, 2},
        {"beyond 32 bits", R"("presetCnt": 4294967296, "speed": 2)", "presetCnt", 0, 2},
        {"text as a number", R"("presetCnt": -40, "speed": 2, "format": 12)", "format", -40, 2},
        {"two at once", R"("presetCnt": 1e999, "speed": null)", "speed, presetCnt", 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder_);
        fs::create_directory(folder_);
        const std::string bytes =
            std::string(R"({"Other": 1, "TolvaneApp": {"ssid": "plant-7", )") +
            R"("passwd": "secret", "fPath": "/data/", )" + c.values + "}}";
        writeBytes(file_, bytes);

        int preset = 0;
        int speed = 0;
        QString password;
        const std::string trace = traceOf(file_, [&](SettingsStore& store) {
            preset = store.intValue(setting::presetCount);
            speed = store.intValue(setting::speedStep);
            password = store.text(setting::wifiPassword);
            EXPECT_EQ(store.text(setting::wifiName), "plant-7");
            EXPECT_EQ(store.text(setting::recordFolder), "/data/");
            EXPECT_EQ(store.text(setting::labelTemplate), "");
        });
        EXPECT_EQ(preset, c.preset);
        EXPECT_EQ(speed, c.speed);
        EXPECT_EQ(password, "secret");

        EXPECT_THAT(trace, MatchesRegex("D:\\[SettingsStore::load,3\\]settings file " +
                                        literal(file_.string()) + ": " + c.unreadable +
                                        " unreadable, read as the defaults; kept as " +
                                        literal(file_.string()) + "\\.corrupt-" + kStamp + "\r\n"));
        const std::vector<std::string> names = namesIn(folder_);
        ASSERT_EQ(names.size(), 2u);
        EXPECT_EQ(readBytes(folder_ / names[1]), bytes) << "kept byte for byte";
        EXPECT_EQ(modeOf(folder_ / names[1]), 0600u);

        // Written again without the unreadable values: the next start is clean.
        const QJsonObject section = sectionInFile(file_);
        EXPECT_EQ(section.value("passwd").toString(), "secret");
        for (const char* key : {"presetCnt", "speed", "format"}) {
            if (std::string(c.unreadable).find(key) != std::string::npos) {
                EXPECT_FALSE(section.contains(key)) << key;
            }
        }
        EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(readBytes(file_)))
                      .object()
                      .value("Other")
                      .toInt(),
                  1);
        EXPECT_EQ(traceOf(file_, [](SettingsStore&) {}), "");
        EXPECT_EQ(namesIn(folder_).size(), 2u);
    }
}

// A file that is not JSON at all is set aside whole, as before.
TEST_F(UnreadableValues, AFileThatIsNotJsonIsSetAsideWhole) {
    writeBytes(file_, R"({"TolvaneApp": {"passwd": "secret", "presetCnt": 1e400,)");
    const std::string trace = traceOf(
        file_, [](SettingsStore& store) { EXPECT_EQ(store.text(setting::wifiPassword), ""); });
    EXPECT_THAT(trace, ContainsRegex("D:\\[SettingsStore::load,1\\]settings file .* unreadable"));
    EXPECT_FALSE(fs::exists(file_));
}

class FirstRunOverAFile : public SettingsStoreTest {
  protected:
    std::string runFirstRun(const fs::path& file) {
        return traceOf(file, [](SettingsStore& store) { applyFirstRunRule(store); });
    }
};

// Whenever the first run replaces values that the file held, the file as it
// was is kept beside it first (mode 0600) and the trace names the keys.
TEST_F(FirstRunOverAFile, KeepsTheFileAsItWasAndNamesTheKeysReplaced) {
    struct Case {
        const char* name;
        const char* section;
        const char* replaced;  // null: nothing replaced, no copy
    };
    const Case cases[] = {
        {"stamp as text", R"("version": "2024011912", "format": "N\r\nP1,1\r\n", "ssid": "lab",
            "passwd": "pw", "file": "lot", "presetCnt": -4)",
         "version, format, ssid, passwd, file"},
        {"older stamp", R"("version": 2024011911, "speed": 2, "f2name": 1, "root": "blue")",
         "version, speed, f2name"},
        {"newer stamp", R"("version": 2024011913, "ssid": "default", "passwd": "pw")",
         "version, passwd"},
        {"no stamp, first-run values already", R"("ssid": "default", "speed": 1, "root": "x")",
         nullptr},
        {"no stamp, other keys only", R"("presetCnt": 9, "fPath": "/data/")", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder_);
        fs::create_directory(folder_);
        const std::string bytes = std::string(R"({"TolvaneApp": {)") + c.section + "}}";
        writeBytes(file_, bytes);

        const std::string trace = runFirstRun(file_);

        const std::vector<std::string> names = namesIn(folder_);
        if (c.replaced == nullptr) {
            EXPECT_EQ(trace, "D:[CTolvaneAppDlg::OnInitDialog,550]is first \r\n");
            EXPECT_THAT(names, ElementsAre("TolvaneApp.json"));
            continue;
        }
        EXPECT_THAT(trace,
                    MatchesRegex("D:\\[CTolvaneAppDlg::OnInitDialog,550\\]is first \r\n"
                                 "D:\\[SettingsStore::firstRun,1\\]settings file " +
                                 literal(file_.string()) + " kept as " + literal(file_.string()) +
                                 "\\.before-first-run-" + kStamp +
                                 " before the first run replaced " + literal(c.replaced) + "\r\n"));
        ASSERT_EQ(names.size(), 2u);
        EXPECT_THAT(names[1], MatchesRegex("TolvaneApp\\.json\\.before-first-run-" + kStamp));
        EXPECT_EQ(readBytes(folder_ / names[1]), bytes);
        EXPECT_EQ(modeOf(folder_ / names[1]), 0600u);
        EXPECT_EQ(sectionInFile(file_).value("version").toInt(), kFirstRunStamp);
    }
}

// When the copy cannot be made (its name would be too long), the first run
// writes nothing: the file stays as it was.
TEST_F(FirstRunOverAFile, WritesNothingWhenTheFileCannotBeKept) {
    const fs::path file = folder_ / (std::string(240, 's') + ".json");
    const std::string bytes = R"({"TolvaneApp": {"version": 7, "passwd": "secret"}})";
    writeBytes(file, bytes);
    SettingsKeeping keeping;
    const std::string trace = traceOf(file, [&](SettingsStore& store) {
        applyFirstRunRule(store);
        store.setText(setting::wifiName, "later");
        ASSERT_TRUE(store.writer()->drain(10s));
        keeping = store.keeping();
    });
    EXPECT_THAT(trace, ContainsRegex("D:\\[SettingsStore::firstRun,2\\]settings file .* cannot be "
                                     "kept aside before the first run replaced version, passwd "
                                     "\\(File name too long\\)"));
    EXPECT_EQ(readBytes(file), bytes);
    EXPECT_FALSE(keeping.kept);
    EXPECT_THAT(namesIn(folder_), testing::SizeIs(1));
}

using StaleTemporaries = SettingsStoreTest;

// A panel killed while writing leaves ".TolvaneApp.json.XXXXXX" with the
// passwords in it: the next start removes it, and only it.
TEST_F(StaleTemporaries, AreRemovedAtStartAndNothingElse) {
    writeBytes(file_, R"({"TolvaneApp": {"passwd": "secret"}})");
    const char* const stale[] = {".TolvaneApp.json.Ab3xZ9", ".TolvaneApp.json.000000"};
    const char* const kept[] = {".TolvaneApp.json.Ab3xZ", ".TolvaneApp.json.bak",
                                ".other.json.Ab3xZ9", "TolvaneApp.json.Ab3xZ9"};
    for (const char* name : stale) {
        writeBytes(folder_ / name, R"({"TolvaneApp": {"passwd": "secret"}})");
    }
    for (const char* name : kept) {
        writeBytes(folder_ / name, "mine");
    }
    fs::create_symlink(file_, folder_ / ".TolvaneApp.json.Link00");

    const std::string trace = traceOf(file_, [](SettingsStore&) {});

    for (const char* name : stale) {
        EXPECT_THAT(trace,
                    HasSubstr("D:[SettingsStore::load,6]removed " + (folder_ / name).string() +
                              ", a temporary settings file left behind\r\n"));
    }
    EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 2);
    EXPECT_THAT(namesIn(folder_), ElementsAre(".TolvaneApp.json.Ab3xZ", ".TolvaneApp.json.Link00",
                                              ".TolvaneApp.json.bak", ".other.json.Ab3xZ9",
                                              "TolvaneApp.json", "TolvaneApp.json.Ab3xZ9"));
}

// While another panel holds the settings lock it may be writing its own
// temporary file: nothing is removed then.
TEST_F(StaleTemporaries, AreLeftWhileAnotherPanelHoldsTheLock) {
    writeBytes(folder_ / ".TolvaneApp.json.Ab3xZ9", "being written");
    const int other = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    EXPECT_EQ(traceOf(file_, [](SettingsStore&) {}), "");
    ::close(other);
    EXPECT_EQ(readBytes(folder_ / ".TolvaneApp.json.Ab3xZ9"), "being written");
}

using KeepingState = SettingsStoreTest;

// Saves that fail make the store say so, with the reason, until one works;
// the watcher is told of each change, on the disk writer's thread.
TEST_F(KeepingState, FollowsTheSavesAndTellsTheWatcher) {
    DiskWriter writer;
    SettingsStore store(file_, &writer);
    std::atomic<int> told{0};
    store.setKeepingChanged([&] { ++told; });
    EXPECT_EQ(store.keeping(), SettingsKeeping{});

    fs::remove_all(folder_);
    writeBytes(folder_, "in the way");
    testing::internal::CaptureStdout();
    store.setText(setting::wifiName, "lab");
    ASSERT_TRUE(writer.drain(10s));
    store.setText(setting::wifiName, "lab2");
    ASSERT_TRUE(writer.drain(10s));
    testing::internal::GetCapturedStdout();
    const SettingsKeeping failing = store.keeping();
    EXPECT_FALSE(failing.kept);
    EXPECT_THAT(failing.reason, HasSubstr("Not a directory"));
    EXPECT_EQ(settingsNotSavedLine(failing),
              "settings NOT saved: " + QString::fromStdString(failing.reason));
    EXPECT_EQ(told.load(), 1) << "told once, not for every failed save";

    fs::remove(folder_);
    store.setText(setting::wifiName, "lab3");
    ASSERT_TRUE(writer.drain(10s));
    EXPECT_EQ(store.keeping(), SettingsKeeping{});
    EXPECT_EQ(settingsNotSavedLine(store.keeping()), "");
    EXPECT_EQ(told.load(), 2);
    EXPECT_EQ(sectionInFile(file_).value("ssid").toString(), "lab3");
}

}  // namespace
