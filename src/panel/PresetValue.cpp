#include "panel/PresetValue.h"

#include <string>

#include "commands/CommandSet.h"
#include "panel/PanelModel.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"

namespace {

std::string magnitudeText(int value) {
    const long long wide = value;
    return std::to_string(wide < 0 ? -wide : wide);
}

}  // namespace

int shownPreset(const PanelModel& model) {
    return commands::presetValue(model.flag(FlagValue::PresetNegative),
                                 model.text(TextValue::PresetCount));
}

void loadPreset(PanelModel& model, const SettingsStore& store) {
    const int preset = store.intValue(setting::presetCount);
    if (preset < 0) {
        model.setFlag(FlagValue::PresetNegative, true, Origin::StartUp);
    }
    model.setText(TextValue::PresetCount, magnitudeText(preset), Origin::StartUp);
}

void savePreset(const PanelModel& model, SettingsStore& store) {
    store.setInt(setting::presetCount, shownPreset(model));
}

bool mirrorPreset(PanelModel& model, const DeviceState& state) {
    bool changed = false;
    if (shownPreset(model) != state.preset) {
        model.setFlag(FlagValue::PresetNegative, state.preset < 0, Origin::Machine);
        model.setText(TextValue::PresetCount, magnitudeText(state.preset), Origin::Machine);
        changed = true;
    }
    model.setFlag(FlagValue::PresetOn, state.presetOn != 0, Origin::Machine);
    return changed;
}
