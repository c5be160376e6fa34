#pragma once

#include <string>
#include <string_view>

namespace sim {

// The folder in which the panel looks for serial ports: one symbolic link per
// port name. $XDG_CONFIG_HOME/Tolvane/ports, or ~/.config/Tolvane/ports when
// XDG_CONFIG_HOME is unset or not an absolute path (the panel's own lookup).
std::string portsFolder();

// Links folder/name to target, creating the folder when needed. An existing
// entry is never replaced, with one exception: a link into /dev/pts/ whose
// terminal no longer exists, left behind by a simulator that was killed (or
// one that already names `target`, the number having been handed out again).
// Returns an empty text on success, else what went wrong.
std::string claimPortLink(const std::string& folder, const std::string& name,
                          const std::string& target);

// Removes folder/name, but only while it still points to target, so that an
// entry someone else put there in the meantime stays.
void releasePortLink(const std::string& folder, const std::string& name, const std::string& target);

}  // namespace sim
