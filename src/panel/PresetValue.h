#pragma once

#include "inbound/DeviceReport.h"

class PanelModel;
class SettingsStore;

// The preset: its sign, its count as typed and its switch are three values
// of the model and one setting, the signed count.
void loadPreset(PanelModel& model, const SettingsStore& store);
void savePreset(const PanelModel& model, SettingsStore& store);
// The sign is shown before the count; the switch follows the frame too.
// True when the signed count changed.
bool mirrorPreset(PanelModel& model, const DeviceState& state);
// The signed count the model shows.
int shownPreset(const PanelModel& model);
