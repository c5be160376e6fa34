#pragma once

#include <string>
#include <string_view>

namespace sim {

enum class CommandKind {
    Rewind,        // "kavrin_key:rewind"
    Stop,          // "kavrin_key:stop"
    Start,         // "kavrin_key:star"
    Print,         // "kavrin_key:print"
    Clear,         // "kavrin_clear"
    Time,          // "kavrin_time:" Y,MM,DD,hh,mm,ss
    Wifi,          // "kavrin_wifi:" ssid,pass,ip,port
    Function,      // "kavrin_func:" 0..2
    Pitch,         // "kavrin_pitch:" a tape pitch
    SpeedSel,      // "kavrin_speed_sel:" 0..2
    PresetCount,   // "kavrin_preset:cnt," signed count
    PresetEnable,  // "kavrin_preset:enable=" 0|1 "," signed count
    Speed3,        // "kavrin_speed3:" s1,s2,s3
    Label,         // "kavrin_cmd:" label template
    F2Name,        // "kavrin_f2name:" 0|1
    Unknown,
};

struct Command {
    CommandKind kind = CommandKind::Unknown;
    std::string payload;  // the text after the command's prefix
};

// `text` is the command without its terminating NUL. Key commands and
// "kavrin_clear" match only exactly; the others by their prefix.
Command parseCommand(std::string_view text);

}  // namespace sim
