#include "Escape.h"

#include <gtest/gtest.h>

#include <string>

#include "Script.h"

using namespace std::string_literals;

TEST(EscapeBytes, ControlAndHighBytesAreEscaped) {
    const struct {
        std::string raw;
        std::string shown;
    } cases[] = {
        {"kavrin_key:star", "kavrin_key:star"},
        {"^XA\r\n^FO@1\r\n"s, "^XA\\r\\n^FO@1\\r\\n"},
        {"a\tb\0c"s, "a\\tb\\0c"},
        {"back\\slash", "back\\\\slash"},
        {"\x01\x1f\x7f\x80\xff"s, "\\x01\\x1f\\x7f\\x80\\xff"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sim::escapeBytes(c.raw), c.shown);
    }
}

TEST(EscapeBytes, UnescapeRestoresEveryByte) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    EXPECT_EQ(sim::unescapeBytes(sim::escapeBytes(all)), all);
}

TEST(EscapeBytes, UnknownEscapesStayLiteral) {
    EXPECT_EQ(sim::unescapeBytes("\\q"), "\\q");
    EXPECT_EQ(sim::unescapeBytes("\\x4"), "\\x4");
    EXPECT_EQ(sim::unescapeBytes("\\xg1"), "\\xg1");
    EXPECT_EQ(sim::unescapeBytes("end\\"), "end\\");
    EXPECT_EQ(sim::unescapeBytes("\\x41\\X41"), "A\\X41");
}

TEST(CommandLine, CountsRawBytesAndHidesOneTerminator) {
    EXPECT_EQ(sim::commandLine("kavrin_key:print\0"s), "cmd[17]: kavrin_key:print");
    EXPECT_EQ(sim::commandLine("kavrin_key:star\0"s), "cmd[16]: kavrin_key:star");
    EXPECT_EQ(sim::commandLine("kavrin_clear"), "cmd[12]: kavrin_clear");
    EXPECT_EQ(sim::commandLine("a\0\0"s), "cmd[3]: a\\0");
    EXPECT_EQ(sim::commandLine("\0"s), "cmd[1]: ");
    EXPECT_EQ(sim::commandLine("kavrin_cmd:^XA\r\n\0"s), "cmd[17]: kavrin_cmd:^XA\\r\\n");
}

TEST(Script, LinesSleepsCommentsAndLineEnds) {
    std::string error;
    const auto steps = sim::parseScript(
        "# header\nstart[1,0,2,1,15,30,45,0,0]end\r\n\nsleep 250\nstart[\\0]end", error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].bytes, "start[1,0,2,1,15,30,45,0,0]end");
    EXPECT_TRUE(steps[1].sleep);
    EXPECT_EQ(steps[1].sleepMs, 250);
    EXPECT_EQ(steps[2].bytes, "start[\0]end"s);

    EXPECT_TRUE(sim::parseScript("x\nsleep soon\n", error).empty());
    EXPECT_EQ(error, "line 2: sleep needs 0 to 3600000 ms");
}
