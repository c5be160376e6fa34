// Function, pitch and speed step: only the operator's choice sends; only the
// speed step is remembered.
#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

void CTolvaneAppDlg::OnCbnSelchangeFunctionCombo() {
    tmSendMsg(commands::functionCommand(comboSelection(ctl::kFunction)));
}

void CTolvaneAppDlg::OnCbnSelchangePitchCombo() {
    const int index = comboSelection(ctl::kPitch);
    if (index < 0 || index >= static_cast<int>(commands::pitchTable.size())) {
        return;  // no entry chosen: there is no pitch to send
    }
    tmSendMsg(commands::pitchCommand(commands::pitchTable[static_cast<std::size_t>(index)]));
}

void CTolvaneAppDlg::OnCbnSelchangeSpeedCombo() {
    const int index = comboSelection(ctl::kSpeedStep);
    tmSendMsg(commands::speedSelectCommand(index));
    store_.WriteInt(keys::speed, index);
}
