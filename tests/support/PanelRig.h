#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include "panel/Panel.h"
#include "settings/SettingsStore.h"
#include "support/ScopedEnv.h"
#include "ui/MainWindow.h"

class DiskWriter;
class QWidget;

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
    // A control by its identifier, the object name of its widget.
    QWidget* control(int id) const;

  private:
    std::unique_ptr<SettingsStore> store_;
    std::unique_ptr<Panel> panel_;
    std::unique_ptr<MainWindow> window_;
};

// Ports looked up in `portsDir` only: no devices of the computer, no consoles.
PortsEnvironment portsOnlyIn(const std::filesystem::path& portsDir,
                             const std::filesystem::path& scratch);

// The folders of a panel kept inside a scratch folder: the user's home and
// config folder, which HOME and XDG_CONFIG_HOME name while this lives (put
// back after), so that neither settings, ports nor records reach the real
// ones; the settings file and the ports folder in the config folder as the
// panel finds them; and the record journal.
class ScratchFolders {
  public:
    ScratchFolders(const std::filesystem::path& scratch, const std::filesystem::path& home,
                   const std::filesystem::path& config);

    std::filesystem::path settingsFile() const { return config_ / "Tolvane" / "TolvaneApp.json"; }
    std::filesystem::path portsDir() const { return config_ / "Tolvane" / "ports"; }
    std::filesystem::path journalFile() const { return scratch_ / "data" / "records.sqlite"; }

    // The panel on these folders: only the ports linked into portsDir(), the
    // journal at journalFile(), on `udpPort`; each frame dispatched goes to
    // `frameHandled` when it is set by then (it has to outlive the panel).
    PanelSetup panelSetup(std::uint16_t udpPort,
                          const std::function<void(const DeviceReport&)>& frameHandled) const;

  private:
    std::filesystem::path scratch_;
    std::filesystem::path config_;
    ScopedEnv home_;
    ScopedEnv configHome_;
};
