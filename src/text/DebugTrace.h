#pragma once

// The diagnostic line of this system: "D:[<function>,<line>]" + message + "\r\n"
// on standard output. The function names and line numbers are fixed per call
// site (see the trace table in the README), so that operators' scripts can match
// them. Each line leaves the process in one write, so lines written by different
// threads never interleave mid-line.
void DebugTrace(const char* function, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
