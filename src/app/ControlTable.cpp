#include "app/ControlTable.h"

#include <array>

namespace {

using K = ControlKind;

constexpr std::array kControls = {
    ControlRow{1006, K::PortList, "", 34, 7, 53, 30},
    ControlRow{0, K::Label, "PITCH:", 11, 27, 22, 8},
    ControlRow{1011, K::Button, "WIFI SET", 434, 7, 50, 14},
    ControlRow{1022, K::EditCombo, "", 34, 25, 26, 105},
    ControlRow{0, K::Label, "PORT:", 11, 9, 22, 8},
    ControlRow{1010, K::ClockEdit, "", 92, 7, 82, 14},
    ControlRow{1013, K::TemplateEdit, "", 246, 25, 238, 139},
    ControlRow{1014, K::Button, "PRINT", 172, 183, 42, 40},
    ControlRow{1015, K::Button, "PRINTER SET", 246, 166, 238, 21},
    ControlRow{0, K::Label, "SSID:", 246, 10, 20, 8},
    ControlRow{1016, K::Edit, "", 266, 7, 59, 14},
    ControlRow{0, K::Label, "PASSWD:", 337, 9, 32, 8},
    ControlRow{1017, K::PasswordEdit, "", 371, 7, 59, 14},
    ControlRow{1018, K::DigitsEdit, "", 105, 45, 69, 14},
    ControlRow{1024, K::Button, "Time", 178, 7, 38, 33},
    ControlRow{1025, K::EditCombo, "", 102, 25, 75, 12},
    ControlRow{0, K::Label, "FUNCTION:", 63, 27, 38, 8},
    ControlRow{1026, K::Button, "REWIND", 8, 183, 40, 40},
    ControlRow{1027, K::Button, "STOP", 49, 183, 40, 40},
    ControlRow{1028, K::Button, "START", 90, 183, 40, 40},
    ControlRow{1019, K::DataEdit, "", 9, 107, 204, 56},
    ControlRow{1031, K::CheckBox, "PRESET", 180, 48, 42, 10},
    ControlRow{1029, K::Button, "+", 91, 45, 13, 14},
    ControlRow{1030, K::Button, "CLEAR", 131, 183, 40, 40},
    ControlRow{1020, K::Edit, "", 105, 66, 69, 14},
    ControlRow{0, K::Label, "FILE:", 8, 68, 18, 8},
    ControlRow{0, K::Label, "SPEED:", 8, 49, 26, 8},
    ControlRow{1023, K::EditCombo, "", 34, 47, 51, 105},
    ControlRow{1032, K::Button, "...", 26, 64, 18, 16},
    ControlRow{0, K::Label, "WORKSTATION:", 50, 67, 54, 8},
    ControlRow{1033, K::EditCombo, "", 180, 67, 33, 105},
    ControlRow{1021, K::PathEdit, "", 9, 84, 204, 12},
    ControlRow{1041, K::Label, "", 9, 97, 204, 9},
    ControlRow{1035, K::Button, ">>", 172, 165, 41, 16},
    ControlRow{0, K::Label, "SPEED:", 246, 193, 28, 8},
    ControlRow{0, K::Label, "S1=", 281, 193, 14, 8},
    ControlRow{0, K::Label, "S2=", 353, 193, 14, 8},
    ControlRow{0, K::Label, "S3=", 425, 193, 14, 8},
    ControlRow{1012, K::Edit, "", 298, 191, 42, 14},
    ControlRow{1034, K::Edit, "", 370, 191, 42, 14},
    ControlRow{1036, K::PasswordEdit, "", 69, 166, 101, 14},
    ControlRow{1038, K::Button, "PASSWORD CHANGE", 245, 208, 107, 15},
    ControlRow{1039, K::PasswordEdit, "", 355, 209, 129, 14},
    ControlRow{1040, K::Edit, "", 442, 190, 42, 14},
    ControlRow{0, K::Label, "PARAMENT SET:", 8, 168, 58, 8},
};

constexpr std::array<const char*, 3> kFunctions = {"standard", "pocket checking",
                                                   "transparent tape"};
constexpr std::array<const char*, 3> kSpeeds = {"S1", "S2", "S3"};
constexpr std::array<const char*, 2> kRecordFormats = {"csv", "xml"};

}  // namespace

std::span<const ControlRow> controlTable() {
    return kControls;
}
std::span<const char* const> functionNames() {
    return kFunctions;
}
std::span<const char* const> speedNames() {
    return kSpeeds;
}
std::span<const char* const> recordFormatNames() {
    return kRecordFormats;
}
