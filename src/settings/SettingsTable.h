#pragma once

#include <QString>
#include <array>
#include <optional>
#include <string>
#include <string_view>

// One setting of the section "TolvaneApp" held as an integer.
struct IntSetting {
    const char* name;                  // the key in the file
    int readDefault = 0;               // read when absent or unreadable
    std::optional<int> firstRun = {};  // what a first run stores; none: left alone
};

// One setting held as a string.
struct TextSetting {
    const char* name;
    const char* readDefault = "";           // UTF-8
    const char* firstRun = nullptr;         // UTF-8; null: a first run leaves it alone
    QString (*readDefaultNow)() = nullptr;  // a default that depends on the user; wins when set
};

// The user's home folder followed by "/": where record files go until the
// operator chooses a folder.
QString homeFolderDefault();

// The value of setting::firstRunStamp that marks a store holding its
// first-run values.
constexpr int kFirstRunStamp = 2024011912;

// The label template a first run stores: 12 lines of the label printer's
// command language, each ended by CR LF, 161 ASCII characters.
inline constexpr char kDefaultLabelTemplate[] =
    "N\r\n"
    "q514\r\n"
    "Q204,24\r\n"
    "JF\r\n"
    "D10\r\n"
    "S2\r\n"
    "O\r\n"
    "B205,194,2,1,1,3,55,B,\"@C\"\r\n"
    "A276,136,2,3,1,1,N,\"Q`TY:\"\r\n"
    "A486,194,2,3,1,3,N,\"@Y-@M-@D @H:@m\"\r\n"
    "B486,98,2,1,2,4,55,B,\"@S0\"\r\n"
    "P1,1\r\n";
std::string defaultLabelTemplate();

// The settings table: every key of the file, one row each, named by what it
// means. Reads and writes go through these rows (SettingsStore::intValue,
// setInt, text, setText), so a key's name, type and default are written once.
namespace setting {
inline constexpr IntSetting firstRunStamp{"version", 0, kFirstRunStamp};
inline constexpr TextSetting labelTemplate{"format", "", kDefaultLabelTemplate};  // CR LF line ends
inline constexpr TextSetting wifiName{"ssid", "", "default"};
inline constexpr TextSetting wifiPassword{"passwd", "", "lantern"};
inline constexpr TextSetting recordFileName{"file", "", "kav"};
inline constexpr IntSetting speedStep{"speed", 1, 1};      // index in the speed list
inline constexpr IntSetting recordFormat{"f2name", 1, 0};  // index in the record format list
inline constexpr TextSetting speedValue1{"kavrin_speed3_1", "15"};
inline constexpr TextSetting speedValue2{"kavrin_speed3_2", "30"};
inline constexpr TextSetting speedValue3{"kavrin_speed3_3", "45"};
inline constexpr IntSetting presetCount{"presetCnt", 0};  // signed: the sign is the preset's
inline constexpr TextSetting recordFolder{"fPath", "", nullptr, homeFolderDefault};  // ends in "/"
inline constexpr TextSetting panelPassword{"root", "teal"};
// The label preview's sample values of the machine's @ tokens, one text.
inline constexpr TextSetting labelSamples{"labelSamples", ""};
// The plant link to the plant's MQTT broker; an empty host keeps it off.
inline constexpr TextSetting plantHost{"mqttHost", ""};
inline constexpr IntSetting plantPort{"mqttPort", 1883};
inline constexpr IntSetting plantTls{"mqttTls", 0};
inline constexpr TextSetting plantCaFile{"mqttCaFile", ""};
inline constexpr TextSetting plantCertFile{"mqttCertFile", ""};
inline constexpr TextSetting plantKeyFile{"mqttKeyFile", ""};
inline constexpr TextSetting plantUser{"mqttUser", ""};
inline constexpr TextSetting plantPassword{"mqttPassword", ""};
inline constexpr TextSetting plantStation{"mqttStation", ""};  // empty: the host name
inline constexpr TextSetting plantPrefix{"mqttPrefix", "tolvane"};
}  // namespace setting

// A row of the table as the store and the first-run rule walk it.
struct SettingRow {
    const IntSetting* integer = nullptr;  // exactly one of the two is set
    const TextSetting* text = nullptr;
    const char* key = nullptr;  // the row's name

    constexpr SettingRow(const IntSetting& row) : integer(&row), key(row.name) {}
    constexpr SettingRow(const TextSetting& row) : text(&row), key(row.name) {}
    constexpr const char* name() const { return key; }
    bool hasFirstRunValue() const {
        return integer != nullptr ? integer->firstRun.has_value() : text->firstRun != nullptr;
    }
};

// Every row, in the order a first run writes them (the stamp is written last
// all the same: see applyFirstRunRule in SettingsRules.h).
inline constexpr std::array<SettingRow, 24> kSettingsTable = {
    setting::firstRunStamp,  setting::labelTemplate, setting::wifiName,      setting::wifiPassword,
    setting::recordFileName, setting::speedStep,     setting::recordFormat,  setting::speedValue1,
    setting::speedValue2,    setting::speedValue3,   setting::presetCount,   setting::recordFolder,
    setting::panelPassword,  setting::labelSamples,  setting::plantHost,     setting::plantPort,
    setting::plantTls,       setting::plantCaFile,   setting::plantCertFile, setting::plantKeyFile,
    setting::plantUser,      setting::plantPassword, setting::plantStation,  setting::plantPrefix};

namespace settingtable {
constexpr bool namesAreUnique() {
    for (std::size_t i = 0; i < kSettingsTable.size(); ++i) {
        for (std::size_t j = i + 1; j < kSettingsTable.size(); ++j) {
            if (std::string_view(kSettingsTable[i].name()) == kSettingsTable[j].name()) {
                return false;
            }
        }
    }
    return true;
}
}  // namespace settingtable
static_assert(settingtable::namesAreUnique(), "two rows of the settings table share a key");

// The row of the table stored under `name`; none for a key the table lacks.
std::optional<SettingRow> settingNamed(std::string_view name);

// What a read of `row` gives when the key is absent or unreadable.
QString textDefault(const TextSetting& row);
