#pragma once

#include <string>
#include <string_view>

// Bytes from outside the program (received from the machine, or typed by the
// operator) as they may appear in a trace line: every byte below 0x20 and
// 0x7f is written as \xHH with lowercase hex digits (CR LF as \x0d\x0a), so
// that nothing received can move the cursor, clear or rename the terminal
// that shows the trace. Every other byte stays as it is.
std::string traceSafe(std::string_view bytes);
