#include "text/TraceText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
    std::string bytes;
    std::string shown;
};

TEST(TraceSafe, ControlBytesAndDeleteAreWrittenAsLowercaseHexAndTheRestStays) {
    const std::vector<Case> cases = {
        {"", ""},
        {"kavrin_key:print", "kavrin_key:print"},
        {"N\r\nP1,1\r\n", "N\\x0d\\x0aP1,1\\x0d\\x0a"},
        {"\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},
        {"\x1b[2J", "\\x1b[2J"},
        {std::string("a\0b", 3), "a\\x00b"},
        {"\x1f \x7e\x7f", "\\x1f ~\\x7f"},
        {"\t\x0b\x0c", "\\x09\\x0b\\x0c"},
        // A backslash and bytes from 0x80 up (UTF-8 text) are the operator's own.
        {"C:\\x41", "C:\\x41"},
        {"\xe5\x86\x99\x80\xff", "\xe5\x86\x99\x80\xff"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(traceSafe(c.bytes), c.shown) << c.shown;
    }
}

TEST(TraceSafe, EveryByteBelowASpaceAndDeleteIsEscapedAndNoOther) {
    for (int value = 0; value < 256; ++value) {
        const std::string shown = traceSafe(std::string(1, static_cast<char>(value)));
        const bool escaped = value < 0x20 || value == 0x7f;
        EXPECT_EQ(shown.size(), escaped ? 4u : 1u) << value;
        for (const char c : shown) {
            const auto byte = static_cast<unsigned char>(c);
            EXPECT_FALSE(byte < 0x20 || byte == 0x7f) << value;
        }
    }
}

}  // namespace
