#pragma once

#include <string>

// What the panel needs of the open-files limit: about 20 descriptors while
// idle (more under X), and room besides for a record file, a settings write
// with its folder and lock, the port list, a serial port and the folder
// chooser.
inline constexpr unsigned long kOpenFilesNeeded = 64;

struct OpenFilesOutcome {
    bool enough = true;
    unsigned long soft = 0;  // the soft limit afterwards
    std::string message;     // with !enough: what to tell the operator
};

// Raises the soft limit of open files to the hard limit (as far as the
// kernel allows), then checks that at least `needed` descriptors fit under
// it beside those open now. For the first lines of main, before any window,
// thread or file: a limit still too small is a message and exit status 1,
// never a failure later in the middle of the operator's work.
OpenFilesOutcome raiseOpenFilesLimit(unsigned long needed = kOpenFilesNeeded);
