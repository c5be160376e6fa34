#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "inbound/DeviceReport.h"
#include "support/PanelHarness.h"
#include "support/TempDir.h"

// A first-run panel in UTC at kFixedInstant whose records go to a fresh folder.
class InboundPanel : public testing::Test {
  protected:
    InboundPanel() {
        panel.now = kFixedInstant;
        panel.open();
        panel.setRecordFolder(folder());
    }

    // A second run on the same settings, records again to the fresh folder.
    void restart() {
        panel.restart();
        panel.setRecordFolder(folder());
    }

    std::string folder() const { return records.path().string() + "/"; }
    // Dispatches one chunk as the window's thread does, then waits until its
    // record is written and the window shows the outcome and the count.
    bool receive(std::string_view chunk) {
        const bool dispatched = panel.receive(chunk);
        panel.settleWrites();
        return dispatched;
    }
    std::string shown(int id) const { return panel.text(id).toStdString(); }

    // Names of the files in the record folder, sorted.
    std::vector<std::string> recordFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(records.path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    UtcTimeZone utc;  // before the panel: its start-up already reads local time
    TempDir records;
    PanelHarness panel;
};
