#include "Frame.h"

#include <gtest/gtest.h>

#include <string>

TEST(Frame, StateFrameBytes) {
    EXPECT_EQ(sim::stateFrame({}), "start[0,0,2,1,15,30,45,0,0]end");
    EXPECT_EQ(sim::stateFrame({5, 1, 8, 0, 10, 20, 30, -7, 1}), "start[5,1,8,0,10,20,30,-7,1]end");
}

TEST(Frame, RecordWritesOnlyLeadingNonEmptySlots) {
    const sim::MachineState s{5, 1, 8, 0, 10, 20, 30, -7, 1};
    const std::string head = "start[5,1,8,0,10,20,30,-7,1,pt:2025-03-05 09:03:07,";
    const struct {
        std::vector<std::string> slots;
        std::string tail;
    } cases[] = {
        {{"R1", "C0402", "LOT7"}, "{R1}{C0402}{LOT7}]end"},
        {{"a", "", "c"}, "{a}]end"},
        {{"", "b", "c"}, "]end"},
        {{}, "]end"},
        {{"a", "b", "c", "d"}, "{a}{b}{c}]end"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sim::recordFrame(s, "2025-03-05 09:03:07", c.slots), head + c.tail);
    }
}

TEST(Frame, MalformedFramesAreNotWellFormed) {
    const sim::MachineState s;
    EXPECT_EQ(sim::malformedFrame(sim::Malformed::MissingEnd, s), "start[0,0,2,1,15,30,45,0,0");
    EXPECT_EQ(sim::malformedFrame(sim::Malformed::TooFewValues, s), "start[1,2,3]end");

    const std::string binary = sim::malformedFrame(sim::Malformed::Binary, s);
    const auto start = binary.find("start[");
    ASSERT_NE(start, std::string::npos);
    EXPECT_LT(binary.find('\0', start), binary.find("]end"));

    const std::string big = sim::malformedFrame(sim::Malformed::Oversized, s);
    EXPECT_EQ(big.size(), sim::kOversizedBytes);
    EXPECT_TRUE(big.starts_with("start[0,0,2,1,15,30,45,0,0,pt:"));
    EXPECT_TRUE(big.ends_with("}]end"));
}
