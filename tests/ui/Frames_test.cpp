#include <gtest/gtest.h>

#include <QPlainTextEdit>

#include <string>

#include "settings/SettingsTable.h"
#include "support/InboundPanel.h"
#include "support/LoopbackWire.h"
#include "support/MachineFrame.h"
#include "support/Wait.h"

namespace {

using Dispatch = InboundPanel;

// What a first-run window shows, with count 3: mirroring it changes nothing.
constexpr DeviceState kShownAtFirstRun{3, 0, 2, 1, 15, 30, 45, 0, 0};

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

TEST_F(Dispatch, ExampleChunkMirrorsWritesTheRecordAndShowsTheCount) {
    EXPECT_TRUE(receive("xx start[5,1,8,0,10,20,30,-7,1,pt:T1,{a}{b}]end yy"));

    EXPECT_EQ(panel.selection(ctl::kPitch), 2);
    EXPECT_EQ(panel.selection(ctl::kFunction), 1);
    EXPECT_EQ(panel.selection(ctl::kSpeedStep), 0);
    EXPECT_EQ(shown(ctl::kSpeed1), "10");
    EXPECT_EQ(shown(ctl::kSpeed2), "20");
    EXPECT_EQ(shown(ctl::kSpeed3), "30");
    EXPECT_EQ(shown(ctl::kPresetSign), "-");
    EXPECT_EQ(shown(ctl::kPresetCount), "7");
    EXPECT_EQ(panel.checked(ctl::kPresetOn), 1);

    const std::string name = "kav20250305090307.csv";
    ASSERT_EQ(recordFiles(), std::vector<std::string>{name});
    EXPECT_EQ(readFile(records / name), "time=T1,data=5,S0=a,S1=b");
    EXPECT_EQ(shown(ctl::kRecordPath), folder() + name);
    EXPECT_EQ(shown(ctl::kData), "data=5");

    panel.close();
    EXPECT_EQ(panel.storedString(setting::speedValue1), "10");
    EXPECT_EQ(panel.storedString(setting::speedValue2), "20");
    EXPECT_EQ(panel.storedString(setting::speedValue3), "30");
    EXPECT_EQ(panel.storedInt(setting::presetCount), -7);
    EXPECT_EQ(panel.storedInt(setting::speedStep),
              setting::speedStep.readDefault);  // selections store nothing
}

// The mirror runs only for a state other than the last one mirrored; the count
// is part of the state, and edit 1019 follows every complete frame.
TEST_F(Dispatch, MirrorsOnlyAChangedStateAndShowsEveryCount) {
    DeviceState state{3, 0, 2, 1, 15, 30, 45, 0, 0};
    ASSERT_TRUE(receive(frameText(state)));
    panel.type(ctl::kSpeed1, "99");

    EXPECT_TRUE(receive(frameText(state)));
    EXPECT_EQ(shown(ctl::kSpeed1), "99");
    EXPECT_EQ(shown(ctl::kData), "data=3");

    state.data = -4;
    EXPECT_TRUE(receive(frameText(state)));
    EXPECT_EQ(shown(ctl::kSpeed1), "15");
    EXPECT_EQ(shown(ctl::kData), "data=-4");
    EXPECT_TRUE(recordFiles().empty());  // no "pt:", no record
}

TEST_F(Dispatch, AllZeroFirstFrameDoesNotReachTheMirror) {
    panel.type(ctl::kSpeed1, "99");
    EXPECT_TRUE(receive("start[0,0,0,0,0,0,0,0,0]end"));
    EXPECT_EQ(shown(ctl::kSpeed1), "99");
    EXPECT_EQ(panel.selection(ctl::kSpeedStep), 1);
    EXPECT_EQ(shown(ctl::kData), "data=0");
}

// Every frame of a chunk counts, in order: a record behind a state frame is kept.
TEST_F(Dispatch, EveryFrameOfAChunkCounts) {
    EXPECT_TRUE(receive(frameText(kShownAtFirstRun) +
                        frameText({9, 0, 2, 1, 16, 30, 45, 0, 0}, ",pt:T9,{z}")));
    EXPECT_EQ(shown(ctl::kData), "data=9");
    EXPECT_EQ(shown(ctl::kSpeed1), "16");
    ASSERT_EQ(recordFiles().size(), 1u);
    EXPECT_EQ(readFile(records / recordFiles().front()), "time=T9,data=9,S0=z");
}

// A frame whose body does not begin with nine integers, or a datagram that
// ends inside a frame, changes nothing and leaves one trace line that says
// why; bytes without a frame leave none.
TEST_F(Dispatch, DropsFramesWithoutNineStateValues) {
    struct Case {
        const char* chunk;
        std::size_t traceLines;
        const char* site = "D:[CTolvaneAppDlg::tmRxFrame,1093]";
    };
    const Case cases[] = {
        {"start[]end", 1},
        {"start[1,2,3]end", 1},
        {"start[1,2,3,4,5,6,7,8]end", 1},
        {"start[1,2,3,4,5,6,7,8,x]end", 1},
        {"start[1 ,2,3,4,5,6,7,8,9]end", 1},
        {"start[a,1,2,3,4,5,6,7,8,9,pt:T1,{a}]end", 1},
        {"start[1,2,3,4,5,6,7,8,9", 1, "D:[FrameStream::take,3]"},
        {"1,2,3,4,5,6,7,8,9]end", 0},
        {"start]end", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chunk);
        panel.setWidgetText(ctl::kData, "before");
        testing::internal::CaptureStdout();
        EXPECT_FALSE(receive(c.chunk));
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(count(out, "D:["), c.traceLines) << out;
        EXPECT_EQ(count(out, c.site), c.traceLines) << out;
        EXPECT_EQ(shown(ctl::kData), "before");
        EXPECT_EQ(shown(ctl::kSpeed1), "15");
        EXPECT_EQ(panel.selection(ctl::kPitch), 0);
    }
    EXPECT_TRUE(recordFiles().empty());
    EXPECT_EQ(panel.controller().mirroredState(), DeviceState{});
}

// Edit 1019 is laid out once per turn of the event loop, with the latest
// count, however many frames the turn handled; every one of them is still
// mirrored and its record written.
TEST_F(Dispatch, TheCountIsShownOncePerTurnTheLatestWinning) {
    int shownTimes = 0;
    auto* data = static_cast<QPlainTextEdit*>(panel.control(ctl::kData));
    QObject::connect(data, &QPlainTextEdit::textChanged, [&] { ++shownTimes; });
    std::string written;
    for (int count = 1; count <= 100; ++count) {
        const DeviceState state{count, 0, 2, 1, 15 + count, 30, 45, 0, 0};
        const std::string chunk = frameText(state, count % 10 == 0 ? ",pt:T" : "");
        ASSERT_TRUE(panel.receive(chunk));
        if (count % 10 == 0) {
            written += "time=T,data=" + std::to_string(count);
        }
    }
    EXPECT_EQ(shownTimes, 0);
    EXPECT_EQ(shown(ctl::kSpeed1), "115");
    panel.settleWrites();
    EXPECT_EQ(shownTimes, 1);
    EXPECT_EQ(shown(ctl::kData), "data=100");
    EXPECT_EQ(readFile(records / "kav20250305090307.csv"), written);
    EXPECT_EQ(panel.storedString(setting::speedValue1), "115");

    ASSERT_TRUE(receive(countFrame(7)));
    EXPECT_EQ(shownTimes, 2);
    EXPECT_EQ(shown(ctl::kData), "data=7");
}

// The whole road with the receive threads running: a datagram from the machine
// is mirrored and recorded, the mirror echoes nothing to the machine, though
// its address is now known, and the clock shows the panel's local time.
TEST(Received, DatagramIsMirroredAndRecordedWithoutEcho) {
    UtcTimeZone utc;
    TempDir records;
    PanelHarness panel(true);
    panel.now = kFixedInstant;
    panel.open();
    panel.setRecordFolder(records.path().string() + "/");
    EXPECT_EQ(panel.text(ctl::kClock), "2025-03-05 09:03:07");

    // The receive thread binds its port on its own time; until it has, datagrams
    // are lost. An all-zero state changes nothing, so it may be sent again.
    LoopbackEndpoint machine;
    ASSERT_TRUE(waitUntil(
        [&] {
            machine.sendTo(panel.udpPort, "start[0,0,0,0,0,0,0,0,0]end");
            return waitUntil([&] { return panel.text(ctl::kData) == "data=0"; }, 100);
        },
        5000));
    machine.sendTo(panel.udpPort, frameText({6, 2, 12, 2, 11, 22, 33, -9, 1}, ",pt:T6,{s}"));
    ASSERT_TRUE(waitUntil([&] { return panel.text(ctl::kData) == "data=6"; }));
    EXPECT_EQ(panel.text(ctl::kSpeed2), "22");
    EXPECT_EQ(panel.text(ctl::kPresetCount), "9");
    EXPECT_EQ(panel.selection(ctl::kPitch), 3);
    panel.settleWrites();
    EXPECT_EQ(readFile(records / "kav20250305090307.csv"), "time=T6,data=6,S0=s");
    EXPECT_TRUE(machine.receive().empty());

    panel.click(ctl::kStop);
    EXPECT_EQ(machine.receive(), std::vector<std::string>{std::string("kavrin_key:stop", 16)});

    panel.now = kFixedInstant + 1;
    EXPECT_TRUE(waitUntil([&] { return panel.text(ctl::kClock) == "2025-03-05 09:03:08"; }));
}

}  // namespace
