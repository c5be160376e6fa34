// The records window's reads: spans, pages, totals and the export's pass.
// Records run newest first, by id. A day filter finds its ids through the day
// index once (span); pages then walk the ids within that span, so that a page
// of an old day never reads the days after it.
#include <sqlite3.h>

#include <algorithm>
#include <limits>

#include "journal/Journal.h"
#include "journal/RecordRow.h"
#include "journal/SqlStatement.h"

namespace {

// The filter's terms, each after " AND ". With `byDay` the day bounds may
// choose the day index; without, they only sort out the rows met on the way
// along the ids.
std::string filterTerms(const JournalFilter& filter, bool byDay) {
    const std::string day = byDay ? "local_day" : "+local_day";
    std::string terms;
    if (!filter.fromDay.empty()) {
        terms += " AND " + day + " >= :from";
    }
    if (!filter.toDay.empty()) {
        terms += " AND " + day + " <= :to";
    }
    if (!filter.slotText.empty()) {
        terms +=
            " AND (s0 LIKE :text ESCAPE '\\' OR s1 LIKE :text ESCAPE '\\'"
            " OR s2 LIKE :text ESCAPE '\\')";
    }
    return terms;
}

// The text anywhere in a slot, its own % and _ taken as they are.
std::string likePattern(const std::string& text) {
    std::string pattern = "%";
    for (const char c : text) {
        if (c == '%' || c == '_' || c == '\\') {
            pattern += '\\';
        }
        pattern += c;
    }
    return pattern + "%";
}

void bindFilter(SqlStatement& statement, const JournalFilter& filter) {
    statement.bind(":from", filter.fromDay)
        .bind(":to", filter.toDay)
        .bind(":text", likePattern(filter.slotText));
}

// The day table's bounds for the filter's days.
std::string dayTerms(const JournalFilter& filter) {
    std::string terms;
    if (!filter.fromDay.empty()) {
        terms += " AND day >= :from";
    }
    if (!filter.toDay.empty()) {
        terms += " AND day <= :to";
    }
    return terms;
}

}  // namespace

JournalSummary Journal::summary(const JournalFilter& filter, std::int64_t afterId) {
    JournalSummary summary;
    if (filter.slotText.empty() && afterId == 0) {
        SqlStatement& days = statement("SELECT day, records, parts FROM days WHERE 1" +
                                       dayTerms(filter) + " ORDER BY day DESC");
        bindFilter(days, filter);
        while (days.step() == SQLITE_ROW) {
            summary.days.push_back({days.text(0), {days.integer(1), days.integer(2)}});
        }
        days.reset();
        // One aggregate a query: SQLite then reads a minimum or maximum of
        // the ids straight off the table, without a pass over it.
        for (const bool lowest : {true, false}) {
            SqlStatement& bound =
                statement(std::string("SELECT coalesce(") + (lowest ? "min" : "max") +
                          "(id), 0) FROM records WHERE 1" + filterTerms(filter, true));
            bindFilter(bound, filter);
            if (bound.step() == SQLITE_ROW) {
                (lowest ? summary.span.lowestId : summary.span.highestId) = bound.integer(0);
            }
            bound.reset();
        }
    } else {
        SqlStatement& days = statement(
            "SELECT local_day, count(*), coalesce(sum(count), 0), min(id), max(id) FROM records "
            "WHERE id > :after" +
            filterTerms(filter, afterId == 0) +
            // Only a day filter over all ids goes along the day index; else one
            // pass along the ids, not along the index with a look-up per record.
            (afterId == 0 && (!filter.fromDay.empty() || !filter.toDay.empty())
                 ? " GROUP BY local_day ORDER BY local_day DESC"
                 : " GROUP BY +local_day ORDER BY +local_day DESC"));
        bindFilter(days, filter);
        days.bind(":after", afterId);
        while (days.step() == SQLITE_ROW) {
            summary.days.push_back({days.text(0), {days.integer(1), days.integer(2)}});
            const std::int64_t lowest = days.integer(3);
            const std::int64_t highest = days.integer(4);
            JournalSpan& span = summary.span;
            span.lowestId = span.lowestId == 0 ? lowest : std::min(span.lowestId, lowest);
            span.highestId = std::max(span.highestId, highest);
        }
        days.reset();
    }
    for (const DayTotals& day : summary.days) {
        summary.totals += day.totals;
    }
    summary.span.records = summary.totals.records;
    return summary;
}

