// The records window offscreen, on real journals in temporary folders.
#include "ui/records/RecordsWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include "journal/JournalFixture.h"
#include "records/RecordsTableModel.h"
#include "records/SheetReading.h"
#include "support/TempDir.h"
#include "support/Wait.h"

namespace {

namespace fs = std::filesystem;

class RecordsWindowTest : public testing::Test {
  protected:
    void SetUp() override { writer_ = openJournal(path_); }
    void append(std::vector<JournalRecord> records) {
        ASSERT_TRUE(writer_->append(records, nullptr));
    }
    static std::int64_t idAt(RecordsWindow& window, int row) {
        return window.model()
            .data(window.model().index(row, 0), RecordsTableModel::IdRole)
            .toLongLong();
    }
    static int topVisibleRow(RecordsWindow& window) { return window.table().rowAt(0); }
    QPushButton* button(RecordsWindow& window, const QString& text) {
        for (QPushButton* b : window.findChildren<QPushButton*>()) {
            if (b->text() == text) {
                return b;
            }
        }
        ADD_FAILURE() << "no button " << text.toStdString();
        return nullptr;
    }
    RecordsWindowSetup setup() {
        RecordsWindowSetup s;
        s.journalPath = path_.string();
        return s;
    }

    TempDir dir_;
    fs::path path_ = dir_ / "records.sqlite";
    std::unique_ptr<Journal> writer_;
};

std::vector<JournalRecord> threeDays() {
    return {sampleRecord(kDayStartMs - 2 * 3'600'000, 10, "Lot-A"),
            sampleRecord(kDayStartMs + 1'000, 4, "reel 1", "lot-b"),
            sampleRecord(kDayStartMs + 2'000, 7, "reel 2"),
            sampleRecord(kDayStartMs + kDayMs, 20, "reel 3", "", "LOT-C")};
}

// Days and slot text narrow what is shown; totals and the day rows follow.
TEST_F(RecordsWindowTest, FiltersAndTotals) {
    append(threeDays());
    RecordsWindow window(setup());
    window.show();
    EXPECT_FALSE(window.isModal());
    EXPECT_TRUE(window.isWindow());
    EXPECT_EQ(window.model().rowCount(), 4);
    EXPECT_EQ(window.totalsText(), "4 records, 41 parts");
    ASSERT_EQ(window.dayTable().rowCount(), 3);
    EXPECT_EQ(window.dayTable().item(0, 0)->text(), "2026-12-11");
    EXPECT_EQ(window.dayTable().item(1, 1)->text(), "2");
    EXPECT_EQ(window.dayTable().item(1, 2)->text(), "11");

    window.setFilter({"2026-12-10", "2026-12-10", ""});
    EXPECT_EQ(window.model().rowCount(), 2);
    EXPECT_EQ(window.totalsText(), "2 records, 11 parts");
    EXPECT_EQ(window.dayTable().rowCount(), 1);

    // Typed text applies once the typing pauses.
    window.setFilter({});
    QLineEdit* text = window.findChild<QLineEdit*>();
    ASSERT_NE(text, nullptr);
    QTest::keyClicks(text, "lot");
    ASSERT_TRUE(waitUntil([&] { return window.model().rowCount() == 3; }));
    EXPECT_EQ(window.totalsText(), "3 records, 34 parts");
    EXPECT_EQ(idAt(window, 0), 4);
    EXPECT_EQ(idAt(window, 2), 1);
}

// What is shown goes to the file the chooser names, CSV or XLSX, and reads
// back as shown.
TEST_F(RecordsWindowTest, ExportsWhatIsShown) {
    append(threeDays());
    RecordsWindowSetup s = setup();
    QString chosen;
    QString asked;
    s.chooseExportFile = [&](QWidget*, const QString& caption, const QString& suggested,
                             const QString&) {
        asked = caption + " / " + suggested;
        return chosen;
    };
    RecordsWindow window(s);
    window.show();
    window.setFilter({"", "", "reel"});
    QSignalSpy finished(&window, &RecordsWindow::exportFinished);

    chosen = QString::fromStdString((dir_ / "shown.csv").string());
    QTest::mouseClick(button(window, "Export CSV..."), Qt::LeftButton);
    ASSERT_TRUE(finished.wait(10'000));
    EXPECT_TRUE(finished.takeFirst().at(0).toBool()) << window.statusText().toStdString();
    EXPECT_TRUE(asked.startsWith("Export the records shown as CSV / records-"))
        << asked.toStdString();
    bool strict = false;
    const std::vector<QStringList> rows =
        parseCsv(QString::fromUtf8(readFile(dir_ / "shown.csv")), strict);
    EXPECT_TRUE(strict);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1][5], "reel 3");
    EXPECT_EQ(rows[3][5], "reel 1");
    EXPECT_EQ(window.statusText(), "Exported 3 records to " + chosen);

    chosen = QString::fromStdString((dir_ / "shown.xlsx").string());
    QTest::mouseClick(button(window, "Export XLSX..."), Qt::LeftButton);
    ASSERT_TRUE(finished.wait(10'000));
    EXPECT_TRUE(finished.takeFirst().at(0).toBool()) << window.statusText().toStdString();
    const auto cells = readSheet(chosen, 1);
    EXPECT_EQ(cells.at({2, 5}).text, "reel 3");
    EXPECT_EQ(cells.at({4, 5}).text, "reel 1");
    EXPECT_EQ(cells.count({5, 0}), 0u);

    // Cancelled in the chooser: nothing happens.
    chosen.clear();
    QTest::mouseClick(button(window, "Export CSV..."), Qt::LeftButton);
    EXPECT_FALSE(finished.wait(300));
}

// A table scrolled down keeps its records in view when new ones come in at
// the top; one at the top shows the new ones.
TEST_F(RecordsWindowTest, FollowsNewRecordsWithoutJumping) {
    std::vector<JournalRecord> many;
    for (int i = 0; i < 500; ++i) {
        many.push_back(sampleRecord(kDayStartMs + i, i));
    }
    append(std::move(many));
    RecordsWindow window(setup());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    append({sampleRecord(kDayStartMs + 600, 1)});
    window.journalChanged();
    QApplication::processEvents();
    EXPECT_EQ(window.table().verticalScrollBar()->value(), 0);
    EXPECT_EQ(topVisibleRow(window), 0);
    EXPECT_EQ(idAt(window, 0), 501) << "at the top: the new record shows";

    window.table().verticalScrollBar()->setValue(200);
    QApplication::processEvents();
    const int row = topVisibleRow(window);
    const std::int64_t shown = idAt(window, row);
    append({sampleRecord(kDayStartMs + 601, 1), sampleRecord(kDayStartMs + 602, 1),
            sampleRecord(kDayStartMs + 603, 1)});
    window.journalChanged();
    QApplication::processEvents();
    EXPECT_EQ(idAt(window, topVisibleRow(window)), shown);
    EXPECT_EQ(topVisibleRow(window), row + 3);
}

// Write again hands over the selected records that were not written, or,
// with nothing selected, all shown that were not.
TEST_F(RecordsWindowTest, WriteAgainHandsOverNotWrittenRecords) {
    std::vector<JournalRecord> records = threeDays();
    records[0].written = false;
    records[2].written = false;
    records[3].written = false;
    append(records);
    std::vector<std::vector<std::int64_t>> handed;
    RecordsWindowSetup s = setup();
    s.writeAgain = [&](std::vector<std::int64_t> ids) { handed.push_back(std::move(ids)); };
    RecordsWindow window(s);
    window.show();
    QPushButton* again = button(window, "Write again");
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->isVisible());

    // Rows 0 and 2 are records 4 (not written) and 2 (written).
    QItemSelectionModel* selection = window.table().selectionModel();
    for (const int row : {0, 2}) {
        selection->select(window.table().model()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QTest::mouseClick(again, Qt::LeftButton);
    selection->clearSelection();
    window.showWriteAgainOutcome(1, 0, {});
    window.setFilter({"2026-12-10", "2026-12-10", ""});
    QTest::mouseClick(again, Qt::LeftButton);
    ASSERT_EQ(handed.size(), 2u);
    EXPECT_EQ(handed[0], std::vector<std::int64_t>{4});
    EXPECT_EQ(handed[1], std::vector<std::int64_t>{3});
    EXPECT_EQ(window.statusText(), "Writing 1 records again...");

    window.showWriteAgainOutcome(0, 1, "open: No such file or directory");
    EXPECT_EQ(window.statusText(),
              "Written again: 0 records; 1 still not written: open: No such file or directory");
    RecordsWindow without(setup());
    EXPECT_EQ(button(without, "Write again")->isVisibleTo(&without), false);
}

TEST_F(RecordsWindowTest, SaysWhenTheJournalIsNotKept) {
    RecordsWindow window(setup());
    window.show();
    window.showJournalStatus(false, "database or disk is full");
    const QList<QLabel*> labels = window.findChildren<QLabel*>();
    const auto shown = std::find_if(labels.begin(), labels.end(), [](QLabel* l) {
        return l->isVisible() && l->text().startsWith("The journal is not being kept");
    });
    ASSERT_NE(shown, labels.end());
    EXPECT_EQ((*shown)->text(),
              "The journal is not being kept: database or disk is full. Records still go to "
              "their files.");
    window.showJournalStatus(true, {});
    EXPECT_FALSE((*shown)->isVisible());
}

// A journal of 100,000 records scrolled from top to bottom: every screen
// shows the records that belong there, and the window holds only pages.
TEST_F(RecordsWindowTest, ScrollsAJournalOf100000Records) {
    constexpr int kRecords = 100'000;
    std::vector<JournalRecord> many;
    many.reserve(kRecords);
    for (int i = 0; i < kRecords; ++i) {
        many.push_back(sampleRecord(kDayStartMs + i * 1'000LL, i % 50, "R" + std::to_string(i)));
    }
    append(std::move(many));
    RecordsWindow window(setup());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QScrollBar* bar = window.table().verticalScrollBar();
    ASSERT_GT(bar->maximum(), kRecords - 100);
    int screens = 0;
    for (int value = 0;; value = std::min(value + 8 * bar->pageStep(), bar->maximum())) {
        bar->setValue(value);
        window.table().viewport()->repaint();
        const int top = topVisibleRow(window);
        // At the end, the last row shows whole and the one above it in part.
        ASSERT_TRUE(top == value || (value == bar->maximum() && top == value - 1)) << value;
        ASSERT_EQ(idAt(window, top), kRecords - top);
        ASSERT_EQ(window.model().data(window.model().index(top, RecordsTableModel::S0)).toString(),
                  QString("R%1").arg(kRecords - top - 1));
        ASSERT_LE(window.model().heldRecords(),
                  RecordsTableModel::kHeldPages * RecordsTableModel::kPageRows);
        ++screens;
        if (value == bar->maximum()) {
            break;
        }
    }
    EXPECT_GT(screens, 100);
    const int last = window.table().rowAt(window.table().viewport()->height() - 2);
    EXPECT_EQ(last, kRecords - 1);
    EXPECT_EQ(idAt(window, last), 1);
    EXPECT_EQ(window.totalsText(), "100,000 records, 2,450,000 parts");
}

}  // namespace
