#pragma once

#include <string>

class SettingsStore;

// The settings as the panel keeps them: 8-bit text and integers.
std::string storedText(const SettingsStore& store, const char* key, const char* fallback = "");
int storedNumber(const SettingsStore& store, const char* key, int fallback);
void storeText(SettingsStore& store, const char* key, const std::string& text);
void storeNumber(SettingsStore& store, const char* key, int number);
