#pragma once

#include <filesystem>

// The user's home folder: $HOME when set and not empty, else the password
// database's home folder when that is an absolute path, else "/". "/" is the
// one answer for a user without either: an absolute path, so that settings,
// port names and record files never depend on the folder the program was
// started in.
std::filesystem::path userHomeFolder();

// The rule behind userHomeFolder(): `home` is $HOME and `databaseHome` the
// password database's home folder, each null when there is none.
std::filesystem::path chooseHomeFolder(const char* home, const char* databaseHome);

// The panel's folder of per-user files: $XDG_CONFIG_HOME/Tolvane when the
// variable holds an absolute path, else <home>/.config/Tolvane. The settings
// file and the ports folder live here.
std::filesystem::path panelConfigFolder();
