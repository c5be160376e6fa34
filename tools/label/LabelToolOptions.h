#pragma once

#include <optional>
#include <string>
#include <vector>

#include "label/Label.h"

// The command line of tolvane-label.
struct LabelToolOptions {
    enum class Mode { Check, Png, Help, Version };
    Mode mode = Mode::Help;
    std::string input;   // a path, or "-" for standard input
    std::string output;  // png: a path, or "-" for standard output
    label::SampleValues samples;
    int scale = 1;
};

inline constexpr int kMostScale = 16;

struct ParsedLabelToolOptions {
    std::optional<LabelToolOptions> options;
    std::string error;  // why the command line is wrong, when options is empty
};

ParsedLabelToolOptions parseLabelToolOptions(const std::vector<std::string>& args);

extern const char kLabelToolUsage[];
