#include "records/JournalStatusText.h"

#include <gtest/gtest.h>

namespace {

TEST(JournalStatusText, SaysWhyAndHowManyRecordsWait) {
    EXPECT_EQ(describeJournal({}), QString());
    EXPECT_EQ(describeJournal({false, "database or disk is full", 0, 0}),
              "Journal not kept: database or disk is full");
    EXPECT_EQ(describeJournal({false, "read-only", 12, 0}),
              "Journal not kept: read-only; 12 records wait for it");
    EXPECT_EQ(
        describeJournal({false, "read-only", 10000, 3}),
        "Journal not kept: read-only; 10000 records wait for it; 3 records will not be in it");
}

}  // namespace
