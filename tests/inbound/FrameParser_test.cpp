#include "inbound/FrameParser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "support/MachineFrame.h"

void PrintTo(const DeviceState& s, std::ostream* os) {
    *os << "{" << s.data << "," << s.function << "," << s.pitch << "," << s.speed << "," << s.s1
        << "," << s.s2 << "," << s.s3 << "," << s.preset << "," << s.presetOn << "}";
}

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

// Copies the chunk into a heap block of exactly its size with no terminator,
// so a read past the end is caught by the address sanitizer.
ParsedFrame parseExact(const std::string& chunk) {
    auto block = std::make_unique<char[]>(chunk.size());
    std::memcpy(block.get(), chunk.data(), chunk.size());
    return parseFrame(block.get(), chunk.size());
}

const DeviceState kStateOneToNine{1, 2, 3, 4, 5, 6, 7, 8, 9};

struct FrameCase {
    const char* name;
    std::string chunk;
    FrameStatus status;
    DeviceState state;
    bool isRecord;
    std::string time;
    std::array<std::string, 3> slots;
};

void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << c.name;
}

// The frame of kStateOneToNine with `tail` behind its ninth value.
std::string body(std::string_view tail) {
    return frameText(kStateOneToNine, tail);
}

std::string repeated(char c, std::size_t n) {
    return std::string(n, c);
}

