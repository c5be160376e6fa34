#include "app/ControlTable.h"
#include "app/PanelLock.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "text/TextConv.h"

bool CTolvaneAppDlg::startUp() {
    setWindowIcon(appIcon);

    refreshPortList();
    setComboSelection(ctl::kPort, 0);

    for (int pitch : commands::pitchTable) {
        addComboEntry(ctl::kPitch, QString::number(pitch));
    }
    setComboSelection(ctl::kPitch, 0);
    for (const char* name : functionNames()) {
        addComboEntry(ctl::kFunction, decodeUtf8(name));
    }
    setComboSelection(ctl::kFunction, 0);
    for (const char* name : speedNames()) {
        addComboEntry(ctl::kSpeedStep, decodeUtf8(name));
    }
    for (const char* name : recordFormatNames()) {
        addComboEntry(ctl::kRecordFormat, decodeUtf8(name));
    }
    setComboSelection(ctl::kSpeedStep, -1);
    setComboSelection(ctl::kRecordFormat, -1);

    if (env_.startThreads) {
        startClock();
    }

    applyFirstRunRule(store_);

    // Every setting into its control. Filling the single-line edits runs their
    // change handlers, which store the value shown again.
    fillBoundControls();
    setCtrlText(ctl::kSsid, store_.text(setting::wifiName));
    setCtrlText(ctl::kWifiPassword, store_.text(setting::wifiPassword));
    fillPreset();
    recordFolder = encodeUtf8(store_.text(setting::recordFolder));

    setCtrlText(ctl::kRecordPath, decodeUtf8(recordPathNow()));

    takeFullRect();
    resizeOuter(narrowWidth(fullRect), fullRect.height());
    panelOpen = false;

    if (env_.startThreads) {
        startReceivers();
    }
    showLinkStatus();
    control(ctl::kPort)->setFocus();
    return true;
}
