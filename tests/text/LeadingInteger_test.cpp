#include <gtest/gtest.h>

#include <climits>
#include <string_view>

#include "text/LeadingInteger.h"

namespace {

TEST(LeadingInteger, ReadsSpaceSignAndDigitsUpToTheFirstOtherCharacter) {
    struct Case {
        std::string_view text;
        std::size_t from;
        bool hasDigits;
        long long value;
        std::size_t end;
        int clamped;
    };
    const Case cases[] = {
        {"", 0, false, 0, 0, 0},
        {"abc", 0, false, 0, 0, 0},
        {"  -", 0, false, 0, 0, 0},
        {"- 5", 0, false, 0, 0, 0},  // no space between sign and digits
        {"42", 0, true, 42, 2, 42},
        {"007x", 0, true, 7, 3, 7},
        {" \t\n\v\f\r-12,3", 0, true, -12, 9, -12},
        {"+8", 0, true, 8, 2, 8},
        {"COM 12", 3, true, 12, 6, 12},
        {"COM", 3, false, 0, 3, 0},
        {"2147483647", 0, true, 2147483647, 10, INT_MAX},
        {"2147483648", 0, true, 2147483648LL, 10, INT_MAX},
        {"-2147483648", 0, true, -2147483648LL, 11, INT_MIN},
        {"-2147483649", 0, true, -2147483649LL, 11, INT_MIN},
        // Far beyond any 32-bit value the magnitude stops growing; the digits
        // are still read to their end.
        {"99999999999999999999999", 0, true, 1LL << 40, 23, INT_MAX},
        {"-99999999999999999999999", 0, true, -(1LL << 40), 24, INT_MIN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.text << "\" from " << c.from);
        const ScannedInteger scanned = scanInteger(c.text, c.from);
        EXPECT_EQ(scanned.hasDigits, c.hasDigits);
        EXPECT_EQ(scanned.value(), c.value);
        EXPECT_EQ(scanned.end, c.end);
        EXPECT_EQ(scanned.clamped(), c.clamped);
    }
}

}  // namespace
