#pragma once

#include <QString>
#include <array>
#include <string>

class SettingsStore;

// The keys of the section "TolvaneApp".
namespace keys {
inline constexpr char version[] = "version";  // int: first-run stamp
inline constexpr char format[] = "format";    // string: label template, CR LF line ends
inline constexpr char ssid[] = "ssid";        // string: Wi-Fi network name
inline constexpr char passwd[] = "passwd";    // string: Wi-Fi password
inline constexpr char file[] = "file";        // string: record file name
inline constexpr char speed[] = "speed";      // int: index in the speed list
inline constexpr char f2name[] = "f2name";    // int: index in the record format list
inline constexpr char kavrin_speed3_1[] = "kavrin_speed3_1";  // string: speed step texts
inline constexpr char kavrin_speed3_2[] = "kavrin_speed3_2";
inline constexpr char kavrin_speed3_3[] = "kavrin_speed3_3";
inline constexpr char presetCnt[] = "presetCnt";  // int, signed: preset count
inline constexpr char fPath[] = "fPath";          // string: record folder, ends in "/"
inline constexpr char root[] = "root";            // string: parameter panel password

// Every key of the store, in the order of the key table.
inline constexpr std::array all = {
    version,         format,          ssid,      passwd, file, speed, f2name, kavrin_speed3_1,
    kavrin_speed3_2, kavrin_speed3_3, presetCnt, fPath,  root};
}  // namespace keys

// What a read returns when the key is absent (or holds the other type). The
// default of keys::fPath depends on the user: homeFolderDefault().
namespace keyDefaults {
inline constexpr int version = 0;
inline constexpr char format[] = "";
inline constexpr char ssid[] = "";
inline constexpr char passwd[] = "";
inline constexpr char file[] = "";
inline constexpr int speed = 1;
inline constexpr int f2name = 1;
inline constexpr char kavrin_speed3_1[] = "15";
inline constexpr char kavrin_speed3_2[] = "30";
inline constexpr char kavrin_speed3_3[] = "45";
inline constexpr int presetCnt = 0;
inline constexpr char root[] = "teal";
}  // namespace keyDefaults

// The user's home folder followed by "/": where record files go until the
// operator chooses a folder.
QString homeFolderDefault();

// A stored position in a list of `count` entries (keys::speed, keys::f2name):
// absent, of the other type, or outside the list, it reads as the default.
int readListIndex(const SettingsStore& store, const char* key, int defaultValue, int count);

// The value of keys::version that marks a store holding its first-run values.
constexpr int kFirstRunStamp = 2024011912;

// The label template the first run stores in keys::format: 12 lines of the
// label printer's command language, each ended by CR LF, 161 ASCII characters.
std::string defaultLabelTemplate();

// Unless keys::version holds kFirstRunStamp, traces "is first " and writes the
// first-run values of version, format, ssid, passwd, file, speed and f2name, in
// that order; the other keys keep what they hold. True when it wrote.
bool applyFirstRunRule(SettingsStore& store);
