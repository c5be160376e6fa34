#include "app/BoundControls.h"

#include <array>

#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "settings/SettingsKeys.h"

namespace {

using V = BoundValue;

// The command that carries the selected entry's position in its list.
template <std::string (*build)(int)>
std::string selectedEntryCommand(const CTolvaneAppDlg& dlg, int id) {
    return build(dlg.comboSelection(id));
}

// Any speed value sends all three, in the order S1, S2, S3.
std::string speedsShown(const CTolvaneAppDlg& dlg, int) {
    return commands::speedsCommand(dlg.ctrlUtf8(ctl::kSpeed1), dlg.ctrlUtf8(ctl::kSpeed2),
                                   dlg.ctrlUtf8(ctl::kSpeed3));
}

// The pitch list shows pitches; the command carries the pitch, not its place.
std::string pitchShown(const CTolvaneAppDlg& dlg, int id) {
    const int index = dlg.comboSelection(id);
    if (index < 0 || index >= static_cast<int>(commands::pitchTable.size())) {
        return {};  // no entry chosen: there is no pitch to send
    }
    return commands::pitchCommand(commands::pitchTable[static_cast<std::size_t>(index)]);
}

constexpr BoundControl speedValue(int id, const char* key, const char* defaultText,
                                  std::int32_t DeviceState::*mirror) {
    return {.id = id,
            .value = V::Text,
            .key = key,
            .defaultText = defaultText,
            .command = speedsShown,
            .mirror = mirror};
}

constexpr std::array kBoundControls = {
    BoundControl{.id = ctl::kTemplate, .value = V::Text, .key = keys::format},
    speedValue(ctl::kSpeed1, keys::kavrin_speed3_1, keyDefaults::kavrin_speed3_1, &DeviceState::s1),
    speedValue(ctl::kSpeed2, keys::kavrin_speed3_2, keyDefaults::kavrin_speed3_2, &DeviceState::s2),
    speedValue(ctl::kSpeed3, keys::kavrin_speed3_3, keyDefaults::kavrin_speed3_3, &DeviceState::s3),
    BoundControl{.id = ctl::kRecordFormat,
                 .value = V::Index,
                 .key = keys::f2name,
                 .defaultIndex = keyDefaults::f2name,
                 .command = selectedEntryCommand<commands::recordFormatCommand>,
                 .partOfRecordPath = true},
    BoundControl{
        .id = ctl::kFileName, .value = V::Text, .key = keys::file, .partOfRecordPath = true},
    BoundControl{.id = ctl::kSpeedStep,
                 .value = V::Index,
                 .key = keys::speed,
                 .defaultIndex = keyDefaults::speed,
                 .command = selectedEntryCommand<commands::speedSelectCommand>,
                 .mirror = &DeviceState::speed},
    BoundControl{.id = ctl::kFunction,
                 .value = V::Index,
                 .command = selectedEntryCommand<commands::functionCommand>,
                 .mirror = &DeviceState::function},
    BoundControl{.id = ctl::kPitch,
                 .value = V::Index,
                 .command = pitchShown,
                 .mirror = &DeviceState::pitch,
                 .shownFromFrame = commands::pitchPosition},
};

}  // namespace

std::span<const BoundControl> boundControls() {
    return kBoundControls;
}
