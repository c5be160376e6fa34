#pragma once

#include <QString>

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/CommandSet.h"
#include "inbound/DeviceReport.h"
#include "inbound/FrameStream.h"
#include "inbound/RecordFile.h"
#include "panel/PanelValues.h"

class MachineLink;
class PanelModel;
class RecordSaver;
class SettingsStore;
struct BoundValue;

// What the panel takes from its surroundings. Empty functions are the real
// computer; tests put stand-ins in their place.
struct PanelEnvironment {
    std::function<std::time_t()> now;           // wall clock; empty: time()
    std::function<std::uint32_t()> tick;        // ms since boot mod 2^32; empty: CLOCK_MONOTONIC
    std::function<std::string()> localAddress;  // empty: this computer's IPv4 address
    std::function<std::vector<unsigned>()> serialPorts;     // COM numbers offered, ascending
    std::uint16_t udpPort = commands::kUdpPort;             // shown in the status line
    std::function<void(const DeviceReport&)> frameHandled;  // every frame; benchmarks count
};

// Every reaction of the panel, to the operator and to the machine, and
// start-up in its order. The operator's changes reach it through the model
// (origin Operator): it builds their command, sends it and stores the setting.
// The machine's values it puts into the model itself (origin Machine): nothing
// is sent, and each changed setting is stored once. The window's thread calls
// every member.
class PanelController {
  public:
    PanelController(PanelModel& model, SettingsStore& store, MachineLink& link,
                    RecordSaver& records, PanelEnvironment environment = {});
    PanelController(const PanelController&) = delete;
    PanelController& operator=(const PanelController&) = delete;

    // Texts for the operator, shown as message boxes by the window; empty: none.
    void setNotice(std::function<void(const QString& text)> notice) { notice_ = std::move(notice); }

    // The port list, the fixed lists' first choices, `startClock` (when
    // given), the first-run rule, every setting into the model, the record
    // path: in this order.
    void startUp(const std::function<void()>& startClock = {});

    // The operator's actions that change no value of the model.
    void sendKey(std::string_view command);  // a machine key: a fixed text
    void setMachineClock();
    void sendWifi();
    void flipPresetSign();
    void sendTemplate();
    void chooseRecordFolder(const std::string& folder);  // empty: the chooser was cancelled
    void togglePanel();
    void changePanelPassword();
    // Reads the ports again; the chosen entry stays chosen, and listed while
    // its device is away.
    void refreshPorts();

    // One chunk from the machine: for each frame, the changed state mirrored,
    // the counting record handed to the disk writer, then the count shown.
    // False when the chunk held no frame.
    bool takeChunk(std::string_view chunk);
    // The latest record outcome, as the disk writer told it.
    void showRecordOutcome(const RecordWriteResult& outcome);
    // What the disk writer told since the last call: the latest record's
    // outcome, the journal's state, the outcome of a "write again".
    void takeRecordOutcomes();
    // Records the journal holds as not written, into the file the settings
    // name now.
    void writeAgain(std::vector<std::int64_t> ids);
    void showLinkStatus();
    void showClock();
    // Whether the settings reach their file, as the store says now.
    void showSettingsKeeping();
    // The plant link's words for the status line; empty while it is off.
    void showPlantStatus(const std::string& text);
    // The link records come over: "NET 192.168.1.20:5000", "COM7".
    std::string linkName() const;
    // The path a record arriving now goes to.
    std::string recordPathNow() const;
    // The machine's state as last mirrored.
    const DeviceState& mirroredState() const { return mirrored_; }

  private:
    void operatorChanged(const ValueId& value);
    void react(const BoundValue& bound);
    void fill(const BoundValue& bound);
    void mirror(const DeviceState& state);
    void storeValue(const BoundValue& bound);
    void chooseLink();
    void send(std::string command);
    void saveRecord(const DeviceReport& report);
    void refreshRecordPath();
    void tell(const QString& text);
    std::time_t now() const;
    std::uint32_t tick() const;

    PanelModel& model_;
    SettingsStore& store_;
    MachineLink& link_;
    RecordSaver& records_;
    PanelEnvironment env_;
    std::function<void(const QString&)> notice_;
    FrameStream frames_;
    DeviceState mirrored_{};  // the state last mirrored; a first frame of zeros changes nothing
    std::uint32_t quickFailCount_ = 0;
    std::uint32_t lastFailTick_ = 0;
};
