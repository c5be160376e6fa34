#include "support/PanelRig.h"

PanelRig::PanelRig(const std::filesystem::path& settingsFile, DiskWriter& writer, PanelSetup setup,
                   WindowEnvironment window)
    : store_(std::make_unique<SettingsStore>(settingsFile, &writer)),
      panel_(std::make_unique<Panel>(*store_, writer, std::move(setup))),
      window_(std::make_unique<MainWindow>(*panel_, std::move(window))) {
    panel_->start();
}

// What was typed last is taken, as closing the window does.
PanelRig::~PanelRig() {
    window_->takeEdits();
    window_.reset();
    panel_.reset();
    store_.reset();
}

PortsEnvironment portsOnlyIn(const std::filesystem::path& portsDir,
                             const std::filesystem::path& scratch) {
    PortsEnvironment ports;
    ports.portsDir = portsDir;
    ports.devRoot = scratch / "no-dev";
    ports.sysRoot = scratch / "no-sys";
    return ports;
}
