#include "Command.h"

#include <array>
#include <utility>

namespace sim {

Command parseCommand(std::string_view text) {
    static constexpr std::array<std::pair<std::string_view, CommandKind>, 5> exact{{
        {"kavrin_key:rewind", CommandKind::Rewind},
        {"kavrin_key:stop", CommandKind::Stop},
        {"kavrin_key:star", CommandKind::Start},
        {"kavrin_key:print", CommandKind::Print},
        {"kavrin_clear", CommandKind::Clear},
    }};
    static constexpr std::array<std::pair<std::string_view, CommandKind>, 10> prefixed{{
        {"kavrin_time:", CommandKind::Time},
        {"kavrin_wifi:", CommandKind::Wifi},
        {"kavrin_func:", CommandKind::Function},
        {"kavrin_pitch:", CommandKind::Pitch},
        {"kavrin_speed_sel:", CommandKind::SpeedSel},
        {"kavrin_preset:cnt,", CommandKind::PresetCount},
        {"kavrin_preset:enable=", CommandKind::PresetEnable},
        {"kavrin_speed3:", CommandKind::Speed3},
        {"kavrin_cmd:", CommandKind::Label},
        {"kavrin_f2name:", CommandKind::F2Name},
    }};
    for (const auto& [word, kind] : exact) {
        if (text == word) {
            return {kind, {}};
        }
    }
    for (const auto& [prefix, kind] : prefixed) {
        if (text.starts_with(prefix)) {
            return {kind, std::string(text.substr(prefix.size()))};
        }
    }
    return {CommandKind::Unknown, std::string(text)};
}

}  // namespace sim
