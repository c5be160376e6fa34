#include "records/RecordsTableModel.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <utility>

#include "records/RecordCells.h"

RecordsTableModel::RecordsTableModel(std::string journalPath, QObject* parent)
    : QAbstractTableModel(parent), path_(std::move(journalPath)) {
    if (openJournal()) {
        readSpan();
    }
}

RecordsTableModel::~RecordsTableModel() = default;

namespace {

// Which file the path names now; a journal kept aside and started anew is another.
std::pair<dev_t, ino_t> fileAt(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {0, 0};
    }
    return {st.st_dev, st.st_ino};
}

}  // namespace

bool RecordsTableModel::openJournal() {
    if (journal_) {
        return true;
    }
    std::string error;
    journal_ = Journal::open(path_, JournalAccess::Read, &error);
    journalError_ = journal_ ? QString() : QString::fromStdString(error);
    file_ = journal_ ? fileAt(path_) : std::pair<dev_t, ino_t>{};
    return journal_ != nullptr;
}

// Everything the filter takes, as one state of the journal.
void RecordsTableModel::readSpan() {
    journal_->beginRead();
    newestSeen_ = journal_->newestId();
    outcomeChanges_ = journal_->outcomeChanges();
    JournalSummary summary = journal_->summary(filter_);
    journal_->endRead();
    span_ = summary.span;
    totals_ = summary.totals;
    days_ = std::move(summary.days);
    rows_ = std::min<std::int64_t>(span_.records, INT_MAX);
}

void RecordsTableModel::setFilter(JournalFilter filter) {
    beginResetModel();
    filter_ = std::move(filter);
    forgetPages();
    anchors_.clear();
    span_ = {};
    rows_ = 0;
    totals_ = {};
    days_.clear();
    if (openJournal()) {
        readSpan();
    }
    endResetModel();
    Q_EMIT totalsChanged();
}

void RecordsTableModel::refresh() {
    if (journal_ && fileAt(path_) != file_) {
        journal_.reset();  // the writer started a new journal: read that one
        setFilter(filter_);
        return;
    }
    if (!journal_) {
        if (openJournal()) {
            setFilter(filter_);
        }
        return;
    }
    journal_->beginRead();
    const std::int64_t newest = journal_->newestId();
    const std::int64_t changes = journal_->outcomeChanges();
    JournalSummary summary;
    if (newest > newestSeen_) {
        summary = journal_->summary(filter_, newestSeen_);
    }
    journal_->endRead();
    const JournalSpan& added = summary.span;
    newestSeen_ = std::max(newest, newestSeen_);

    if (changes != outcomeChanges_) {
        outcomeChanges_ = changes;
        forgetPages();  // the ids stay where they are: anchors still hold
        if (rows_ > 0) {
            Q_EMIT dataChanged(index(0, 0), index(static_cast<int>(rows_) - 1, ColumnCount - 1));
        }
    }
    if (added.records == 0) {
        return;
    }
    const std::int64_t room = INT_MAX - rows_;
    const std::int64_t inserted = std::min(added.records, room);
    if (inserted > 0) {
        // The top page was cut short at the old top: it is read again.
        if (rows_ > 0) {
            dropPage((rows_ - 1) / kPageRows);
        }
        beginInsertRows(QModelIndex(), 0, static_cast<int>(inserted) - 1);
        if (span_.records == 0) {
            span_.lowestId = added.lowestId;
        }
        span_.records += added.records;
        span_.highestId = added.highestId;
        rows_ += inserted;
        endInsertRows();
    }
    totals_ += summary.totals;
    for (const DayTotals& day : summary.days) {
        const auto at = std::find_if(days_.begin(), days_.end(),
                                     [&](const DayTotals& d) { return d.day <= day.day; });
        if (at != days_.end() && at->day == day.day) {
            at->totals += day.totals;
        } else {
            days_.insert(at, day);
        }
    }
    Q_EMIT totalsChanged();
}

std::optional<std::int64_t> RecordsTableModel::knownId(std::int64_t position) const {
    if (position < 0) {
        return span_.lowestId - 1;
    }
    if (position >= rows_) {
        return span_.highestId + 1;
    }
    // Every id from the lowest to the highest is taken: the id is the position.
    if (span_.highestId - span_.lowestId + 1 == span_.records) {
        return span_.lowestId + position;
    }
    const auto found = anchors_.find(position);
    if (found == anchors_.end()) {
        return std::nullopt;
    }
    return found->second;
}

