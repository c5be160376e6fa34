// The reads behind the records window: which records a filter takes, in
// what order, their pages and totals.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "journal/Journal.h"
#include "journal/JournalFixture.h"
#include "journal/LocalDay.h"
#include "support/TempDir.h"

namespace {

constexpr std::int64_t kHourMs = 3'600'000;

// Seven records over three local days. The offset decides the day: record 2
// arrived on 9 December UTC but 10 December local time.
std::vector<JournalRecord> sevenRecords() {
    const std::int64_t dec10 = kDayStartMs;
    std::vector<JournalRecord> r = {
        sampleRecord(dec10 - 2 * kHourMs, 10, "Lot-A", "", ""),             // 9 Dec 23:00 +1
        sampleRecord(dec10 - kHourMs + 60'000, -2, "lot-b", "x", ""),       // 10 Dec 00:01 +1
        sampleRecord(dec10 + 8 * kHourMs, 5, "", "LOT-C", ""),              // 10 Dec
        sampleRecord(dec10 + 9 * kHourMs, 7, "100%", "", "under_score"),    // 10 Dec
        sampleRecord(dec10 + 10 * kHourMs, 1, "1000", "", "underXscore"),   // 10 Dec
        sampleRecord(dec10 + kDayMs, 20, "Reel 9", "", ""),                 // 11 Dec
        sampleRecord(dec10 + kDayMs + kHourMs, 3, "reel 10", "", "lot-z"),  // 11 Dec
    };
    r[2].written = false;
    r[2].failure = "disk full";
    r[5].written = false;
    r[5].failure = "folder gone";
    return r;
}

struct FilterCase {
    const char* name;
    JournalFilter filter;
    std::vector<std::int64_t> ids;  // newest first
    JournalTotals totals;
    std::vector<DayTotals> days;
};

void PrintTo(const FilterCase& c, std::ostream* os) {
    *os << c.name;
}

const FilterCase kFilters[] = {
    {"Everything",
     {},
     {7, 6, 5, 4, 3, 2, 1},
     {7, 44},
     {{"2026-12-11", {2, 23}}, {"2026-12-10", {4, 11}}, {"2026-12-09", {1, 10}}}},
    {"OneDayByLocalTime",
     {"2026-12-10", "2026-12-10", ""},
     {5, 4, 3, 2},
     {4, 11},
     {{"2026-12-10", {4, 11}}}},
    {"FromADay",
     {"2026-12-10", "", ""},
     {7, 6, 5, 4, 3, 2},
     {6, 34},
     {{"2026-12-11", {2, 23}}, {"2026-12-10", {4, 11}}}},
    {"UpToADay", {"", "2026-12-09", ""}, {1}, {1, 10}, {{"2026-12-09", {1, 10}}}},
    {"ADayWithoutRecords", {"2026-12-12", "2026-12-31", ""}, {}, {0, 0}, {}},
    {"TextInAnySlotAnyCase",
     {"", "", "lot"},
     {7, 3, 2, 1},
     {4, 16},
     {{"2026-12-11", {1, 3}}, {"2026-12-10", {2, 3}}, {"2026-12-09", {1, 10}}}},
    {"PercentIsPlainText", {"", "", "0%"}, {4}, {1, 7}, {{"2026-12-10", {1, 7}}}},
    {"UnderscoreIsPlainText", {"", "", "r_s"}, {4}, {1, 7}, {{"2026-12-10", {1, 7}}}},
    {"DaysAndText",
     {"2026-12-10", "2026-12-11", "reel"},
     {7, 6},
     {2, 23},
     {{"2026-12-11", {2, 23}}}},
};

// One journal of sevenRecords() for the whole suite; each test reads it
// through a connection of its own.
class SevenRecords {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        auto journal = openJournal(*dir_ / "records.sqlite");
        std::vector<JournalRecord> records = sevenRecords();
        ASSERT_TRUE(journal->append(records, nullptr));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    std::unique_ptr<Journal> reader() {
        return openJournal(*dir_ / "records.sqlite", JournalAccess::Read);
    }
    static std::vector<std::int64_t> idsOf(const std::vector<JournalRecord>& records) {
        std::vector<std::int64_t> ids;
        for (const JournalRecord& r : records) {
            ids.push_back(r.id);
        }
        return ids;
    }

    static TempDir* dir_;
};

TempDir* SevenRecords::dir_ = nullptr;

class JournalQueries : public SevenRecords, public testing::TestWithParam<FilterCase> {
  protected:
    static void SetUpTestSuite() { SevenRecords::SetUpTestSuite(); }
    static void TearDownTestSuite() { SevenRecords::TearDownTestSuite(); }
};

class JournalPages : public SevenRecords, public testing::Test {
  protected:
    static void SetUpTestSuite() { SevenRecords::SetUpTestSuite(); }
    static void TearDownTestSuite() { SevenRecords::TearDownTestSuite(); }
};

// Span, one big page, the export's pass and the totals agree on the records
// a filter takes.
TEST_P(JournalQueries, TakeTheRecordsTheFilterNames) {
    const FilterCase& c = GetParam();
    const auto journal = reader();
    const JournalSpan span = journal->span(c.filter);
    EXPECT_EQ(span.records, static_cast<std::int64_t>(c.ids.size()));
    if (!c.ids.empty()) {
        EXPECT_EQ(span.highestId, c.ids.front());
        EXPECT_EQ(span.lowestId, c.ids.back());
    }
    EXPECT_EQ(idsOf(journal->pageBelow(c.filter, span.lowestId, span.highestId + 1, 0, 100)),
              c.ids);
    std::vector<std::int64_t> passed;
    std::string error;
    EXPECT_TRUE(journal->forEach(
        c.filter,
        [&](const JournalRecord& r) {
            passed.push_back(r.id);
            return true;
        },
        &error));
    EXPECT_EQ(passed, c.ids);
    EXPECT_EQ(journal->totals(c.filter), c.totals);
    EXPECT_EQ(journal->dayTotals(c.filter), c.days);
}

INSTANTIATE_TEST_SUITE_P(Filters, JournalQueries, testing::ValuesIn(kFilters),
                         [](const auto& info) { return std::string(info.param.name); });

// Pages from either end, with records skipped, stay within the bounds given.
TEST_F(JournalPages, FromEitherEndWithinTheirBounds) {
    const auto journal = reader();
    const JournalFilter all;
    const JournalFilter lot{"", "", "lot"};
    using Ids = std::vector<std::int64_t>;
    EXPECT_EQ(idsOf(journal->pageBelow(all, 1, 8, 2, 3)), (Ids{5, 4, 3}));
    EXPECT_EQ(idsOf(journal->pageAbove(all, 0, 7, 1, 2)), (Ids{2, 3}));
    EXPECT_EQ(idsOf(journal->pageBelow(lot, 1, 8, 1, 2)), (Ids{3, 2}));
    EXPECT_EQ(idsOf(journal->pageBelow(lot, 2, 8, 0, 10)), (Ids{7, 3, 2}));
    EXPECT_EQ(idsOf(journal->pageAbove(lot, 1, 3, 0, 10)), (Ids{2, 3}));
    EXPECT_EQ(idsOf(journal->pageBelow(all, 1, 1, 0, 10)), Ids{});
}

// What came after a known id, as the window follows new records.
TEST_F(JournalPages, CountsOnlyWhatCameAfterAnId) {
    const auto journal = reader();
    EXPECT_EQ(journal->span({"", "", "lot"}, 2), (JournalSpan{2, 3, 7}));
    EXPECT_EQ(journal->span({}, 7), JournalSpan{});
    EXPECT_EQ(journal->totals({}, 5), (JournalTotals{2, 23}));
    EXPECT_EQ(journal->dayTotals({}, 4),
              (std::vector<DayTotals>{{"2026-12-11", {2, 23}}, {"2026-12-10", {1, 1}}}));
    EXPECT_EQ(journal->newestId(), 7);
}

TEST_F(JournalPages, NotWrittenRecordsNewestFirst) {
    const auto journal = reader();
    using Ids = std::vector<std::int64_t>;
    EXPECT_EQ(journal->notWrittenIds({}, 10), (Ids{6, 3}));
    EXPECT_EQ(journal->notWrittenIds({"2026-12-10", "2026-12-10", ""}, 10), Ids{3});
    EXPECT_EQ(journal->notWrittenIds({}, 1), Ids{6});
}

TEST(LocalDay, DayAndTimeAtTheOffsetOfArrival) {
    struct Case {
        std::int64_t utcMs;
        std::int32_t offset;
        const char* day;
        const char* time;
    };
    for (const Case& c : {
             Case{kDayStartMs, 0, "2026-12-10", "2026-12-10 00:00:00"},
             Case{kDayStartMs - 1, 0, "2026-12-09", "2026-12-09 23:59:59"},
             Case{kDayStartMs + 999, -3600, "2026-12-09", "2026-12-09 23:00:00"},
             Case{kDayStartMs + 23 * kHourMs, 5 * 3600 + 1800, "2026-12-11", "2026-12-11 04:30:00"},
             Case{0, 0, "1970-01-01", "1970-01-01 00:00:00"},
             Case{951'782'400'000, 0, "2000-02-29", "2000-02-29 00:00:00"},
         }) {
        EXPECT_EQ(localDayOf(c.utcMs, c.offset), c.day) << c.utcMs;
        EXPECT_EQ(localTimeOf(c.utcMs, c.offset), c.time) << c.utcMs;
    }
}

}  // namespace
