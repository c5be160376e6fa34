#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "journal/JournalRecord.h"

// The JSON of one journal record on <prefix>/<station>/record:
// {"station":"line3-a","id":1234,"arrived":"2024-05-06T14:03:22.517+02:00",
//  "machineTime":"...","count":-120,"quantity":120,"slots":{"S0":"...","S2":"..."},
//  "link":"NET 192.168.1.20:5000","file":"/home/op/records/rec20240506140322.csv",
//  "written":true}
// Absent slots are left out; "failure" follows "written" when it is false.
std::string recordPayload(const JournalRecord& record, std::string_view station);

// "2024-05-06T14:03:22.517+02:00": `utcMs` since the epoch shown in the local
// time that `offsetSeconds` gives, with that offset ("Z" never: a consumer sees
// the station's own clock).
std::string isoLocalTime(std::int64_t utcMs, std::int32_t offsetSeconds);
