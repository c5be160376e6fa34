#include "app/ControlTable.h"
#include "app/PanelLock.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "text/TextConv.h"

bool CTolvaneAppDlg::OnInitDialog() {
    setWindowIcon(appIcon);

    // The port list: "NET", then every serial port found.
    EnumSerialPorts(portNumbers_, env_.ports);
    addComboEntry(ctl::kPort, QStringLiteral("NET"));
    for (unsigned number : portNumbers_) {
        addComboEntry(ctl::kPort, QStringLiteral("COM%1").arg(number));
    }
    setComboSelection(ctl::kPort, 0);

    for (int pitch : commands::pitchTable) {
        addComboEntry(ctl::kPitch, QString::number(pitch));
    }
    setComboSelection(ctl::kPitch, 0);
    for (const char* name : functionNames()) {
        addComboEntry(ctl::kFunction, AnsiToWide(name));
    }
    setComboSelection(ctl::kFunction, 0);
    for (const char* name : speedNames()) {
        addComboEntry(ctl::kSpeedStep, AnsiToWide(name));
    }
    for (const char* name : recordFormatNames()) {
        addComboEntry(ctl::kRecordFormat, AnsiToWide(name));
    }
    setComboSelection(ctl::kSpeedStep, -1);
    setComboSelection(ctl::kRecordFormat, -1);

    if (env_.startThreads) {
        startClock();
    }

    applyFirstRunRule(store_);

    // Every setting into its control, in this order: filling the single-line
    // edits runs their change handlers, which store the value shown again.
    setCtrlText(ctl::kTemplate, store_.ReadString(keys::format));
    setCtrlText(ctl::kSsid, store_.ReadString(keys::ssid));
    setCtrlText(ctl::kWifiPassword, store_.ReadString(keys::passwd));
    setCtrlText(ctl::kSpeed1, store_.ReadString(keys::kavrin_speed3_1,
                                                QString::fromLatin1(keyDefaults::kavrin_speed3_1)));
    setCtrlText(ctl::kSpeed2, store_.ReadString(keys::kavrin_speed3_2,
                                                QString::fromLatin1(keyDefaults::kavrin_speed3_2)));
    setCtrlText(ctl::kSpeed3, store_.ReadString(keys::kavrin_speed3_3,
                                                QString::fromLatin1(keyDefaults::kavrin_speed3_3)));
    setComboSelection(ctl::kRecordFormat,
                      readListIndex(store_, keys::f2name, keyDefaults::f2name,
                                    static_cast<int>(recordFormatNames().size())));
    setCtrlText(ctl::kFileName, store_.ReadString(keys::file));
    const qint64 preset = store_.ReadInt(keys::presetCnt, keyDefaults::presetCnt);
    if (preset < 0) {
        setCtrlText(ctl::kPresetSign, QStringLiteral("-"));
    }
    setCtrlText(ctl::kPresetCount, QString::number(preset < 0 ? -preset : preset));
    setComboSelection(ctl::kSpeedStep, readListIndex(store_, keys::speed, keyDefaults::speed,
                                                     static_cast<int>(speedNames().size())));
    recordFolder = WideToAnsi(store_.ReadString(keys::fPath, homeFolderDefault()));

    setCtrlText(ctl::kRecordPath, AnsiToWide(tmRecordPath()));

    takeFullRect();
    resizeOuter(narrowWidth(fullRect), fullRect.height());
    panelOpen = false;

    if (env_.startThreads) {
        startReceivers();
    }
    control(ctl::kPort)->setFocus();
    return true;
}
