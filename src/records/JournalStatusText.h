#pragma once

#include <QString>

#include "journal/JournalStatus.h"

// The status line's words for a journal that is not being kept: why, and
// how many records wait for it or were lost to it. Empty when it is kept.
QString describeJournal(const JournalStatus& status);
