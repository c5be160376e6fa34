#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "label/Label.h"

// Helpers of the reader's tests: findings written "line:e:text" or
// "line:w:text", text being a part of the finding's text.
namespace labeltest {

inline std::string severityMark(label::Severity severity) {
    return severity == label::Severity::Error ? "e" : "w";
}

inline std::string describe(const std::vector<label::Finding>& findings) {
    std::string text;
    for (const label::Finding& f : findings) {
        text += std::to_string(f.line) + ":" + severityMark(f.severity) + ":" + f.text + "\n";
    }
    return text.empty() ? "(no findings)\n" : text;
}

// Whether the findings are exactly the expected ones, in order, each matched
// by line, severity and a part of its text.
inline bool matches(const std::vector<label::Finding>& findings,
                    const std::vector<std::string>& expected) {
    if (findings.size() != expected.size()) {
        return false;
    }
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const std::string& want = expected[i];
        const std::size_t first = want.find(':');
        const std::size_t second = want.find(':', first + 1);
        const label::Finding& f = findings[i];
        if (want.substr(0, first) != std::to_string(f.line) ||
            want.substr(first + 1, second - first - 1) != severityMark(f.severity) ||
            f.text.find(want.substr(second + 1)) == std::string::npos) {
            return false;
        }
    }
    return true;
}

}  // namespace labeltest
