#include "Script.h"

#include "Escape.h"
#include "Numbers.h"

namespace sim {

std::vector<ScriptStep> parseScript(std::string_view text, std::string& error) {
    std::vector<ScriptStep> steps;
    int lineNumber = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.empty() || line.starts_with('#')) {
            continue;
        }
        if (line.starts_with("sleep ")) {
            const auto ms = parseInteger(line.substr(6), 0, 3600000);
            if (!ms) {
                error = "line " + std::to_string(lineNumber) + ": sleep needs 0 to 3600000 ms";
                return {};
            }
            steps.push_back({true, *ms, {}});
        } else {
            steps.push_back({false, 0, unescapeBytes(line)});
        }
    }
    return steps;
}

}  // namespace sim
