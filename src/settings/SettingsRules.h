#pragma once

#include "settings/SettingsTable.h"

class SettingsStore;

// The rules that read and write a store by the table's rows.

// A stored position in a list of `count` entries (setting::speedStep,
// setting::recordFormat): absent, unreadable or outside the list, it reads as
// the row's default.
int storedListIndex(const SettingsStore& store, const IntSetting& row, int count);

// Unless setting::firstRunStamp holds kFirstRunStamp, traces "is first " and
// writes every row's first-run value, in the table's order, the stamp last;
// the other keys keep what they hold. When the file held other values under
// those keys, it is first kept as it was (SettingsStore::
// keepLoadedFileBeforeFirstRun). True when it wrote.
bool applyFirstRunRule(SettingsStore& store);
