#pragma once

#include <variant>

// Where a change of the panel's state came from. Every reaction of the panel
// depends on it: an operator's change is sent to the machine and stored, a
// machine's value is shown and, where the machine owns it, stored, never sent.
enum class Origin {
    Operator,  // typed, picked or clicked in the window
    Machine,   // mirrored from a frame
    StartUp,   // read from the settings while the panel starts
    Panel,     // worked out by the panel itself: the clock, the record path, the status
};

// The panel's texts, as 8-bit (UTF-8) text. The template keeps CR LF line ends.
enum class TextValue {
    Template,
    WifiName,
    WifiPassword,
    Speed1,
    Speed2,
    Speed3,
    RecordName,
    PresetCount,    // the count as typed, without its sign
    PanelPassword,  // typed to open the parameter panel
    NewPassword,    // typed to change it
    RecordFolder,   // where records go; ends in "/" once chosen
    LabelSamples,   // the label preview's sample values of the machine's @ tokens
    Clock,          // the local time shown
    RecordPath,     // the path a record arriving now goes to
    RecordFailure,  // why the latest record was not written; empty once one is
};
inline constexpr int kTextValues = static_cast<int>(TextValue::RecordFailure) + 1;

// Positions in fixed lists; -1 when none is chosen.
enum class ChoiceValue {
    Function,
    Pitch,
    SpeedStep,
    RecordFormat,
};
inline constexpr int kChoiceValues = static_cast<int>(ChoiceValue::RecordFormat) + 1;

enum class FlagValue {
    PresetNegative,  // the preset's sign is "-"
    PresetOn,
    PanelOpen,  // the parameter panel is shown
};
inline constexpr int kFlagValues = static_cast<int>(FlagValue::PanelOpen) + 1;

// Values of a shape of their own.
enum class OtherValue {
    Count,         // the machine's count of the latest frame
    Ports,         // the entries of the port list and which one is chosen
    LinkStatus,    // the status line
    SettingsKept,  // whether the settings reach the disk
    Records,       // the journal took more records, or changed outcomes
    JournalKept,   // whether the journal is being kept
    WriteAgain,    // the outcome of the latest "write again"
    PlantStatus,   // what the plant link does
};

using ValueId = std::variant<TextValue, ChoiceValue, FlagValue, OtherValue>;
