#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <sys/types.h>

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "journal/Journal.h"

// The records window's table: the journal's records the filter takes, newest
// first, read from the database a page at a time. Only the pages in view and
// a few around them are held (at most kHeldPages), never the whole journal.
// Records that arrive later come in at the top through refresh(), rows
// inserted there, so a view scrolled down can keep its place; outcomes that
// changed (write again) are read again. Its own read connection, on the
// thread that owns the model.
class RecordsTableModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { Arrival, MachineTime, Count, S0, S1, S2, Outcome, File, ColumnCount };
    enum Role {
        IdRole = Qt::UserRole,  // the journal id (qint64)
        WrittenRole,            // the record file took it (bool)
    };
    static constexpr std::int64_t kPageRows = 128;
    static constexpr std::size_t kHeldPages = 48;

    explicit RecordsTableModel(std::string journalPath, QObject* parent = nullptr);
    ~RecordsTableModel() override;

    const std::string& journalPath() const { return path_; }
    // Why the journal cannot be read (not made yet, damaged); empty when it is.
    const QString& journalError() const { return journalError_; }

    // Shows what `filter` takes, from the top.
    void setFilter(JournalFilter filter);
    const JournalFilter& filter() const { return filter_; }
    // Of what the filter takes.
    JournalTotals totals() const { return totals_; }
    const std::vector<DayTotals>& dayTotals() const { return days_; }

    // Takes in what changed since: new records the filter takes (inserted at
    // the top) and changed outcomes. Opens the journal if it could not be
    // opened before. Cheap when nothing changed.
    void refresh();

    // The record in `row`, read if need be; nothing for a row out of range.
    std::optional<JournalRecord> recordAt(int row) const;
    // The ids of the records the filter takes that were not written, newest
    // first, at most `limit`.
    std::vector<std::int64_t> notWrittenIds(std::size_t limit) const;
    // Records held in memory now.
    std::size_t heldRecords() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  Q_SIGNALS:
    // Totals, day totals or the journal's error changed.
    void totalsChanged();

  private:
    struct Page {
        std::vector<JournalRecord> records;  // oldest first
        std::list<std::int64_t>::iterator use;
    };

    bool openJournal();
    void readSpan();
    // Rows count from the top (newest); positions from the bottom (oldest = 0),
    // which new records at the top leave as they are.
    std::int64_t positionOf(int row) const { return rows_ - 1 - row; }
    const JournalRecord* recordAtPosition(std::int64_t position) const;
    const Page* loadPage(std::int64_t page) const;
    // The id at a known position; -1 and rows_ stand for beyond either end.
    std::optional<std::int64_t> knownId(std::int64_t position) const;
    void dropPage(std::int64_t page) const;
    void forgetPages() const;

    std::string path_;
    mutable std::unique_ptr<Journal> journal_;
    std::pair<dev_t, ino_t> file_{};  // the file journal_ reads
    QString journalError_;
    JournalFilter filter_;
    JournalSpan span_;
    std::int64_t rows_ = 0;
    std::int64_t newestSeen_ = 0;  // the journal's highest id when last read
    std::int64_t outcomeChanges_ = 0;
    JournalTotals totals_;
    std::vector<DayTotals> days_;

    mutable std::unordered_map<std::int64_t, Page> pages_;
    mutable std::list<std::int64_t> pageUse_;               // most recently used first
    mutable std::map<std::int64_t, std::int64_t> anchors_;  // position -> id
};
