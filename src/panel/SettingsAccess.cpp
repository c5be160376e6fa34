#include "panel/SettingsAccess.h"

#include "settings/SettingsStore.h"
#include "text/TextConv.h"

std::string storedText(const SettingsStore& store, const char* key, const char* fallback) {
    return encodeUtf8(store.ReadString(key, QString::fromUtf8(fallback)));
}

int storedNumber(const SettingsStore& store, const char* key, int fallback) {
    return store.ReadInt(key, fallback);
}

void storeText(SettingsStore& store, const char* key, const std::string& text) {
    store.WriteString(key, decodeUtf8(text));
}

void storeNumber(SettingsStore& store, const char* key, int number) {
    store.WriteInt(key, number);
}
