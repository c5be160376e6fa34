#pragma once

#include <filesystem>
#include <vector>

#include "link/SerialPortNames.h"

// Tells when serial devices or port names may have come or gone, without
// polling: one inotify descriptor watches the ports folder (names added,
// removed, re-pointed), <dev>/serial/by-id (USB adapters by their stable
// names) and <dev> itself (onboard ports, device nodes appearing, leaving or
// changing their permissions). Folders that do not exist yet, such as
// /dev/serial before the first adapter, are watched as soon as they appear.
class PortWatcher {
  public:
    explicit PortWatcher(const PortsEnvironment& env);
    ~PortWatcher();
    PortWatcher(const PortWatcher&) = delete;
    PortWatcher& operator=(const PortWatcher&) = delete;

    // Readable when something changed; -1 when inotify is unavailable.
    int fd() const { return fd_; }
    // Reads every pending event without blocking. True when any may concern
    // a serial port, so the list and a waiting port should be looked at again.
    bool takeEvents();

  private:
    void watchFolders();

    std::vector<std::filesystem::path> folders_;
    int fd_ = -1;
};
