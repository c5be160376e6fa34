#include "settings/SettingsKeys.h"

#include "os/UserFolders.h"
#include "settings/SettingsStore.h"
#include "text/DebugTrace.h"
#include "text/TextConv.h"

QString homeFolderDefault() {
    std::string home = userHomeFolder().string();
    if (home.empty() || home.back() != '/') {
        home += '/';
    }
    return decodeUtf8(home);
}

int readListIndex(const SettingsStore& store, const char* key, int defaultValue, int count) {
    const int index = store.ReadInt(key, defaultValue);
    return index >= 0 && index < count ? index : defaultValue;
}

std::string defaultLabelTemplate() {
    return "N\r\n"
           "q514\r\n"
           "Q204,24\r\n"
           "JF\r\n"
           "D10\r\n"
           "S2\r\n"
           "O\r\n"
           "B205,194,2,1,1,3,55,B,\"@C\"\r\n"
           "A276,136,2,3,1,1,N,\"Q`TY:\"\r\n"
           "A486,194,2,3,1,3,N,\"@Y-@M-@D @H:@m\"\r\n"
           "B486,98,2,1,2,4,55,B,\"@S0\"\r\n"
           "P1,1\r\n";
}

bool applyFirstRunRule(SettingsStore& store) {
    if (store.ReadInt(keys::version, keyDefaults::version) == kFirstRunStamp) {
        return false;
    }
    DebugTrace("CTolvaneAppDlg::OnInitDialog", 550, "is first ");
    store.WriteString(keys::format, decodeUtf8(defaultLabelTemplate()));
    store.WriteString(keys::ssid, QStringLiteral("default"));
    store.WriteString(keys::passwd, QStringLiteral("lantern"));
    store.WriteString(keys::file, QStringLiteral("kav"));
    store.WriteInt(keys::speed, 1);
    store.WriteInt(keys::f2name, 0);
    // The stamp last: a file that has it has the other six values too, also
    // while another panel starting at the same moment reads it, and also
    // after a first run cut short.
    store.WriteInt(keys::version, kFirstRunStamp);
    return true;
}