const RecordsTableModel::Page* RecordsTableModel::loadPage(std::int64_t page) const {
    if (const auto found = pages_.find(page); found != pages_.end()) {
        pageUse_.splice(pageUse_.begin(), pageUse_, found->second.use);
        return &found->second;
    }
    if (!journal_) {
        return nullptr;
    }
    const std::int64_t first = page * kPageRows;
    const std::int64_t last = std::min(first + kPageRows, rows_) - 1;
    const auto count = static_cast<std::size_t>(last - first + 1);

    // From the nearest known id below the page or above it, skipping the
    // records in between.
    std::int64_t below = first - 1;
    std::optional<std::int64_t> belowId = knownId(below);
    if (!belowId) {
        const auto anchor = anchors_.lower_bound(first);
        if (anchor == anchors_.begin()) {
            below = -1;
        } else {
            below = std::prev(anchor)->first;
        }
        belowId = knownId(below);
    }
    std::int64_t above = last + 1;
    std::optional<std::int64_t> aboveId = knownId(above);
    if (!aboveId) {
        const auto anchor = anchors_.upper_bound(last);
        above = anchor == anchors_.end() ? rows_ : anchor->first;
        aboveId = knownId(above);
    }
    std::vector<JournalRecord> records;
    if (first - below - 1 <= above - last - 1) {
        records = journal_->pageAbove(filter_, *belowId, span_.highestId,
                                      static_cast<std::size_t>(first - below - 1), count);
    } else {
        records = journal_->pageBelow(filter_, span_.lowestId, *aboveId,
                                      static_cast<std::size_t>(above - last - 1), count);
        std::reverse(records.begin(), records.end());
    }
    if (!records.empty()) {
        anchors_[first] = records.front().id;
        anchors_[first + static_cast<std::int64_t>(records.size()) - 1] = records.back().id;
    }
    while (pages_.size() >= kHeldPages) {
        dropPage(pageUse_.back());
    }
    pageUse_.push_front(page);
    Page& held = pages_[page];
    held.records = std::move(records);
    held.use = pageUse_.begin();
    return &held;
}

void RecordsTableModel::dropPage(std::int64_t page) const {
    const auto found = pages_.find(page);
    if (found != pages_.end()) {
        pageUse_.erase(found->second.use);
        pages_.erase(found);
    }
}

void RecordsTableModel::forgetPages() const {
    pages_.clear();
    pageUse_.clear();
}

const JournalRecord* RecordsTableModel::recordAtPosition(std::int64_t position) const {
    if (position < 0 || position >= rows_) {
        return nullptr;
    }
    const Page* page = loadPage(position / kPageRows);
    if (page == nullptr) {
        return nullptr;
    }
    const auto at = static_cast<std::size_t>(position % kPageRows);
    return at < page->records.size() ? &page->records[at] : nullptr;
}

std::optional<JournalRecord> RecordsTableModel::recordAt(int row) const {
    if (const JournalRecord* record = recordAtPosition(positionOf(row))) {
        return *record;
    }
    return std::nullopt;
}

std::vector<std::int64_t> RecordsTableModel::notWrittenIds(std::size_t limit) const {
    return journal_ ? journal_->notWrittenIds(filter_, limit) : std::vector<std::int64_t>{};
}

std::size_t RecordsTableModel::heldRecords() const {
    std::size_t held = 0;
    for (const auto& [number, page] : pages_) {
        held += page.records.size();
    }
    return held;
}

int RecordsTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_);
}

int RecordsTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordsTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_) {
        return {};
    }
    const JournalRecord* r = recordAtPosition(positionOf(index.row()));
    if (r == nullptr) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case Arrival:
                    return recordcells::arrival(*r);
                case MachineTime:
                    return recordcells::text(r->machineTime);
                case Count:
                    return r->count;
                case S0:
                case S1:
                case S2:
                    return recordcells::text(
                        r->slots[static_cast<std::size_t>(index.column() - S0)]);
                case Outcome:
                    return recordcells::outcome(*r);
                case File:
                    return recordcells::text(r->file);
                default:
                    return {};
            }
        case Qt::ToolTipRole:
            if (index.column() == Outcome || index.column() == File) {
                return data(index, Qt::DisplayRole);
            }
            if (index.column() == Arrival) {
                return recordcells::arrival(*r) + QStringLiteral(" (") +
                       recordcells::utcOffset(*r) + QStringLiteral(", ") +
                       recordcells::text(r->link) + QLatin1Char(')');
            }
            return {};
        case Qt::TextAlignmentRole:
            if (index.column() == Count) {
                return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
            }
            return {};
        case IdRole:
            return QVariant::fromValue<qint64>(r->id);
        case WrittenRole:
            return r->written;
        default:
            return {};
    }
}

QVariant RecordsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
        case Arrival:
            return tr("Arrived");
        case MachineTime:
            return tr("Machine time");
        case Count:
            return tr("Count");
        case S0:
            return QStringLiteral("S0");
        case S1:
            return QStringLiteral("S1");
        case S2:
            return QStringLiteral("S2");
        case Outcome:
            return tr("Outcome");
        case File:
            return tr("File");
        default:
            return {};
    }
}
