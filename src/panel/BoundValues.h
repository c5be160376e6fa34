#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "inbound/DeviceReport.h"
#include "panel/PanelValues.h"
#include "settings/SettingsTable.h"

class PanelModel;
class SettingsStore;

// One value of the panel bound to a setting, a command or a frame value.
//
// Start-up shows the stored value (read default when absent); when `echoAtStartUp`
// is set it then reacts as to the operator's change, as the panel always has
// when it fills a single-line edit: the command goes to the link (which has
// no machine yet and drops it) and the value is stored again.
// The operator's change sends the command, then stores the value (when
// `storedOnChange`), so the command never waits for the disk.
// A frame value that differs from the one shown replaces it, origin Machine;
// it is stored when `storedFromMachine`, and never sent.
struct BoundValue {
    ValueId value;
    std::optional<SettingRow> stored = std::nullopt;  // a text's or a choice's; none: not stored
    int (*listSize)() = nullptr;                      // a choice's entries, for the list range rule
    bool storedOnChange = true;                       // false: stored by a handler of its own
    bool echoAtStartUp = false;
    // The command a change sends; nullptr: none. An empty text sends nothing.
    std::string (*command)(const PanelModel& model) = nullptr;
    std::int32_t DeviceState::*mirror = nullptr;  // the frame value shown; nullptr: none
    int (*shownFromFrame)(int frameValue) =
        nullptr;  // a choice's position for it; nullptr: the same
    bool storedFromMachine = false;
    bool partOfRecordPath = false;  // a change shows the record path anew
    // For values with logic of their own (the preset, whose sign and count
    // are one setting): start-up's fill, the store and the mirror in place of
    // the plain ones. The mirror returns true when it changed the model.
    void (*load)(PanelModel& model, const SettingsStore& store) = nullptr;
    void (*save)(const PanelModel& model, SettingsStore& store) = nullptr;
    bool (*mirrorFrame)(PanelModel& model, const DeviceState& state) = nullptr;
};

// In the order start-up shows them: that order is the order of the commands
// traced at start-up. The preset and the record folder, which have logic of
// their own, come between as the panel has always shown them.
std::span<const BoundValue> boundValues();

// The row of `value`; nullptr when it has none.
const BoundValue* boundValueOf(const ValueId& value);
