#pragma once

#include <array>
#include <string>
#include <string_view>

// Every command the panel sends to the machine, built from its inputs. Texts
// taken from controls are copied as they stand: no trimming, quoting or
// escaping. The send path adds the one NUL that frames each command.
namespace commands {

inline constexpr std::string_view kRewind = "kavrin_key:rewind";
inline constexpr std::string_view kStop = "kavrin_key:stop";
inline constexpr std::string_view kStart = "kavrin_key:star";  // the machine's word: no final t
inline constexpr std::string_view kPrint = "kavrin_key:print";
inline constexpr std::string_view kClear = "kavrin_clear";

// The UDP port the panel listens on and announces to the machine.
inline constexpr int kUdpPort = 39451;

// The tape pitches behind the pitch list, in list order.
inline constexpr std::array<int, 15> pitchTable = {2,  4,  8,  12, 16, 20, 24, 28,
                                                   32, 36, 40, 44, 48, 52, 56};

// Position of `pitch` in pitchTable; 0 when it is not listed.
int pitchPosition(int pitch);

// "kavrin_time:" + the six fields already formatted "%d,%02d,%02d,%02d,%02d,%02d".
std::string timeCommand(std::string_view clockFields);
std::string wifiCommand(std::string_view ssid, std::string_view password, std::string_view localIp);
// The machine splits the Wi-Fi command at its commas and the send path ends a
// command at its first NUL: a name or password holding either cannot go out
// as typed.
bool wifiFieldSendable(std::string_view field);
std::string functionCommand(int index);
std::string pitchCommand(int pitch);
std::string speedSelectCommand(int index);
std::string presetCountCommand(bool negative, std::string_view countText);
std::string presetEnableCommand(int checkState, bool negative, std::string_view countText);
std::string speedsCommand(std::string_view s1, std::string_view s2, std::string_view s3);
std::string templateCommand(std::string_view labelTemplate);
std::string recordFormatCommand(int index);

// The signed preset value the panel stores: the count text read as atoi reads
// it, negated for the "-" sign. Counts beyond 32 bits are clamped to
// 2147483647 (or -2147483648 with the "-" sign) instead of overflowing.
int presetValue(bool negative, std::string_view countText);

// Leading-integer rule shared by the panel: optional white space and sign, then
// digits; 0 when there are none; saturates at the 32-bit limits.
int leadingInt(std::string_view text);

}  // namespace commands
