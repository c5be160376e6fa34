#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "link/LocalIp.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "text/TextConv.h"

// Hands the machine the Wi-Fi credentials with this computer's address and
// port; the credentials are stored whether or not the command got through.
// Credentials the machine would split wrongly are refused: nothing is sent or
// stored, and a message box says why.
void CTolvaneAppDlg::onWifiSetClicked() {
    const std::string ssid = ctrlUtf8(ctl::kSsid);
    const std::string password = ctrlUtf8(ctl::kWifiPassword);
    if (!commands::wifiFieldSendable(ssid) || !commands::wifiFieldSendable(password)) {
        messageBox(tr("WIFI名称或密码含有逗号或空字符，未发送!"));
        return;
    }
    const std::string address = env_.localIp ? env_.localIp() : localNetworkAddress();
    sendCommand(commands::wifiCommand(ssid, password, address));
    store_.setText(setting::wifiName, decodeUtf8(ssid));
    store_.setText(setting::wifiPassword, decodeUtf8(password));
}
