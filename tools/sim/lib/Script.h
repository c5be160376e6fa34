#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// One line of a script file: bytes to send as one frame, or a pause.
struct ScriptStep {
    bool sleep = false;
    std::int64_t sleepMs = 0;
    std::string bytes;
};

// Lines are unescaped (see unescapeBytes); "sleep MS" pauses; empty lines and
// lines starting with "#" are skipped; a CR before the line end is dropped.
// On a bad "sleep" line `error` names the line and the result is empty.
std::vector<ScriptStep> parseScript(std::string_view text, std::string& error);

}  // namespace sim
