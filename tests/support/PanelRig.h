#pragma once

#include <filesystem>
#include <memory>

#include "panel/Panel.h"
#include "settings/SettingsStore.h"
#include "ui/MainWindow.h"

class DiskWriter;

// One panel with its window on a settings file, started as the program
// starts it, and closed as the program ends: the window goes first, then the
// panel and its threads, then the store. The tests' harness and the
// benchmarks' panel are both made of one.
class PanelRig {
  public:
    PanelRig(const std::filesystem::path& settingsFile, DiskWriter& writer, PanelSetup setup,
             WindowEnvironment window);
    ~PanelRig();
    PanelRig(const PanelRig&) = delete;
    PanelRig& operator=(const PanelRig&) = delete;

    MainWindow& window() { return *window_; }
    Panel& panel() { return *panel_; }
    SettingsStore& store() { return *store_; }

  private:
    std::unique_ptr<SettingsStore> store_;
    std::unique_ptr<Panel> panel_;
    std::unique_ptr<MainWindow> window_;
};

// Ports looked up in `portsDir` only: no devices of the computer, no consoles.
PortsEnvironment portsOnlyIn(const std::filesystem::path& portsDir,
                             const std::filesystem::path& scratch);
