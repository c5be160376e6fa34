#include "app/BoundControls.h"

#include <array>

#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "settings/SettingsTable.h"

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
    BoundControl{.id = ctl::kTemplate, .value = V::Text, .key = setting::labelTemplate.name},
    speedValue(ctl::kSpeed1, setting::speedValue1.name, setting::speedValue1.readDefault,
               &DeviceState::s1),
    speedValue(ctl::kSpeed2, setting::speedValue2.name, setting::speedValue2.readDefault,
               &DeviceState::s2),
    speedValue(ctl::kSpeed3, setting::speedValue3.name, setting::speedValue3.readDefault,
               &DeviceState::s3),
    BoundControl{.id = ctl::kRecordFormat,
                 .value = V::Index,
                 .key = setting::recordFormat.name,
                 .defaultIndex = setting::recordFormat.readDefault,
                 .command = selectedEntryCommand<commands::recordFormatCommand>,
                 .partOfRecordPath = true},
    BoundControl{.id = ctl::kFileName,
                 .value = V::Text,
                 .key = setting::recordFileName.name,
                 .partOfRecordPath = true},
    BoundControl{.id = ctl::kSpeedStep,
                 .value = V::Index,
                 .key = setting::speedStep.name,
                 .defaultIndex = setting::speedStep.readDefault,
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
