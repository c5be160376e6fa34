#pragma once

#include "plant/PlantConfig.h"

class SettingsStore;

// The plant link's configuration as the settings file holds it, under the
// keys of the settings table.
PlantConfig storedPlantConfig(const SettingsStore& store);
void storePlantConfig(SettingsStore& store, const PlantConfig& config);
