// The preset count: its sign lives only in the caption of button 1029; every
// change sends the whole preset and stores the signed count.
#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"

bool CTolvaneAppDlg::presetSignIsMinus() const {
    const std::string sign = ctrlUtf8(ctl::kPresetSign);
    return !sign.empty() && sign.front() == '-';
}

void CTolvaneAppDlg::onPresetCountChanged() {
    const bool negative = presetSignIsMinus();
    const std::string count = ctrlUtf8(ctl::kPresetCount);
    sendCommand(commands::presetCountCommand(negative, count));
    store_.setInt(setting::presetCount, commands::presetValue(negative, count));
}

void CTolvaneAppDlg::onPresetSignClicked() {
    const std::string sign = ctrlUtf8(ctl::kPresetSign);
    const bool plus = !sign.empty() && sign.front() == '+';
    setCtrlText(ctl::kPresetSign, plus ? QStringLiteral("-") : QStringLiteral("+"));
    onPresetCountChanged();
}

void CTolvaneAppDlg::onPresetEnableClicked() {
    const std::string count = ctrlUtf8(ctl::kPresetCount);
    const int state = checkState(ctl::kPresetOn);
    const bool negative = presetSignIsMinus();
    sendCommand(commands::presetEnableCommand(state, negative, count));
    store_.setInt(setting::presetCount, commands::presetValue(negative, count));
}

void CTolvaneAppDlg::fillPreset() {
    const qint64 preset = store_.intValue(setting::presetCount);
    if (preset < 0) {
        setCtrlText(ctl::kPresetSign, QStringLiteral("-"));
    }
    setCtrlText(ctl::kPresetCount, QString::number(preset < 0 ? -preset : preset));
}

void CTolvaneAppDlg::mirrorPreset(const DeviceState& state) {
    const int shownPreset = commands::presetValue(presetSignIsMinus(), ctrlUtf8(ctl::kPresetCount));
    if (shownPreset != state.preset) {
        setCtrlText(ctl::kPresetSign,
                    state.preset >= 0 ? QStringLiteral("+") : QStringLiteral("-"));
        const qint64 magnitude = state.preset < 0 ? -qint64{state.preset} : qint64{state.preset};
        setCtrlText(ctl::kPresetCount, QString::number(magnitude));
    }
    if (checkState(ctl::kPresetOn) != state.presetOn) {
        setCheckState(ctl::kPresetOn, state.presetOn);
    }
}
