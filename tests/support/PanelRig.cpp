#include "support/PanelRig.h"

#include <QString>
#include <QWidget>

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

QWidget* PanelRig::control(int id) const {
    return window_->findChild<QWidget*>(QString::number(id));
}

PortsEnvironment portsOnlyIn(const std::filesystem::path& portsDir,
                             const std::filesystem::path& scratch) {
    PortsEnvironment ports;
    ports.portsDir = portsDir;
    ports.devRoot = scratch / "no-dev";
    ports.sysRoot = scratch / "no-sys";
    return ports;
}

ScratchFolders::ScratchFolders(const std::filesystem::path& scratch,
                               const std::filesystem::path& home,
                               const std::filesystem::path& config)
    : scratch_(scratch),
      config_(config),
      home_("HOME", home.c_str()),
      configHome_("XDG_CONFIG_HOME", config.c_str()) {}

PanelSetup ScratchFolders::panelSetup(
    std::uint16_t udpPort, const std::function<void(const DeviceReport&)>& frameHandled) const {
    PanelSetup setup;
    setup.ports = portsOnlyIn(portsDir(), scratch_);
    setup.journalPath = journalFile().string();
    setup.environment.udpPort = udpPort;
    setup.environment.frameHandled = [&frameHandled](const DeviceReport& report) {
        if (frameHandled) {
            frameHandled(report);
        }
    };
    return setup;
}
