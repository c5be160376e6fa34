#include "text/TraceText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
    std::string bytes;
    std::string shown;
};

TEST(TraceSafe, ControlsAndBytesOutsideUtf8AreWrittenAsLowercaseHexAndTheRestStays) {
    const std::vector<Case> cases = {
        {"", ""},
        {"kavrin_key:print", "kavrin_key:print"},
        {"N\r\nP1,1\r\n", "N\\x0d\\x0aP1,1\\x0d\\x0a"},
        {"\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},
        {"\x1b[2J", "\\x1b[2J"},
        {std::string("a\0b", 3), "a\\x00b"},
        {"\x1f \x7e\x7f", "\\x1f ~\\x7f"},
        {"\t\x0b\x0c", "\\x09\\x0b\\x0c"},
        // A backslash and UTF-8 text are the operator's own.
        {"C:\\x41", "C:\\x41"},
        {"\xe5\x86\x99 caf\xc3\xa9 \xf0\x9f\x98\x80", "\xe5\x86\x99 caf\xc3\xa9 \xf0\x9f\x98\x80"},
        {"\xc2\xa0\xc2\xbf", "\xc2\xa0\xc2\xbf"},  // U+00A0 and U+00BF: text, not controls
        // C1 controls: CSI, OSC, ST, and U+0080 and U+009F at the ends.
        {"\xc2\x9b"
         "2J",
         "\\xc2\\x9b"
         "2J"},
        {"\xc2\x9d"
         "0;owned\xc2\x9c",
         "\\xc2\\x9d"
         "0;owned\\xc2\\x9c"},
        {"\xc2\x80\xc2\x9f", "\\xc2\\x80\\xc2\\x9f"},
        // Bytes that are not part of well-formed UTF-8, one by one.
        {"\x9b"
         "2J",
         "\\x9b"
         "2J"},
        {"\x80\xff\xfe", "\\x80\\xff\\xfe"},
        {"\xc3", "\\xc3"},                             // cut at the end
        {"\xe5\x86x", "\\xe5\\x86x"},                  // cut in the middle
        {"\xc0\x9b", "\\xc0\\x9b"},                    // an overlong ESC-like form
        {"\xe0\x82\x9b", "\\xe0\\x82\\x9b"},           // overlong C1
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},           // a surrogate
        {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},  // beyond U+10FFFF
    };
    for (const Case& c : cases) {
        EXPECT_EQ(traceSafe(c.bytes), c.shown) << c.shown;
    }
}

// Whatever comes in, what goes out is well-formed UTF-8 without a C0 or C1
// control: every lone byte is escaped alone, every printable ASCII byte kept.
TEST(TraceSafe, EveryLoneByteOutsidePrintableAsciiIsEscaped) {
    for (int value = 0; value < 256; ++value) {
        const std::string shown = traceSafe(std::string(1, static_cast<char>(value)));
        const bool printable = value >= 0x20 && value < 0x7f;
        EXPECT_EQ(shown.size(), printable ? 1u : 4u) << value;
        for (const char c : shown) {
            EXPECT_LT(static_cast<unsigned char>(c), 0x80) << value;
        }
    }
    for (int second = 0x80; second <= 0xbf; ++second) {
        const std::string sequence = {'\xc2', static_cast<char>(second)};
        EXPECT_EQ(traceSafe(sequence).size(), second <= 0x9f ? 8u : 2u) << second;
    }
}

}  // namespace
