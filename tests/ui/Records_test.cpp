#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>

#include "settings/SettingsTable.h"
#include "support/InboundPanel.h"
#include "support/MachineFrame.h"
#include "support/SyncGate.h"

namespace {

using Records = InboundPanel;

TEST_F(Records, WrittenInTheChosenFormat) {
    struct Case {
        int format;
        std::string chunk;
        const char* name;
        const char* bytes;
    };
    const Case cases[] = {
        {0, countFrame(-12, ",pt:T1,{a}{b}"), "kav20250305090307.csv", "time=T1,data=12,S0=a,S1=b"},
        {1, countFrame(-12, ",pt:T1,{a}{b}"), "kav20250305090307.xml",
         "<time>T1</time>\r\n<data>12</data>\r\n<S0>a</S0>\r\n<S1>b</S1>\r\n"},
        {0, countFrame(7, ",pt:x=1"), "kav20250305090307.csv", "time=x=1,data=7"},
        {1, countFrame(7, ",pt:T2"), "kav20250305090307.xml",
         "<time>T2</time>\r\n<data>7</data>\r\n"},
        {1, countFrame(0, ",pt:<T>,{a,b}"), "kav20250305090307.xml",
         "<time><T></time>\r\n<data>0</data>\r\n<S0>a,b</S0>\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chunk);
        for (const auto& entry : std::filesystem::directory_iterator(records.path())) {
            std::filesystem::remove(entry.path());
        }
        panel.setSelection(ctl::kRecordFormat, c.format);
        ASSERT_TRUE(receive(c.chunk));
        ASSERT_EQ(recordFiles(), std::vector<std::string>{c.name});
        EXPECT_EQ(readFile(records / c.name), c.bytes);
        EXPECT_EQ(shown(ctl::kRecordPath), folder() + c.name);
    }
}

// The file name holds the second of arrival: records of one second share a
// file, back to back; the next second starts a new one.
TEST_F(Records, OneFilePerSecond) {
    ASSERT_TRUE(receive(countFrame(1, ",pt:A")));
    ASSERT_TRUE(receive(countFrame(2, ",pt:B,{b}")));
    panel.now = kFixedInstant + 1;
    ASSERT_TRUE(receive(countFrame(3, ",pt:C")));

    EXPECT_EQ(recordFiles(),
              (std::vector<std::string>{"kav20250305090307.csv", "kav20250305090308.csv"}));
    EXPECT_EQ(readFile(records / "kav20250305090307.csv"), "time=A,data=1time=B,data=2,S0=b");
    EXPECT_EQ(readFile(records / "kav20250305090308.csv"), "time=C,data=3");
    EXPECT_EQ(shown(ctl::kRecordPath), folder() + "kav20250305090308.csv");
}

TEST_F(Records, FrameWithoutMarkerWritesNothing) {
    ASSERT_TRUE(receive(countFrame(1, ",T1,{a}")));
    EXPECT_TRUE(recordFiles().empty());
}

// A folder that does not exist loses the record: nothing is written, edit 1021
// and a trace line name the path tried, and the next record tries again.
TEST_F(Records, MissingFolderLosesOnlyThatRecord) {
    const std::string later = folder() + "later/";
    panel.setRecordFolder(later);
    const std::string path = later + "kav20250305090307.csv";

    testing::internal::CaptureStdout();
    EXPECT_TRUE(receive(countFrame(1, ",pt:A")));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(recordFiles().empty());
    EXPECT_EQ(shown(ctl::kRecordPath), path);
    EXPECT_EQ(shown(ctl::kData), "data=1");
    EXPECT_EQ(out.rfind("D:[CTolvaneAppDlg::tmSaveRecord,", 0), 0u) << out;
    EXPECT_NE(out.find(path), std::string::npos) << out;

    std::filesystem::create_directory(later);
    EXPECT_TRUE(receive(countFrame(2, ",pt:B")));
    EXPECT_EQ(readFile(later + "kav20250305090307.csv"), "time=B,data=2");
}

// A record that could not be written is marked under its path until the next
// record is written; a file the failed record made is not left behind empty.
TEST_F(Records, AFailedRecordIsShownUntilTheNextIsWritten) {
    const auto failure = [&] { return shown(ctl::kRecordFailure); };
    ASSERT_TRUE(receive(countFrame(1, ",pt:A")));
    EXPECT_EQ(failure(), "");

    struct Case {
        const char* name;
        std::function<void()> breakIt;
        const char* reason;
    };
    const std::string kept = "time=A,data=1";
    const Case cases[] = {
        {"folder gone", [&] { panel.setRecordFolder(folder() + "gone/"); },
         "open: No such file or directory"},
        {"name too long", [&] { panel.type(ctl::kFileName, QString(300, QLatin1Char('n'))); },
         "open: File name too long"},
        {"sync fails", [&] { panel.setSync([](int, SyncKind) { return EIO; }); },
         "fdatasync: Input/output error"},
        {"no format", [&] { panel.setSelection(ctl::kRecordFormat, -1); },
         "no record format: nothing to write"},
    };
    int count = 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.breakIt();
        panel.now += 1;  // a new file, which the failure must not leave behind
        testing::internal::CaptureStdout();
        ASSERT_TRUE(receive(countFrame(count++, ",pt:B")));
        const std::string trace = testing::internal::GetCapturedStdout();
        EXPECT_EQ(trace.rfind("D:[CTolvaneAppDlg::tmSaveRecord,1154]record not written to ", 0), 0u)
            << trace;
        EXPECT_EQ(failure(), std::string("record NOT written: ") + c.reason);
        EXPECT_EQ(recordFiles(), std::vector<std::string>{"kav20250305090307.csv"});
        EXPECT_EQ(readFile(records / "kav20250305090307.csv"), kept);

        // Put right again: the next record is written and the mark goes.
        panel.setSync({});
        panel.setRecordFolder(folder());
        panel.type(ctl::kFileName, "kav");
        panel.setSelection(ctl::kRecordFormat, 0);
        panel.now = kFixedInstant;
        ASSERT_TRUE(receive(countFrame(count++, ",pt:A")));
        EXPECT_EQ(failure(), "");
        EXPECT_EQ(readFile(records / "kav20250305090307.csv"),
                  kept + "time=A,data=" + std::to_string(count - 1));
        writeFile(records / "kav20250305090307.csv", kept);
    }
}

// A stored list position outside its list reads as the list's default, as a
// value of the wrong type does: records keep a format, the speed list a step.
TEST_F(Records, StoredListPositionsOutsideTheirListsReadAsDefaults) {
    struct Case {
        int stored;
        int format;
        int speed;
    };
    const Case cases[] = {{0, 0, 0}, {2, 1, 2}, {3, 1, 1}, {-1, 1, 1}, {5, 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        panel.store().setInt(setting::recordFormat, c.stored);
        panel.store().setInt(setting::speedStep, c.stored);
        restart();
        EXPECT_EQ(panel.selection(ctl::kRecordFormat), c.format);
        EXPECT_EQ(panel.selection(ctl::kSpeedStep), c.speed);
    }
    ASSERT_TRUE(receive(countFrame(1, ",pt:A,{a}")));
    EXPECT_EQ(recordFiles(), std::vector<std::string>{"kav20250305090307.xml"});
}

// Records are written by the disk writer in the order they arrived, across
// files and seconds. The window hands them over and goes on: here every one
// arrives while the writer is held in its first sync.
TEST_F(Records, ArrivalOrderIsKeptAcrossFilesAndSeconds) {
    panel.settleWrites();  // the first run's settings are written
    SyncGate gate;
    panel.setSync(gate.call());
    std::string expected[2];
    for (int i = 0; i < 40; ++i) {
        panel.now = kFixedInstant + i / 10 % 2;  // two files, each used in turns
        const std::string chunk = countFrame(i, ",pt:T");
        ASSERT_TRUE(panel.receive(chunk));
        expected[i / 10 % 2] += "time=T,data=" + std::to_string(i);
    }
    ASSERT_TRUE(gate.waitArrived(1));
    EXPECT_EQ(gate.arrived(), 1);
    gate.open();
    panel.settleWrites();
    EXPECT_EQ(readFile(records / "kav20250305090307.csv"), expected[0]);
    EXPECT_EQ(readFile(records / "kav20250305090308.csv"), expected[1]);
}

using RecordPath = InboundPanel;

TEST_F(RecordPath, StartUpShowsThePathFromTheStoredFolder) {
    panel.store().setText(setting::recordFolder, QStringLiteral("/srv/lots/"));
    panel.store().setText(setting::recordFileName, QStringLiteral("line4"));
    panel.store().setInt(setting::recordFormat, 1);
    panel.restart();
    EXPECT_EQ(panel.model().text(TextValue::RecordFolder), "/srv/lots/");
    EXPECT_EQ(shown(ctl::kRecordPath), "/srv/lots/line420250305090307.xml");
}

// A folder stored without its final "/" (edited by hand) still holds the
// records: they never land beside it as "<folder>kav...".
TEST_F(RecordPath, AStoredFolderWithoutItsSlashStillHoldsTheRecords) {
    panel.store().setText(setting::recordFolder, QString::fromStdString(records.path().string()));
    panel.restart();
    EXPECT_EQ(shown(ctl::kRecordPath), folder() + "kav20250305090307.csv");
    ASSERT_TRUE(receive(countFrame(1, ",pt:A")));
    EXPECT_EQ(recordFiles(), std::vector<std::string>{"kav20250305090307.csv"});
    EXPECT_FALSE(std::filesystem::exists(records.path().string() + "kav20250305090307.csv"));
}

// The path is composed anew at every call: folder, name, the second of the
// call, ".", format; with no name the stamp follows the folder directly.
TEST_F(RecordPath, FollowsNameFormatAndClock) {
    panel.type(ctl::kFileName, "");
    EXPECT_EQ(shown(ctl::kRecordPath), folder() + "20250305090307.csv");

    panel.now = kFixedInstant + 60;
    panel.pick(ctl::kRecordFormat, 1);
    EXPECT_EQ(shown(ctl::kRecordPath), folder() + "20250305090407.xml");

    panel.now = kFixedInstant + 3600;
    ASSERT_TRUE(receive(countFrame(1, ",pt:A")));
    EXPECT_EQ(recordFiles(), std::vector<std::string>{"20250305100307.xml"});
    EXPECT_EQ(shown(ctl::kRecordPath), folder() + "20250305100307.xml");
}

// The file system sees a path only up to its first NUL; folder and name end
// there too, so the record still gets its stamped file and 1021 names it.
TEST_F(RecordPath, FolderAndNameEndAtANul) {
    struct Case {
        std::string folderTail;
        QString name;
    };
    const Case cases[] = {
        {"", QString::fromUtf8("ka\0v", 4)},
        {std::string("\0/elsewhere/", 12), QStringLiteral("ka")},
    };
    int count = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(count);
        panel.setRecordFolder(folder() + c.folderTail);
        panel.type(ctl::kFileName, c.name);
        const std::string path = folder() + "ka20250305090307.csv";
        EXPECT_EQ(shown(ctl::kRecordPath), path);
        ASSERT_TRUE(receive(countFrame(count++, ",pt:A")));
        EXPECT_EQ(shown(ctl::kRecordPath), path);
    }
    EXPECT_EQ(recordFiles(), std::vector<std::string>{"ka20250305090307.csv"});
    EXPECT_EQ(readFile(records / "ka20250305090307.csv"), "time=A,data=1time=A,data=2");
}

}  // namespace
