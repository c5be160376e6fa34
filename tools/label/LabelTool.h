#pragma once

#include <cstdio>

#include "LabelToolOptions.h"

// What tolvane-label does for a command line; returns the exit status:
// check: 1 when a finding is an error, 0 otherwise; png: 0 when the picture
// was written, 1 when it could not be; 2 when the template cannot be read.
int runLabelTool(const LabelToolOptions& options, std::FILE* out, std::FILE* err);
