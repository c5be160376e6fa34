#include "records/RecordsTableModel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <random>

#include "journal/JournalFixture.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

class RecordsModelTest : public testing::Test {
  protected:
    void SetUp() override {
        writer_ = openJournal(path_);
        ASSERT_NE(writer_, nullptr);
    }
    void append(std::vector<JournalRecord> records) {
        ASSERT_TRUE(writer_->append(records, nullptr));
    }
    static QString cell(const RecordsTableModel& model, int row, int column) {
        return model.data(model.index(row, column)).toString();
    }
    static std::int64_t idAt(const RecordsTableModel& model, int row) {
        return model.data(model.index(row, 0), RecordsTableModel::IdRole).toLongLong();
    }

    TempDir dir_;
    fs::path path_ = dir_ / "records.sqlite";
    std::unique_ptr<Journal> writer_;
};

// Newest first, each column as the window shows it.
TEST_F(RecordsModelTest, ShowsRecordsNewestFirst) {
    JournalRecord failed = sampleRecord(kDayStartMs + 5'000, -3, "B", "", "lot 9");
    failed.written = false;
    failed.failure = "open: No such file or directory";
    append({sampleRecord(kDayStartMs, 4, "A"), failed});
    const RecordsTableModel model(path_.string());
    ASSERT_EQ(model.rowCount(), 2);
    ASSERT_EQ(model.columnCount(), RecordsTableModel::ColumnCount);
    const QStringList top = {"2026-12-10 01:00:05",
                             "2026-12-10 08:03:04",
                             "-3",
                             "B",
                             "",
                             "lot 9",
                             "not written: open: No such file or directory",
                             "/records/kav20261210080304.csv"};
    for (int column = 0; column < RecordsTableModel::ColumnCount; ++column) {
        EXPECT_EQ(cell(model, 0, column), top[column]) << column;
    }
    EXPECT_EQ(cell(model, 1, RecordsTableModel::Outcome), "written");
    EXPECT_FALSE(model.data(model.index(0, 0), RecordsTableModel::WrittenRole).toBool());
    EXPECT_EQ(idAt(model, 1), 1);
    EXPECT_EQ(model.totals(), (JournalTotals{2, 1}));
    EXPECT_EQ(model.headerData(RecordsTableModel::Count, Qt::Horizontal).toString(), "Count");
}

// New records come in at the top as inserted rows; the rows below keep
// their records; totals and day totals grow with them.
TEST_F(RecordsModelTest, FollowsNewRecordsAsRowsInsertedAtTheTop) {
    append({sampleRecord(kDayStartMs, 1), sampleRecord(kDayStartMs, 2)});
    RecordsTableModel model(path_.string());
    model.setFilter({"", "", ""});
    ASSERT_EQ(idAt(model, 1), 1);
    std::vector<std::pair<int, int>> inserted;
    int totalsTold = 0;
    QObject::connect(
        &model, &QAbstractItemModel::rowsInserted,
        [&](const QModelIndex&, int first, int last) { inserted.emplace_back(first, last); });
    QObject::connect(&model, &RecordsTableModel::totalsChanged, [&] { ++totalsTold; });

    model.refresh();
    EXPECT_TRUE(inserted.empty()) << "nothing new";
    EXPECT_EQ(totalsTold, 0);

    append({sampleRecord(kDayStartMs + kDayMs, 10), sampleRecord(kDayStartMs + kDayMs, 20),
            sampleRecord(kDayStartMs + 2, 5)});
    model.refresh();
    EXPECT_EQ(inserted, (std::vector<std::pair<int, int>>{{0, 2}}));
    ASSERT_EQ(model.rowCount(), 5);
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(idAt(model, row), 5 - row);
    }
    EXPECT_EQ(totalsTold, 1);
    EXPECT_EQ(model.totals(), (JournalTotals{5, 38}));
    EXPECT_EQ(model.dayTotals(),
              (std::vector<DayTotals>{{"2026-12-11", {2, 30}}, {"2026-12-10", {3, 8}}}));

    // Under a filter, only the new records it takes.
    model.setFilter({"2026-12-10", "2026-12-10", ""});
    inserted.clear();
    append({sampleRecord(kDayStartMs + kDayMs, 1), sampleRecord(kDayStartMs + 3, 2)});
    model.refresh();
    EXPECT_EQ(inserted, (std::vector<std::pair<int, int>>{{0, 0}}));
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(idAt(model, 0), 7);
    EXPECT_EQ(idAt(model, 1), 5);
}

