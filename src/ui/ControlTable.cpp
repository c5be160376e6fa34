#include "ui/ControlTable.h"

#include <array>

namespace {

using K = ControlKind;
using A = ControlAction;
using T = TextValue;
using C = ChoiceValue;
using F = FlagValue;
using O = OtherValue;

const std::array kControls = {
    ControlRow{1006, K::PortList, "", 34, 7, 53, 30, O::Ports},
    ControlRow{0, K::Label, "PITCH:", 11, 27, 22, 8},
    ControlRow{1011, K::Button, "WIFI SET", 434, 7, 50, 14, std::nullopt, A::WifiSet},
    ControlRow{1022, K::EditCombo, "", 34, 25, 26, 105, C::Pitch},
    ControlRow{0, K::Label, "PORT:", 11, 9, 22, 8},
    ControlRow{1010, K::ClockEdit, "", 92, 7, 82, 14, T::Clock},
    ControlRow{1013, K::TemplateEdit, "", 246, 25, 238, 139, T::Template},
    ControlRow{1014, K::Button, "PRINT", 172, 183, 42, 40, std::nullopt, A::Print},
    ControlRow{1015, K::Button, "PRINTER SET", 246, 166, 238, 21, std::nullopt, A::PrinterSet},
    ControlRow{0, K::Label, "SSID:", 246, 10, 20, 8},
    ControlRow{1016, K::Edit, "", 266, 7, 59, 14, T::WifiName},
    ControlRow{0, K::Label, "PASSWD:", 337, 9, 32, 8},
    ControlRow{1017, K::PasswordEdit, "", 371, 7, 59, 14, T::WifiPassword},
    ControlRow{1018, K::DigitsEdit, "", 105, 45, 69, 14, T::PresetCount},
    ControlRow{1024, K::Button, "Time", 178, 7, 38, 33, std::nullopt, A::SetClock},
    ControlRow{1025, K::EditCombo, "", 102, 25, 75, 12, C::Function},
    ControlRow{0, K::Label, "FUNCTION:", 63, 27, 38, 8},
    ControlRow{1026, K::Button, "REWIND", 8, 183, 40, 40, std::nullopt, A::Rewind},
    ControlRow{1027, K::Button, "STOP", 49, 183, 40, 40, std::nullopt, A::Stop},
    ControlRow{1028, K::Button, "START", 90, 183, 40, 40, std::nullopt, A::Start},
    ControlRow{1019, K::DataEdit, "", 9, 107, 204, 56, O::Count},
    ControlRow{1031, K::CheckBox, "PRESET", 180, 48, 42, 10, F::PresetOn},
    ControlRow{1029, K::Button, "+", 91, 45, 13, 14, F::PresetNegative, A::PresetSign},
    ControlRow{1030, K::Button, "CLEAR", 131, 183, 40, 40, std::nullopt, A::Clear},
    ControlRow{1020, K::Edit, "", 105, 66, 69, 14, T::RecordName},
    ControlRow{0, K::Label, "FILE:", 8, 68, 18, 8},
    ControlRow{0, K::Label, "SPEED:", 8, 49, 26, 8},
    ControlRow{1023, K::EditCombo, "", 34, 47, 51, 105, C::SpeedStep},
    ControlRow{1032, K::Button, "...", 26, 64, 18, 16, std::nullopt, A::ChooseFolder},
    ControlRow{0, K::Label, "WORKSTATION:", 50, 67, 54, 8},
    ControlRow{1033, K::EditCombo, "", 180, 67, 33, 105, C::RecordFormat},
    ControlRow{1021, K::PathEdit, "", 9, 84, 204, 12, T::RecordPath},
    ControlRow{1041, K::Label, "", 9, 97, 204, 9, T::RecordFailure},
    ControlRow{1035, K::Button, ">>", 172, 165, 41, 16, std::nullopt, A::PanelToggle},
    ControlRow{0, K::Label, "SPEED:", 246, 193, 28, 8},
    ControlRow{0, K::Label, "S1=", 281, 193, 14, 8},
    ControlRow{0, K::Label, "S2=", 353, 193, 14, 8},
    ControlRow{0, K::Label, "S3=", 425, 193, 14, 8},
    ControlRow{1012, K::Edit, "", 298, 191, 42, 14, T::Speed1},
    ControlRow{1034, K::Edit, "", 370, 191, 42, 14, T::Speed2},
    ControlRow{1036, K::PasswordEdit, "", 69, 166, 101, 14, T::PanelPassword},
    ControlRow{1038, K::Button, "PASSWORD CHANGE", 245, 208, 107, 15, std::nullopt,
               A::PasswordChange},
    ControlRow{1039, K::PasswordEdit, "", 355, 209, 129, 14, T::NewPassword},
    ControlRow{1040, K::Edit, "", 442, 190, 42, 14, T::Speed3},
    ControlRow{0, K::Label, "PARAMENT SET:", 8, 168, 58, 8},
};

}  // namespace

std::span<const ControlRow> controlTable() {
    return kControls;
}
