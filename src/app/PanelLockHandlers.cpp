#include "app/ControlTable.h"
#include "app/PanelLock.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "text/TextConv.h"

void CTolvaneAppDlg::onPanelToggleClicked() {
    if (panelOpen) {
        resizeOuter(narrowWidth(fullRect), fullRect.height());
        panelOpen = false;
        return;
    }
    const std::string typed = ctrlUtf8(ctl::kPanelPassword);
    const std::string password = encodeUtf8(store_.text(setting::panelPassword));
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
    store_.setText(setting::panelPassword, ctrlText(ctl::kNewPassword));
}
