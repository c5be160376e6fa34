#pragma once

#include <QString>

#include "settings/SettingsStore.h"

// The line the window shows while the settings do not reach their file, in
// the style of a record that was not written: "settings NOT saved: <reason>".
// Empty while they do. Translatable, in the "SettingsStatus" context.
QString settingsNotSavedLine(const SettingsKeeping& keeping);
