#include "text/TextConv.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TextConv, AsciiRoundTripsAtEveryLength) {
    for (int length : {0, 1, 31, 32, 33, 127, 128, 200}) {
        std::string ascii;
        for (int i = 0; i < length; ++i) {
            ascii += static_cast<char>(' ' + i % 95);
        }
        const QString wide = decodeUtf8(ascii);
        EXPECT_EQ(wide.size(), length);
        EXPECT_EQ(encodeUtf8(wide), ascii) << "length " << length;
    }
}

TEST(TextConv, LineBreaksAndNonAsciiSurvive) {
    const std::string lines = "N\r\nq514\r\n\"Q`TY:\"\r\n";
    EXPECT_EQ(encodeUtf8(decodeUtf8(lines)), lines);
    const QString chinese = QString::fromUtf8("打开COM失败!");
    EXPECT_EQ(decodeUtf8(encodeUtf8(chinese)), chinese);
}

TEST(TextConv, InvalidInputBecomesReplacementCharacterWithoutThrowing) {
    EXPECT_EQ(decodeUtf8(std::string("a\xff\xfe"
                                     "b")),
              QString::fromUtf8("a\uFFFD\uFFFDb"));
    const QString cut = decodeUtf8(std::string("\xe6\x89", 2));  // a character cut short
    ASSERT_FALSE(cut.isEmpty());
    EXPECT_EQ(cut.count(QChar(0xFFFD)), cut.size());
    const QString loneSurrogate(QChar(0xD800));
    const std::string narrow = encodeUtf8(QStringLiteral("x") + loneSurrogate);
    EXPECT_EQ(narrow.substr(0, 1), "x");
    EXPECT_EQ(decodeUtf8(narrow).size(), 2);
}

TEST(TextConv, NulBytesAreKept) {
    const std::string withNul("a\0b", 3);
    EXPECT_EQ(encodeUtf8(decodeUtf8(withNul)), withNul);
}

}  // namespace
