#pragma once

#include <string>
#include <string_view>

#include "inbound/DeviceReport.h"

// One counting record as a run "time=T,data=N,S0=a,S2=c", with no line end.
std::string csvRecord(const DeviceReport& report);

// One counting record as lines "<time>T</time>", "<data>N</data>" and one
// "<Sk>text</Sk>" per non-empty slot, each ending in CR LF.
std::string xmlRecord(const DeviceReport& report);

// The record in the form named by format: exactly "csv" or "xml"; any other
// format gives an empty text.
std::string recordText(const DeviceReport& report, std::string_view format);
