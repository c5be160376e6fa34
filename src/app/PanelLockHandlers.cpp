#include "app/ControlTable.h"
#include "app/ControlText.h"
#include "app/PanelLock.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "text/TextConv.h"

void CTolvaneAppDlg::OnBnClickedPanelToggle() {
    if (panelOpen) {
        resizeOuter(narrowWidth(fullRect), fullRect.height());
        panelOpen = false;
        return;
    }
    const std::string typed = GetCtrlText(*this, ctl::kPanelPassword);
    const std::string password =
        WideToAnsi(store_.ReadString(keys::root, QString::fromLatin1(keyDefaults::root)));
    if (typed == password) {
        resizeOuter(fullRect.width(), fullRect.height());
        panelOpen = true;
        setCtrlText(ctl::kPanelPassword, QString());
        return;
    }
    if (countFailedClick(quickFailCount, lastFailTick, tick())) {
        resizeOuter(fullRect.width(), fullRect.height());
        panelOpen = true;
    }
}

void CTolvaneAppDlg::OnBnClickedPasswordChange() {
    store_.WriteString(keys::root, ctrlText(ctl::kNewPassword));
}
