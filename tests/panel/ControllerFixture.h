#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "inbound/RecordSaver.h"
#include "link/NetTransport.h"
#include "panel/MachineLink.h"
#include "panel/PanelController.h"
#include "panel/PanelModel.h"
#include "settings/SettingsStore.h"
#include "storage/DiskWriter.h"
#include "support/TempDir.h"

// The link as the controller sees it, keeping every command it is handed.
class RecordingLink : public MachineLink {
  public:
    SendResult send(const std::string& text) override {
        sent.push_back(text);
        return result;
    }
    void chooseNet() override { choices.push_back("NET"); }
    bool chooseSerial(unsigned port) override {
        choices.push_back("COM" + std::to_string(port));
        return opens;
    }
    LinkStatus status() const override { return LinkStatus{}; }
    std::size_t longestCommand() const override { return longest; }
    std::optional<std::chrono::steady_clock::time_point> lastFrameAt() const override {
        return std::nullopt;
    }

    std::vector<std::string> sent;
    std::vector<std::string> choices;
    SendResult result = SendResult::Sent;
    bool opens = true;
    std::size_t longest = NetTransport::kMaxDatagram;
};

// A controller on a model, a settings file in a temporary folder and a
// recording link, without a window and without threads but the disk writer's.
// Every change the model tells is kept with its origin.
class ControllerTest : public testing::Test {
  protected:
    ControllerTest() {
        environment.now = [] { return std::time_t{1741165387}; };  // 2025-03-05 09:03:07 UTC
        environment.tick = [this] { return tick; };
        environment.localAddress = [] { return std::string("192.168.1.20"); };
        environment.serialPorts = [this] { return ports; };
        model.listen(
            [this](const ValueId& value, Origin origin) { changes.emplace_back(value, origin); });
    }

    // Start-up as the panel runs it; `before` fills the settings file first.
    PanelController& start() {
        store = std::make_unique<SettingsStore>(folder / "TolvaneApp.json");
        controller = std::make_unique<PanelController>(model, *store, link, saver, environment);
        controller->setNotice([this](const QString& text) { notices.push_back(text); });
        controller->startUp();
        link.sent.clear();
        changes.clear();
        return *controller;
    }

    // What a next run reads from the file.
    SettingsStore reread() const { return SettingsStore(folder / "TolvaneApp.json"); }

    std::vector<Origin> originsOf(const ValueId& value) const {
        std::vector<Origin> origins;
        for (const auto& [changed, origin] : changes) {
            if (changed == value) {
                origins.push_back(origin);
            }
        }
        return origins;
    }

    TempDir folder;
    PanelEnvironment environment;
    std::uint32_t tick = 100000;
    std::vector<unsigned> ports;
    PanelModel model;
    RecordingLink link;
    DiskWriter writer;
    RecordSaver saver{writer, [] {}};
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<PanelController> controller;
    std::vector<std::pair<ValueId, Origin>> changes;
    std::vector<QString> notices;
};
