#pragma once

#include <string>
#include <string_view>

namespace sim {

// Printable, reversible form of raw link bytes: \r \n \t \0 and \\ by name, every
// other byte below 0x20 or from 0x7f upward as \xHH (two lower-case hex digits),
// everything else unchanged. The result is plain ASCII on one line.
std::string escapeBytes(std::string_view raw);

// Inverse of escapeBytes, for script lines. An escape it does not know ("\q",
// "\x" without two hex digits, a final lone "\") stays in the text literally.
std::string unescapeBytes(std::string_view text);

// The output line for one received command: "cmd[N]: <text>". N counts every
// raw byte received for it; the text drops one terminating NUL, so a command
// that arrived with its NUL shows N = shown length + 1 and one that did not
// shows N = shown length.
std::string commandLine(std::string_view raw);

}  // namespace sim
