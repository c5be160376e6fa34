#pragma once

#include <optional>
#include <span>

#include "panel/PanelValues.h"

// The window's controls in the order the window creates them, which is also
// the keyboard order. Positions and sizes are in dialog units of the window's
// 9-point font. Static labels have identifier 0. The pitch list is narrower
// and the function list wider than the original template so that "FUNCTION:"
// and "transparent tape" show whole.
enum class ControlKind {
    Label,
    ListCombo,     // drop-down list, not editable
    PortList,      // the drop-down list of links, read again whenever it opens
    EditCombo,     // drop-down with an edit field
    Edit,          // single-line edit
    DigitsEdit,    // single-line edit that takes typed digits only
    PasswordEdit,  // single-line edit, masked
    ClockEdit,     // single-line edit without a handler
    PathEdit,      // read-only, one row high
    DataEdit,      // read-only, multi-line
    TemplateEdit,  // multi-line, Enter inserts a line break
    Button,
    CheckBox,
};

// What a click on a control does, beyond changing the value it shows.
enum class ControlAction {
    None,
    Rewind,
    Stop,
    Start,
    Print,
    Clear,
    SetClock,
    WifiSet,
    PresetSign,
    PrinterSet,
    ChooseFolder,
    PanelToggle,
    PasswordChange,
};

// One control: its identifier (its widget's object name), kind, caption,
// place, the panel value it shows and changes (both ways), and the action a
// click starts.
struct ControlRow {
    int id;
    ControlKind kind;
    const char* caption;
    int x, y, width, height;
    std::optional<ValueId> value = std::nullopt;
    ControlAction action = ControlAction::None;
};

namespace ctl {
inline constexpr int kPort = 1006, kClock = 1010, kWifiSet = 1011, kSpeed1 = 1012, kTemplate = 1013,
                     kPrint = 1014, kPrinterSet = 1015, kSsid = 1016, kWifiPassword = 1017,
                     kPresetCount = 1018, kData = 1019, kFileName = 1020, kRecordPath = 1021,
                     kPitch = 1022, kSpeedStep = 1023, kTime = 1024, kFunction = 1025,
                     kRewind = 1026, kStop = 1027, kStart = 1028, kPresetSign = 1029, kClear = 1030,
                     kPresetOn = 1031, kBrowse = 1032, kRecordFormat = 1033, kSpeed2 = 1034,
                     kPanelToggle = 1035, kPanelPassword = 1036, kPasswordChange = 1038,
                     kNewPassword = 1039, kSpeed3 = 1040, kRecordFailure = 1041;
}

// Template size of the window in dialog units.
inline constexpr int kWindowWidthDlu = 492;
inline constexpr int kWindowHeightDlu = 231;
// The link's status line, added below the template's height.
inline constexpr int kStatusLineDlu = 12;

std::span<const ControlRow> controlTable();
