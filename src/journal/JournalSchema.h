#pragma once

#include <cstdint>

// The journal's tables. `records` holds one row per counting record; `days`
// adds them up per local day of arrival (kept by triggers, so totals need no
// pass over the records); `changes` counts outcome changes for readers that
// hold records; the view `records_local` shows arrival times in local time.
namespace journalschema {

// "Tolv": marks the database as a journal.
inline constexpr std::int32_t kApplicationId = 0x546f6c76;
inline constexpr std::int32_t kVersion = 1;

extern const char* const kCreate;

}  // namespace journalschema
