#include "journal/JournalSchema.h"

namespace journalschema {

const char* const kCreate = R"sql(
CREATE TABLE IF NOT EXISTS records (
    id             INTEGER PRIMARY KEY,
    arrived_utc_ms INTEGER NOT NULL,
    utc_offset_s   INTEGER NOT NULL,
    local_day      TEXT NOT NULL,
    machine_time   TEXT NOT NULL,
    count          INTEGER NOT NULL,
    s0             TEXT NOT NULL,
    s1             TEXT NOT NULL,
    s2             TEXT NOT NULL,
    link           TEXT NOT NULL,
    file           TEXT NOT NULL,
    written        INTEGER NOT NULL CHECK (written IN (0, 1)),
    failure        TEXT NOT NULL,
    published      INTEGER NOT NULL DEFAULT 0 CHECK (published IN (0, 1))
);
CREATE INDEX IF NOT EXISTS records_by_day ON records (local_day);
CREATE INDEX IF NOT EXISTS records_unpublished ON records (id) WHERE published = 0;
CREATE INDEX IF NOT EXISTS records_not_written ON records (id) WHERE written = 0;

CREATE TABLE IF NOT EXISTS days (
    day     TEXT PRIMARY KEY,
    records INTEGER NOT NULL,
    parts   INTEGER NOT NULL
) WITHOUT ROWID;
CREATE TRIGGER IF NOT EXISTS records_add_to_day AFTER INSERT ON records BEGIN
    INSERT INTO days (day, records, parts) VALUES (NEW.local_day, 1, NEW.count)
        ON CONFLICT (day) DO UPDATE SET records = records + 1, parts = parts + NEW.count;
END;
-- Records pruned by hand leave the day totals right.
CREATE TRIGGER IF NOT EXISTS records_remove_from_day AFTER DELETE ON records BEGIN
    UPDATE days SET records = records - 1, parts = parts - OLD.count WHERE day = OLD.local_day;
    DELETE FROM days WHERE day = OLD.local_day AND records = 0;
END;

CREATE TABLE IF NOT EXISTS changes (
    what    TEXT PRIMARY KEY,
    counter INTEGER NOT NULL
) WITHOUT ROWID;
INSERT OR IGNORE INTO changes (what, counter) VALUES ('outcomes', 0);
CREATE TRIGGER IF NOT EXISTS records_outcome_changed
    AFTER UPDATE OF file, written, failure ON records BEGIN
    UPDATE changes SET counter = counter + 1 WHERE what = 'outcomes';
END;

CREATE VIEW IF NOT EXISTS records_local AS
    SELECT id,
           datetime(arrived_utc_ms / 1000 + utc_offset_s, 'unixepoch') AS arrived_local,
           utc_offset_s, machine_time, count, s0, s1, s2, link, file,
           CASE written WHEN 1 THEN 'written' ELSE 'not written: ' || failure END AS outcome,
           published
    FROM records;
)sql";

}  // namespace journalschema