JournalSpan Journal::span(const JournalFilter& filter, std::int64_t afterId) {
    return summary(filter, afterId).span;
}

JournalTotals Journal::totals(const JournalFilter& filter, std::int64_t afterId) {
    return summary(filter, afterId).totals;
}

std::vector<DayTotals> Journal::dayTotals(const JournalFilter& filter, std::int64_t afterId) {
    return summary(filter, afterId).days;
}

std::vector<JournalRecord> Journal::page(const std::string& sql, const JournalFilter& filter,
                                         std::int64_t low, std::int64_t high, std::size_t skip,
                                         std::size_t limit) {
    SqlStatement& query = statement(sql);
    bindFilter(query, filter);
    query.bind(":low", low)
        .bind(":high", high)
        .bind(":skip", static_cast<std::int64_t>(skip))
        .bind(":limit", static_cast<std::int64_t>(limit));
    std::vector<JournalRecord> records = readRecords(query);
    query.reset();  // ends the read
    return records;
}

std::vector<JournalRecord> Journal::pageBelow(const JournalFilter& filter, std::int64_t lowestId,
                                              std::int64_t belowId, std::size_t skip,
                                              std::size_t limit) {
    return page(std::string("SELECT ") + kRecordColumns +
                    " FROM records WHERE id >= :low AND id < :high" + filterTerms(filter, false) +
                    " ORDER BY id DESC LIMIT :limit OFFSET :skip",
                filter, lowestId, belowId, skip, limit);
}

std::vector<JournalRecord> Journal::pageAbove(const JournalFilter& filter, std::int64_t aboveId,
                                              std::int64_t highestId, std::size_t skip,
                                              std::size_t limit) {
    return page(std::string("SELECT ") + kRecordColumns +
                    " FROM records WHERE id > :low AND id <= :high" + filterTerms(filter, false) +
                    " ORDER BY id ASC LIMIT :limit OFFSET :skip",
                filter, aboveId, highestId, skip, limit);
}

bool Journal::forEach(const JournalFilter& filter,
                      const std::function<bool(const JournalRecord&)>& each, std::string* error) {
    // The ids of the filter's days, from the day index, bound the pass.
    JournalSpan bounds{0, 0, std::numeric_limits<std::int64_t>::max()};
    if (!filter.fromDay.empty() || !filter.toDay.empty()) {
        bounds = summary({filter.fromDay, filter.toDay, ""}).span;
        if (bounds.records == 0) {
            return true;
        }
    }
    SqlStatement query(db_, std::string("SELECT ") + kRecordColumns +
                                " FROM records WHERE id >= :low AND id <= :high" +
                                filterTerms(filter, false) + " ORDER BY id DESC");
    if (!query) {
        noteError(error);
        return false;
    }
    bindFilter(query, filter);
    query.bind(":low", bounds.lowestId).bind(":high", bounds.highestId);
    for (;;) {
        const int step = query.step();
        if (step == SQLITE_DONE) {
            return true;
        }
        if (step != SQLITE_ROW) {
            noteError(error);
            return false;
        }
        if (!each(recordOfRow(query))) {
            return true;
        }
    }
}

std::vector<std::int64_t> Journal::notWrittenIds(const JournalFilter& filter, std::size_t limit) {
    SqlStatement& query = statement("SELECT id FROM records WHERE written = 0" +
                                    filterTerms(filter, false) + " ORDER BY id DESC LIMIT :limit");
    bindFilter(query, filter);
    query.bind(":limit", static_cast<std::int64_t>(limit));
    std::vector<std::int64_t> ids;
    while (query.step() == SQLITE_ROW) {
        ids.push_back(query.integer(0));
    }
    query.reset();
    return ids;
}

std::int64_t Journal::outcomeChanges() {
    SqlStatement& query = statement("SELECT counter FROM changes WHERE what = 'outcomes'");
    const std::int64_t counter = query.step() == SQLITE_ROW ? query.integer(0) : 0;
    query.reset();
    return counter;
}

std::int64_t Journal::newestId() {
    SqlStatement& query = statement("SELECT coalesce(max(id), 0) FROM records");
    const std::int64_t id = query.step() == SQLITE_ROW ? query.integer(0) : 0;
    query.reset();
    return id;
}

bool Journal::beginRead() {
    return execute("BEGIN DEFERRED", nullptr);
}

void Journal::endRead() {
    execute("COMMIT", nullptr);
}
