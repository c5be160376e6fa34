#include "app/ControlTable.h"
#include "app/PanelLock.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "text/TextConv.h"

void CTolvaneAppDlg::onPanelToggleClicked() {
    if (panelOpen) {
        resizeOuter(narrowWidth(fullRect), fullRect.height());
        panelOpen = false;
        return;
    }
    const std::string typed = ctrlUtf8(ctl::kPanelPassword);
    const std::string password =
        encodeUtf8(store_.ReadString(keys::root, QString::fromLatin1(keyDefaults::root)));
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

void CTolvaneAppDlg::onPanelPasswordChangeClicked() {
    store_.WriteString(keys::root, ctrlText(ctl::kNewPassword));
}
