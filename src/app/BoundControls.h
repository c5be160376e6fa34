#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "inbound/DeviceReport.h"

class CTolvaneAppDlg;

// How a bound control holds its value, and so how the settings store keeps it.
enum class BoundValue {
    Index,  // the selected entry of a list; stored as an integer
    Text,   // an edit's text; stored as a string
};

// One control bound to a setting of the machine or of the panel. Start-up
// shows the stored value in it; an operator's change sends its command (held
// back while the state mirror works), then stores the value; the state mirror
// shows the machine's value in it, changing only what differs.
struct BoundControl {
    int id = 0;
    BoundValue value = BoundValue::Index;
    const char* key = nullptr;     // settings key; nullptr: the value is not stored
    int defaultIndex = 0;          // Index: shown when the key is absent
    const char* defaultText = "";  // Text: shown when the key is absent
    // The command a change of control `id` sends, read from the window's
    // controls; nullptr: none. An empty text sends nothing.
    std::string (*command)(const CTolvaneAppDlg& dlg, int id) = nullptr;
    std::int32_t DeviceState::*mirror = nullptr;      // the frame value shown in it; nullptr: none
    int (*shownFromFrame)(int frameValue) = nullptr;  // Index: the entry for it; nullptr: the same
    bool partOfRecordPath = false;                    // a change shows the record path anew
};

// In the order start-up fills them: filling an edit runs its change handler,
// so the order is the order of the commands traced at start-up.
std::span<const BoundControl> boundControls();
