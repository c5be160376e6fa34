#pragma once

#include <string>

// What main does after reading the panel's command line.
struct CommandLineVerdict {
    bool run = true;     // go on and open the window
    int exitStatus = 0;  // otherwise: 0 after --help or --version, 2 for a wrong option
};

// The panel's own options: --help (-h) prints the usage, --version (-v) the
// program's name and version, each on standard output, ending with status 0;
// an option the panel does not know (or any other argument) is refused on
// standard error, naming it, with status 2. Qt's own options (-platform,
// -style, -stylesheet, -display, -geometry, -reverse, ...) are let through for
// QApplication. Opens no window and touches no file: main calls it first.
CommandLineVerdict readPanelCommandLine(int argc, char** argv);

std::string panelUsageText();
std::string panelVersionText();
