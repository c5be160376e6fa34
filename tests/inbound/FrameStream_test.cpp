#include "inbound/FrameStream.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "support/MachineFrame.h"

namespace {

using namespace std::string_literals;

// The frames of these cases: a count, then always the same eight settings.
FrameValues withCount(int data) {
    return {data, 1, 8, 0, 10, 20, 30, -7, 1};
}
std::string stateFrame(int data) {
    return frameText(withCount(data));
}
std::string recordFrame(int data, const std::string& time, const std::string& slots) {
    return frameText(withCount(data), ",pt:" + time + "," + slots);
}

// What one frame came out as: its count, and for a record its time and S0.
struct Seen {
    int data;
    bool isRecord;
    std::string time;
    std::string s0;
    bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& s, std::ostream* os) {
    *os << "{" << s.data << (s.isRecord ? " record " + s.time + " " + s.s0 : "") << "}";
}

struct Outcome {
    std::vector<Seen> frames;
    std::vector<FrameDropReason> drops;
};

Outcome feed(FrameStream& stream, ChunkKind kind, const std::vector<std::string>& chunks) {
    Outcome out;
    for (const std::string& chunk : chunks) {
        const ChunkFrames taken = stream.take(kind, chunk);
        for (const DeviceReport& r : taken.frames) {
            out.frames.push_back({r.state.data, r.isRecord, r.time, r.slots[0]});
        }
        for (const FrameDrop& d : taken.drops) {
            out.drops.push_back(d.reason);
        }
    }
    return out;
}

Seen state(int data) {
    return {data, false, "", ""};
}
Seen record(int data, const std::string& time, const std::string& s0) {
    return {data, true, time, s0};
}

struct StreamCase {
    const char* name;
    ChunkKind kind;
    std::vector<std::string> chunks;
    std::vector<Seen> frames;
    std::vector<FrameDropReason> drops;
    std::size_t tailLeft;
};

void PrintTo(const StreamCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr auto kNet = ChunkKind::Datagram;
constexpr auto kSerial = ChunkKind::SerialBurst;
using R = FrameDropReason;

const std::string kEndless = "start[1,2,3,pt:T,{" + std::string(2000, 'x');

const StreamCase kCases[] = {
    {"TwoFramesInOneDatagram",
     kNet,
     {stateFrame(1) + recordFrame(2, "T2", "{a}")},
     {state(1), record(2, "T2", "a")},
     {},
     0},
    {"ThreeFramesInOneDatagramWithBytesBetween",
     kNet,
     {"xx" + stateFrame(1) + "\r\n" + recordFrame(2, "T2", "{a}") + " yy " + stateFrame(3) + "zz"},
     {state(1), record(2, "T2", "a"), state(3)},
     {},
     0},
    {"TwoFramesInOneBurst",
     kSerial,
     {stateFrame(1) + recordFrame(2, "T2", "{a}")},
     {state(1), record(2, "T2", "a")},
     {},
     0},
    {"ThreeFramesInOneBurst",
     kSerial,
     {recordFrame(1, "T1", "{a}") + recordFrame(2, "T2", "{b}") + recordFrame(3, "T3", "{c}")},
     {record(1, "T1", "a"), record(2, "T2", "b"), record(3, "T3", "c")},
     {},
     0},
    {"SplitOverTwoBursts",
     kSerial,
     {stateFrame(1) + "start[2,1,8,0,10", ",20,30,-7,1,pt:T2,{a}]end"},
     {state(1), record(2, "T2", "a")},
     {},
     0},
    {"SplitOverThreeBursts",
     kSerial,
     {"start[2,1,8,", "0,10,20,30,-7,1,pt:T2,{a", "}{b}]end" + stateFrame(3)},
     {record(2, "T2", "a"), state(3)},
     {},
     0},
    {"SplitInsideTheStartMarker",
     kSerial,
     {"junk sta", "rt[4,1,8,0,10,20,30,-7,1]end"},
     {state(4)},
     {},
     0},
    {"SplitInsideTheEndMarker",
     kSerial,
     {"start[4,1,8,0,10,20,30,-7,1]e", "nd"},
     {state(4)},
     {},
     0},
    {"UnfinishedFrameKeptForTheNextBurst",
     kSerial,
     {stateFrame(1) + "start[2,1"},
     {state(1)},
     {},
     9},
    {"TailOfMaxLengthKept",
     kSerial,
     {"start[" + std::string(FrameStream::kMaxTail - 6, '1')},
     {},
     {},
     FrameStream::kMaxTail},
    {"TailOneByteTooLongDropped",
     kSerial,
     {"start[" + std::string(FrameStream::kMaxTail - 5, '1')},
     {},
     {R::TooLong},
     0},
    {"EndlessBurstDroppedThenTheNextFrameKept",
     kSerial,
     {kEndless, std::string(3000, 'y'), "}]end" + stateFrame(5)},
     {state(5)},
     {R::TooLong},
     0},
    {"GrowingTailDroppedOnceTooLong",
     kSerial,
     {"start[" + std::string(600, '1'), std::string(600, '2'), "]end" + stateFrame(6)},
     {state(6)},
     {R::TooLong},
     0},
    {"DatagramsAreNotJoined",
     kNet,
     {"start[2,1,8,0,10", ",20,30,-7,1,pt:T2,{a}]end"},
     {},
     {R::DatagramEnded},
     0},
    {"NewStartCutsTheFrameBeforeIt",
     kNet,
     {"start[9,9,9" + recordFrame(2, "T2", "{a}")},
     {record(2, "T2", "a")},
     {R::CutByStart},
     0},
    {"NulCutsAFrameButNotTheNextOne",
     kNet,
     {"start[1,\0"s + "2,3]end\0"s + recordFrame(2, "T2", "{a}") + "\0"s + stateFrame(3) + "\0"s},
     {record(2, "T2", "a"), state(3)},
     {R::CutByNul},
     0},
    {"FrameWithoutNineValuesDroppedTheOthersKept",
     kSerial,
     {stateFrame(1) + "start[1,2,3]end" + stateFrame(3)},
     {state(1), state(3)},
     {R::NoNineValues},
     0},
    {"RecordLongerThanAnOldReceiveBuffer",
     kNet,
     {recordFrame(7, "T7", "{" + std::string(3000, 'z') + "}")},
     {record(7, "T7", std::string(DeviceReport::kMaxSlotLength, 'z'))},
     {},
     0},
    {"NoFrameAtAll", kNet, {"hello", ""}, {}, {}, 0},
};

class StreamTable : public testing::TestWithParam<StreamCase> {};

TEST_P(StreamTable, HandsOverEveryCompleteFrameInOrder) {
    const StreamCase& c = GetParam();
    FrameStream stream;
    testing::internal::CaptureStdout();
    const Outcome out = feed(stream, c.kind, c.chunks);
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.frames, c.frames);
    EXPECT_EQ(out.drops, c.drops);
    EXPECT_EQ(stream.tailSize(), c.tailLeft);
    // One trace line per dropped frame, none otherwise.
    std::size_t lines = 0;
    for (std::size_t at = trace.find("frame dropped"); at != std::string::npos;
         at = trace.find("frame dropped", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, c.drops.size()) << trace;
}

INSTANTIATE_TEST_SUITE_P(Chunks, StreamTable, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Wherever a serial stream is cut into two or three bursts, the same frames
// come out, in the same order, and nothing is dropped.
TEST(FrameStream, AnyCutOfASerialStreamGivesTheSameFrames) {
    const std::string stream = "\r\n" + stateFrame(1) + recordFrame(2, "T2", "{a}{b}") + "garbage" +
                               recordFrame(-3, "T3", "{c}") + stateFrame(4);
    FrameStream whole;
    const Outcome expected = feed(whole, kSerial, {stream});
    ASSERT_EQ(expected.frames.size(), 4u);
    for (std::size_t first = 0; first <= stream.size(); ++first) {
        for (std::size_t second = first; second <= stream.size(); second += 7) {
            FrameStream cut;
            const Outcome out = feed(cut, kSerial,
                                     {stream.substr(0, first), stream.substr(first, second - first),
                                      stream.substr(second)});
            ASSERT_EQ(out.frames, expected.frames) << "cut at " << first << " and " << second;
            ASSERT_TRUE(out.drops.empty());
            ASSERT_EQ(cut.tailSize(), 0u);
        }
    }
}

// A serial frame begun on a link that is left is dropped with a line, once;
// a datagram arriving after it does the same.
TEST(FrameStream, LeavingTheSerialLinkDropsItsUnfinishedFrame) {
    FrameStream stream;
    testing::internal::CaptureStdout();
    stream.take(kSerial, "start[1,2");
    const std::optional<FrameDrop> dropped = stream.dropTail();
    EXPECT_FALSE(stream.dropTail().has_value());
    stream.take(kSerial, "start[1,2,3");
    const ChunkFrames next = stream.take(kNet, stateFrame(8));
    stream.take(kSerial, "xx sta");
    EXPECT_FALSE(stream.dropTail().has_value()) << "only the beginning of a marker";
    const std::string trace = testing::internal::GetCapturedStdout();

    ASSERT_TRUE(dropped.has_value());
    EXPECT_EQ(dropped->reason, FrameDropReason::LinkChanged);
    EXPECT_EQ(dropped->bytes, 9u);
    ASSERT_EQ(next.drops.size(), 1u);
    EXPECT_EQ(next.drops[0].reason, FrameDropReason::LinkChanged);
    ASSERT_EQ(next.frames.size(), 1u);
    EXPECT_EQ(next.frames[0].state.data, 8);
    EXPECT_EQ(
        trace,
        "D:[FrameStream::take,5]frame dropped: the link changed after 9 bytes without ]end\r\n"
        "D:[FrameStream::take,5]frame dropped: the link changed after 11 bytes without "
        "]end\r\n");
}

// The lines operators read, one per reason.
TEST(FrameStream, TracesEachReason) {
    FrameStream stream;
    testing::internal::CaptureStdout();
    stream.take(kNet, "start[1,2]end");
    stream.take(kNet, "start[1,2start[1,2]end");
    stream.take(kNet, "start[1\0"s);
    stream.take(kNet, "start[1,2,3");
    stream.take(kSerial, "start[" + std::string(2000, '1'));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "D:[CTolvaneAppDlg::tmRxFrame,1093]frame dropped: no nine state values\r\n"
              "D:[FrameStream::take,1]frame dropped: cut by a new start[ after 9 bytes\r\n"
              "D:[CTolvaneAppDlg::tmRxFrame,1093]frame dropped: no nine state values\r\n"
              "D:[FrameStream::take,2]frame dropped: cut by a NUL byte after 7 bytes\r\n"
              "D:[FrameStream::take,3]frame dropped: the datagram ended after 11 bytes without "
              "]end\r\n"
              "D:[FrameStream::take,4]frame dropped: too long, 2006 bytes without ]end\r\n");
}

// A datagram of the largest size full of frame starts and nothing else: each
// start is one cut frame.
TEST(FrameStream, ADatagramOfStartsOnlyDropsEachStart) {
    std::string flood;
    while (flood.size() + 6 <= 65'507) {
        flood += "start[";
    }
    FrameStream stream;
    testing::internal::CaptureStdout();
    const ChunkFrames taken = stream.take(kNet, flood);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(taken.frames.empty());
    EXPECT_EQ(taken.drops.size(), flood.size() / 6);
}

}  // namespace
