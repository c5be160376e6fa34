#include "NulSplitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

const std::string kStream = "kavrin_key:star\0kavrin_func:1\0\0kavrin_cmd:^XA\r\n^XZ\r\n\0"s;
const std::vector<std::string> kCommands = {"kavrin_key:star\0"s, "kavrin_func:1\0"s, "\0"s,
                                            "kavrin_cmd:^XA\r\n^XZ\r\n\0"s};

}  // namespace

TEST(NulSplitter, ConcatenatedCommandsInOneRead) {
    sim::NulSplitter splitter;
    EXPECT_EQ(splitter.feed(kStream), kCommands);
    EXPECT_EQ(splitter.pendingSize(), 0u);
}

TEST(NulSplitter, SameCommandsWhereverTheReadsBreak) {
    for (std::size_t cut = 0; cut <= kStream.size(); ++cut) {
        sim::NulSplitter splitter;
        auto commands = splitter.feed(std::string_view(kStream).substr(0, cut));
        for (auto& c : splitter.feed(std::string_view(kStream).substr(cut))) {
            commands.push_back(std::move(c));
        }
        EXPECT_EQ(commands, kCommands) << "read broken at byte " << cut;
    }
}

TEST(NulSplitter, UnterminatedTailStaysPendingUntilTaken) {
    sim::NulSplitter splitter;
    EXPECT_EQ(splitter.feed("kavrin_clear\0kavrin_key:sto"s),
              std::vector<std::string>{"kavrin_clear\0"s});
    EXPECT_EQ(splitter.takePending(), "kavrin_key:sto");
    EXPECT_EQ(splitter.pendingSize(), 0u);
}

TEST(NulSplitter, EndlessTextWithoutNulIsCutAtTheLimit) {
    sim::NulSplitter splitter(8);
    EXPECT_EQ(splitter.feed("0123456789ab\0"s), (std::vector<std::string>{"01234567", "89ab\0"s}));
}
