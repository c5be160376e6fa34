#include "app/BoundControls.h"

#include <array>

#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "settings/SettingsKeys.h"

namespace {

using V = BoundValue;

// Any speed value sends all three, in the order S1, S2, S3.
std::string speedsShown(const CTolvaneAppDlg& dlg) {
    return commands::speedsCommand(dlg.ctrlUtf8(ctl::kSpeed1), dlg.ctrlUtf8(ctl::kSpeed2),
                                   dlg.ctrlUtf8(ctl::kSpeed3));
}

// The pitch list shows pitches; the command carries the pitch, not its place.
std::string pitchShown(const CTolvaneAppDlg& dlg) {
    const int index = dlg.comboSelection(ctl::kPitch);
    if (index < 0 || index >= static_cast<int>(commands::pitchTable.size())) {
        return {};  // no entry chosen: there is no pitch to send
    }
    return commands::pitchCommand(commands::pitchTable[static_cast<std::size_t>(index)]);
}

constexpr std::array kBoundControls = {
    BoundControl{.id = ctl::kTemplate, .value = V::Text, .key = keys::format},
    BoundControl{.id = ctl::kSpeed1,
                 .value = V::Text,
                 .key = keys::kavrin_speed3_1,
                 .defaultText = keyDefaults::kavrin_speed3_1,
                 .command = speedsShown,
                 .mirror = &DeviceState::s1},
    BoundControl{.id = ctl::kSpeed2,
                 .value = V::Text,
                 .key = keys::kavrin_speed3_2,
                 .defaultText = keyDefaults::kavrin_speed3_2,
                 .command = speedsShown,
                 .mirror = &DeviceState::s2},
    BoundControl{.id = ctl::kSpeed3,
                 .value = V::Text,
                 .key = keys::kavrin_speed3_3,
                 .defaultText = keyDefaults::kavrin_speed3_3,
                 .command = speedsShown,
                 .mirror = &DeviceState::s3},
    BoundControl{.id = ctl::kRecordFormat,
                 .value = V::Index,
                 .key = keys::f2name,
                 .defaultIndex = keyDefaults::f2name,
                 .command =
                     [](const CTolvaneAppDlg& dlg) {
                         return commands::recordFormatCommand(
                             dlg.comboSelection(ctl::kRecordFormat));
                     },
                 .partOfRecordPath = true},
    BoundControl{
        .id = ctl::kFileName, .value = V::Text, .key = keys::file, .partOfRecordPath = true},
    BoundControl{.id = ctl::kSpeedStep,
                 .value = V::Index,
                 .key = keys::speed,
                 .defaultIndex = keyDefaults::speed,
                 .command =
                     [](const CTolvaneAppDlg& dlg) {
                         return commands::speedSelectCommand(dlg.comboSelection(ctl::kSpeedStep));
                     },
                 .mirror = &DeviceState::speed},
    BoundControl{.id = ctl::kFunction,
                 .value = V::Index,
                 .command =
                     [](const CTolvaneAppDlg& dlg) {
                         return commands::functionCommand(dlg.comboSelection(ctl::kFunction));
                     },
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
