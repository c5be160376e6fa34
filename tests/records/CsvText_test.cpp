#include "records/CsvText.h"

#include <gtest/gtest.h>

namespace {

TEST(CsvText, GuardsTextsASpreadsheetWouldRun) {
    struct Case {
        const char* text;
        const char* guarded;
    };
    for (const Case& c :
         {Case{"=1+2", "'=1+2"}, Case{"+31 6", "'+31 6"}, Case{"-5", "'-5"},
          Case{"@SUM(A1)", "'@SUM(A1)"}, Case{"\tx", "'\tx"}, Case{"\rx", "'\rx"},
          Case{"a=b", "a=b"}, Case{"'quoted", "'quoted"}, Case{"", ""}, Case{" =x", " =x"}}) {
        EXPECT_EQ(csvtext::guardFormula(QString::fromUtf8(c.text)), QString::fromUtf8(c.guarded))
            << c.text;
    }
}

TEST(CsvText, QuotesFieldsThatNeedIt) {
    struct Case {
        const char* text;
        const char* field;
    };
    for (const Case& c :
         {Case{"plain", "plain"}, Case{"a,b", "\"a,b\""}, Case{"say \"hi\"", "\"say \"\"hi\"\"\""},
          Case{"two\r\nlines", "\"two\r\nlines\""}, Case{"lf\n", "\"lf\n\""}, Case{"", ""},
          Case{"  spaced ", "  spaced "}}) {
        EXPECT_EQ(csvtext::field(QString::fromUtf8(c.text)), QString::fromUtf8(c.field)) << c.text;
    }
}

}  // namespace
