#include "records/RecordsExport.h"

#include <gtest/gtest.h>

#include <QString>

#include <cmath>
#include <filesystem>

#include "journal/JournalFixture.h"
#include "records/SheetReading.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

class RecordsExportTest : public testing::Test {
  protected:
    void SetUp() override {
        journal_ = openJournal(dir_ / "records.sqlite");
        ASSERT_NE(journal_, nullptr);
        std::vector<JournalRecord> records = {
            sampleRecord(kDayStartMs + 1'000, -5, "=HYPERLINK(\"http://x\")", "a,b", "two\nlines"),
            sampleRecord(kDayStartMs + 2'000, 12, "bad \xff byte", "", "@cmd"),
            sampleRecord(kDayStartMs + 3'000, 7, "bell \x07", "+1", "say \"hi\""),
        };
        records[0].machineTime = "-12:00";
        records[1].link = "COM7";
        records[1].written = false;
        records[1].failure = "write: No space left on device";
        ASSERT_TRUE(journal_->append(records, nullptr));
    }

    ExportResult exportTo(const std::string& name, ExportFormat format,
                          const JournalFilter& filter = {}) {
        const std::atomic<bool> cancel{false};
        return exportRecords(*journal_, filter, format, (dir_ / name).string(), cancel);
    }

    TempDir dir_;
    std::unique_ptr<Journal> journal_;
};

const QStringList kHeader = {"Id", "Arrived", "UTC offset", "Machine time", "Count", "S0",
                             "S1", "S2",      "Link",       "Outcome",      "File"};

// The file parses as RFC 4180 in UTF-8 and reads as the window shows the
// records, newest first; texts a spreadsheet would run begin with an
// apostrophe, numbers stay numbers.
TEST_F(RecordsExportTest, CsvReadsBackAsShown) {
    const ExportResult result = exportTo("out.csv", ExportFormat::Csv);
    ASSERT_TRUE(result.done) << result.error;
    EXPECT_EQ(result.records, 3);
    const std::string bytes = readFile(dir_ / "out.csv");
    EXPECT_EQ(QString::fromUtf8(bytes).toUtf8().toStdString(), bytes) << "valid UTF-8";
    bool strict = false;
    const std::vector<QStringList> rows = parseCsv(QString::fromUtf8(bytes), strict);
    EXPECT_TRUE(strict);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], kHeader);
    EXPECT_EQ(rows[1],
              (QStringList{"3", "2026-12-10 01:00:03", "UTC+01:00", "2026-12-10 08:03:04", "7",
                           QString::fromUtf8("bell \x07"), "'+1", "say \"hi\"",
                           "NET 192.168.1.20:5000", "written", "/records/kav20261210080304.csv"}));
    EXPECT_EQ(rows[2][3], "2026-12-10 08:03:04");
    EXPECT_EQ(rows[2][4], "12");
    EXPECT_EQ(rows[2][5], QString::fromUtf8("bad \xef\xbf\xbd byte"));
    EXPECT_EQ(rows[2][7], "'@cmd");
    EXPECT_EQ(rows[2][8], "COM7");
    EXPECT_EQ(rows[2][9], "not written: write: No space left on device");
    EXPECT_EQ(rows[3][3], "'-12:00");
    EXPECT_EQ(rows[3][4], "-5") << "a count is a number, not a formula";
    EXPECT_EQ(rows[3][5], "'=HYPERLINK(\"http://x\")");
    EXPECT_EQ(rows[3][6], "a,b");
    EXPECT_EQ(rows[3][7], "two\nlines");
}

// What a filter takes, nothing else; only the file itself is left behind.
TEST_F(RecordsExportTest, ExportsWhatTheFilterTakesAndLeavesNoPartFile) {
    const ExportResult result = exportTo("some.csv", ExportFormat::Csv, {"", "", "hyperlink"});
    ASSERT_TRUE(result.done) << result.error;
    EXPECT_EQ(result.records, 1);
    bool strict = false;
    EXPECT_EQ(parseCsv(QString::fromUtf8(readFile(dir_ / "some.csv")), strict).size(), 2u);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"records.sqlite", "records.sqlite-shm",
                                               "records.sqlite-wal", "some.csv"}));
}

// Excel counts days from 1899-12-30.
double serialOf(std::int64_t utcMs, std::int32_t offset) {
    const std::int64_t localSeconds = utcMs / 1000 + offset;
    return static_cast<double>(localSeconds) / 86'400.0 + 25'569.0;  // 1970-01-01 is 25569
}

// The sheet holds numbers as numbers, the arrival as a date-time, every text
// as a text cell (none a formula, whatever it begins with).
TEST_F(RecordsExportTest, XlsxSheetHoldsTypedCellsAndNoFormula) {
    const ExportResult result = exportTo("out.xlsx", ExportFormat::Xlsx);
    ASSERT_TRUE(result.done) << result.error;
    const QString file = QString::fromStdString((dir_ / "out.xlsx").string());
    const auto cells = readSheet(file, 1);
    ASSERT_FALSE(cells.empty());
    for (int column = 0; column < kHeader.size(); ++column) {
        EXPECT_EQ(cells.at({1, column}).text, kHeader[column]);
    }
    for (const auto& [place, cell] : cells) {
        EXPECT_FALSE(cell.formula) << "row " << place.first << " column " << place.second;
    }
    const auto isText = [](const SheetCell& c) { return c.type == "s" || c.type == "inlineStr"; };
    // Row 4 is the oldest record.
    EXPECT_EQ(cells.at({4, 0}).text, "1");
    EXPECT_FALSE(isText(cells.at({4, 0})));
    EXPECT_EQ(cells.at({4, 4}).text, "-5");
    EXPECT_FALSE(isText(cells.at({4, 4})));
    EXPECT_NEAR(cells.at({4, 1}).text.toDouble(), serialOf(kDayStartMs + 1'000, 3600), 1e-6);
    EXPECT_TRUE(isText(cells.at({4, 5})));
    EXPECT_EQ(cells.at({4, 5}).text, "=HYPERLINK(\"http://x\")");
    EXPECT_EQ(cells.at({4, 7}).text, "two\nlines");
    EXPECT_EQ(cells.at({3, 7}).text, "@cmd");
    EXPECT_EQ(cells.at({3, 9}).text, "not written: write: No space left on device");
    EXPECT_EQ(cells.at({2, 5}).text, QString::fromUtf8("bell \xef\xbf\xbd"))
        << "a control character is no XML";
    EXPECT_EQ(cells.count({5, 0}), 0u);
}

// A cancelled export or one that cannot be made leaves no file.
TEST_F(RecordsExportTest, ACancelledOrFailedExportLeavesNoFile) {
    const std::atomic<bool> cancel{true};
    for (const ExportFormat format : {ExportFormat::Csv, ExportFormat::Xlsx}) {
        const ExportResult cancelled =
            exportRecords(*journal_, {}, format, (dir_ / "x.out").string(), cancel);
        EXPECT_FALSE(cancelled.done);
        EXPECT_EQ(cancelled.error, "cancelled");
        EXPECT_FALSE(fs::exists(dir_ / "x.out"));
        const ExportResult failed = exportTo("gone/x.out", format);
        EXPECT_FALSE(failed.done);
        EXPECT_NE(failed.error.find("No such file or directory"), std::string::npos)
            << failed.error;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 3);
}

}  // namespace
