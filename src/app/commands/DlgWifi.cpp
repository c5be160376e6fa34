#include "app/ControlTable.h"
#include "app/ControlText.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "link/LocalIp.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "text/TextConv.h"

// Hands the machine the Wi-Fi credentials with this computer's address and
// port; the credentials are stored whether or not the command got through.
void CTolvaneAppDlg::OnBnClickedWifiSet() {
    const std::string ssid = GetCtrlText(*this, ctl::kSsid);
    const std::string password = GetCtrlText(*this, ctl::kWifiPassword);
    const std::string address = env_.localIp ? env_.localIp() : GetLocalIp();
    tmSendMsg(commands::wifiCommand(ssid, password, address));
    store_.WriteString(keys::ssid, AnsiToWide(ssid));
    store_.WriteString(keys::passwd, AnsiToWide(password));
}