const FrameCase kFrameCases[] = {
    {"FullRecord",
     "xx start[5,1,8,0,10,20,30,-7,1,pt:T1,{a}{b}]end yy",
     FrameStatus::Ok,
     {5, 1, 8, 0, 10, 20, 30, -7, 1},
     true,
     "T1",
     {"a", "b", ""}},
    {"StateOnly", body(""), FrameStatus::Ok, kStateOneToNine, false, "", {}},
    {"TextAfterNinthValueIsNotState",
     body(",77,x"),
     FrameStatus::Ok,
     kStateOneToNine,
     false,
     "",
     {}},
    {"OnlyFirstOfTwoFrames",
     body("") + " start[9,8,7,6,5,4,3,2,1,pt:X,{q}]end",
     FrameStatus::Ok,
     kStateOneToNine,
     false,
     "",
     {}},
    {"NoFrame", "hello machine", FrameStatus::NoFrame, {}, false, "", {}},
    {"EmptyChunk", "", FrameStatus::NoFrame, {}, false, "", {}},
    {"StartWithoutEnd",
     "start[1,2,3,4,5,6,7,8,9,pt:T,{a}",
     FrameStatus::NoFrame,
     {},
     false,
     "",
     {}},
    {"EndOnlyBeforeStart", "]end start[1,2,3,4,5,6,7,8,9", FrameStatus::NoFrame, {}, false, "", {}},
    {"EndBeforeAndAfterStart", "]end " + body(""), FrameStatus::Ok, kStateOneToNine, false, "", {}},
    {"EmptyBody", "start[]end", FrameStatus::BadState, {}, false, "", {}},
    {"EightValues", "start[1,2,3,4,5,6,7,8]end", FrameStatus::BadState, {}, false, "", {}},
    {"EightValuesWithRecord",
     "start[1,2,3,4,5,6,7,8,pt:T,{a}]end",
     FrameStatus::BadState,
     {},
     false,
     "",
     {}},
    {"WhiteSpaceAndSigns",
     "start[ 1,\t-2,\n+3, -0,+0,\r\v\f-44,5,6,7]end",
     FrameStatus::Ok,
     {1, -2, 3, 0, 0, -44, 5, 6, 7},
     false,
     "",
     {}},
    {"SpaceBeforeComma", "start[1 ,2,3,4,5,6,7,8,9]end", FrameStatus::BadState, {}, false, "", {}},
    {"SignWithoutDigits", "start[1,-,3,4,5,6,7,8,9]end", FrameStatus::BadState, {}, false, "", {}},
    {"TwoSigns", "start[1,+-3,3,4,5,6,7,8,9]end", FrameStatus::BadState, {}, false, "", {}},
    {"NinthValueMissingAtBodyEnd",
     "start[1,2,3,4,5,6,7,8,]end",
     FrameStatus::BadState,
     {},
     false,
     "",
     {}},
    {"ValuesBeyondInt32Saturate",
     "start[2147483647,2147483648,-2147483648,-2147483649,99999999999999999999,"
     "-99999999999999999999,4294967296,4294967301,0007]end",
     FrameStatus::Ok,
     {kMax, kMax, kMin, kMin, kMax, kMin, kMax, kMax, 7},
     false,
     "",
     {}},
    {"MarkerInsideLongerWord",
     body(",receipt:R7,{a}"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "R7",
     {"a", "", ""}},
    {"FirstMarkerCounts",
     body(",pt:A,{x},pt:B,{y}"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "A",
     {"x", "y", ""}},
    {"RecordWithoutGroups", body(",pt:T"), FrameStatus::Ok, kStateOneToNine, true, "T", {}},
    {"EmptyTimeBeforeComma",
     body(",pt:,{a}"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "",
     {"a", "", ""}},
    {"EmptyTimeAtBodyEnd", body(",pt:"), FrameStatus::Ok, kStateOneToNine, true, "", {}},
    {"TimeStopsAtComma",
     body(",pt:12:30,45,{a}"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "12:30",
     {"a", "", ""}},
    {"GroupsInsideTimeAreTime",
     body(",pt:T{a},{b}"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "T{a}",
     {"b", "", ""}},
    {"GroupsBeforeMarkerIgnored",
     body(",{z},pt:T,{a}"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "T",
     {"a", "", ""}},
    {"AdjacentGroups",
     body(",pt:T,{a}{b}"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "T",
     {"a", "b", ""}},
    {"TextBetweenGroups",
     body(",pt:T,x{a}yy,{b}z{c}"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "T",
     {"a", "b", "c"}},
    {"CharacterBetweenGroups",
     body(",pt:T,{ab}x{c}"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "T",
     {"ab", "c", ""}},
    {"AtMostThreeGroups",
     body(",pt:T,{a}{b}{c}{d}"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "T",
     {"a", "b", "c"}},
    {"EmptyGroupEndsScan",
     body(",pt:T,{a}{}{c}"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "T",
     {"a", "", ""}},
    {"FirstGroupEmpty", body(",pt:T,{}{b}"), FrameStatus::Ok, kStateOneToNine, true, "T", {}},
    {"OpenBraceInsideGroupText",
     body(",pt:T,{{x}"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "T",
     {"{x", "", ""}},
    // The text "a{" ends in "{", so the next search finds that same "{", whose
    // group is empty.
    {"GroupTextEndingInOpenBrace",
     body(",pt:T,{a{}{c}"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "T",
     {"a{", "", ""}},
    {"DoubleCloseBetweenGroups",
     body(",pt:T,{ab}}{c}"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "T",
     {"ab", "c", ""}},
    {"UnclosedGroupTakesRest",
     body(",pt:T,{a}{rest, of body"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "T",
     {"a", "rest, of body", ""}},
    {"OpenBraceLastInBody",
     body(",pt:T,{a}{"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "T",
     {"a", "", ""}},
    {"GroupReachingIntoFrameEnd",
     "start[1,2,3,4,5,6,7,8,9,pt:T,{a]end}",
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "T",
     {"a", "", ""}},
    {"LongTimeCut",
     body(",pt:" + repeated('t', 40) + ",{a}"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     repeated('t', 31),
     {"a", "", ""}},
    {"TimeOfExactWidth",
     body(",pt:" + repeated('t', 31)),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     repeated('t', 31),
     {}},
    // Cutting a slot must not move where the next group is searched from.
    {"LongSlotCut",
     body(",pt:T,{" + repeated('s', 600) + "}{b}"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "T",
     {repeated('s', 511), "b", ""}},
    {"NulEndsChunkBeforeFrameEnd",
     std::string("start[1,2,3,4,5,6,7,8,9]\0end", 28),
     FrameStatus::NoFrame,
     {},
     false,
     "",
     {}},
    {"NulBeforeFrame", std::string("x\0", 2) + body(""), FrameStatus::NoFrame, {}, false, "", {}},
    {"NulAfterFrame",
     body(",pt:T,{a}") + std::string("\0", 1) + "junk",
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "T",
     {"a", "", ""}},
    {"BinaryGarbageOnly", "\x80\xff\x01\x7f\xfe[]{}:", FrameStatus::NoFrame, {}, false, "", {}},
    {"BinaryGarbageBody",
     "\xff\xfestart[\x80\x81\x82]end",
     FrameStatus::BadState,
     {},
     false,
     "",
     {}},
    {"EightBitTextsKept",
     body(",pt:\xb0\xb1,{\xe4\xb8\xad}"),
     FrameStatus::Ok,
     kStateOneToNine,
     true,
     "\xb0\xb1",
     {"\xe4\xb8\xad", "", ""}},
};

class FrameTable : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FrameTable, DecodesFirstFrame) {
    const FrameCase& c = GetParam();
    const ParsedFrame parsed = parseExact(c.chunk);
    ASSERT_EQ(parsed.status, c.status);
    if (c.status != FrameStatus::Ok) {
        return;
    }
    EXPECT_EQ(parsed.report.state, c.state);
    EXPECT_EQ(parsed.report.isRecord, c.isRecord);
    EXPECT_EQ(parsed.report.time, c.time);
    EXPECT_EQ(parsed.report.slots[0], c.slots[0]);
    EXPECT_EQ(parsed.report.slots[1], c.slots[1]);
    EXPECT_EQ(parsed.report.slots[2], c.slots[2]);
}

INSTANTIATE_TEST_SUITE_P(Chunks, FrameTable, ::testing::ValuesIn(kFrameCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Bytes past the given length are not part of the chunk, even when they would
// complete the frame.
TEST(FrameParser, IgnoresBytesPastLength) {
    const std::string text = body(",pt:T,{abc}");
    for (std::size_t cut = 1; cut <= 4; ++cut) {
        EXPECT_EQ(parseFrame(text.data(), text.size() - cut).status, FrameStatus::NoFrame)
            << "cut " << cut;
    }
}

// Chunks cut off at every length: each must decode or be refused without a
// read past its end (checked under the address sanitizer).
TEST(FrameParser, EveryPrefixStaysInsideTheChunk) {
    const std::string text = "xx start[-12, 3,+4,5,6,7,8,9,10,pt:T1,{ab}x{c}{d]end yy";
    for (std::size_t n = 0; n <= text.size(); ++n) {
        const ParsedFrame parsed = parseExact(text.substr(0, n));
        const bool complete = n >= text.find("]end") + 4;
        EXPECT_EQ(parsed.status == FrameStatus::Ok, complete) << "length " << n;
    }
}

TEST(FrameParser, NullChunkIsNoFrame) {
    EXPECT_EQ(parseFrame(nullptr, 0).status, FrameStatus::NoFrame);
}

}  // namespace