// An outcome changed by write again shows at the next refresh.
TEST_F(RecordsModelTest, ReadsChangedOutcomesAgain) {
    JournalRecord failed = sampleRecord(kDayStartMs, 1);
    failed.written = false;
    failed.failure = "disk full";
    append({failed, sampleRecord(kDayStartMs, 2)});
    RecordsTableModel model(path_.string());
    ASSERT_EQ(cell(model, 1, RecordsTableModel::Outcome), "not written: disk full");
    EXPECT_EQ(model.notWrittenIds(10), std::vector<std::int64_t>{1});
    int changed = 0;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&] { ++changed; });

    std::vector<JournalRecord> rewritten;
    const std::vector<std::int64_t> ids = {1};
    ASSERT_TRUE(writer_->writeAgain(
        ids,
        [](std::vector<JournalRecord>& records) {
            records[0].written = true;
            records[0].failure.clear();
            records[0].file = "/again/kav.csv";
        },
        rewritten, nullptr));
    model.refresh();
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(cell(model, 1, RecordsTableModel::Outcome), "written");
    EXPECT_EQ(cell(model, 1, RecordsTableModel::File), "/again/kav.csv");
    EXPECT_TRUE(model.notWrittenIds(10).empty());
}

// Rows read in any order, jumping anywhere, show the record that belongs
// there, whether the filter takes every id (dense) or scattered ones; the
// model never holds more than its pages.
TEST_F(RecordsModelTest, AnyRowInAnyOrderWithBoundedMemory) {
    constexpr int kRecords = 20'000;
    std::vector<JournalRecord> many;
    for (int i = 0; i < kRecords; ++i) {
        many.push_back(sampleRecord(kDayStartMs + i, i, i % 3 == 0 ? "keep" : "skip"));
    }
    append(std::move(many));
    struct Case {
        const char* name;
        JournalFilter filter;
        std::function<std::int64_t(int row, int rows)> idOfRow;
    };
    const Case cases[] = {
        {"every record", {}, [](int row, int rows) { return std::int64_t{rows} - row; }},
        {"every third",
         {"", "", "keep"},
         [](int row, int rows) { return std::int64_t{3} * (rows - 1 - row) + 1; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordsTableModel model(path_.string());
        model.setFilter(c.filter);
        const int rows = model.rowCount();
        ASSERT_EQ(rows, c.filter.slotText.empty() ? kRecords : (kRecords + 2) / 3);
        std::mt19937 random(7);
        std::vector<int> order = {0, rows - 1, rows / 2, 1, rows - 2};
        for (int i = 0; i < 400; ++i) {
            order.push_back(static_cast<int>(random() % static_cast<unsigned>(rows)));
        }
        for (int row = rows - 1; row >= 0; row -= 97) {
            order.push_back(row);
        }
        for (const int row : order) {
            ASSERT_EQ(idAt(model, row), c.idOfRow(row, rows)) << "row " << row;
            ASSERT_LE(model.heldRecords(),
                      RecordsTableModel::kHeldPages * RecordsTableModel::kPageRows);
        }
    }
}

// No journal yet: an empty table that says why; the records appear once the
// writer made it. A journal kept aside and started anew is read anew.
TEST_F(RecordsModelTest, WaitsForTheJournalAndFollowsANewOne) {
    const fs::path later = dir_ / "later/records.sqlite";
    RecordsTableModel model(later.string());
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(model.journalError().isEmpty());
    model.refresh();
    EXPECT_EQ(model.rowCount(), 0);

    auto writer = openJournal(later);
    std::vector<JournalRecord> two = {sampleRecord(kDayStartMs, 1), sampleRecord(kDayStartMs, 2)};
    ASSERT_TRUE(writer->append(two, nullptr));
    model.refresh();
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_TRUE(model.journalError().isEmpty());

    writer.reset();
    testing::internal::CaptureStdout();
    ASSERT_TRUE(Journal::keepAside(later.string(), nullptr));
    testing::internal::GetCapturedStdout();
    writer = openJournal(later);
    std::vector<JournalRecord> one = {sampleRecord(kDayStartMs, 9)};
    ASSERT_TRUE(writer->append(one, nullptr));
    model.refresh();
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(cell(model, 0, RecordsTableModel::Count), "9");
}

}  // namespace
