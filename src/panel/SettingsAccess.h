#pragma once

#include <string>

class SettingsStore;
struct IntSetting;
struct TextSetting;

// The settings as the panel keeps them: 8-bit (UTF-8) text and integers.
std::string storedText(const SettingsStore& store, const TextSetting& setting);
void storeText(SettingsStore& store, const TextSetting& setting, const std::string& text);
