// The three speed values: any change sends all three, in the order S1, S2,
// S3, and stores only the edit that changed.
#include "app/ControlTable.h"
#include "app/ControlText.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "text/TextConv.h"

void CTolvaneAppDlg::speedEditChanged(int ownId, const char* key) {
    const std::string s1 = GetCtrlText(*this, ctl::kSpeed1);
    const std::string s2 = GetCtrlText(*this, ctl::kSpeed2);
    const std::string s3 = GetCtrlText(*this, ctl::kSpeed3);
    tmSendMsg(commands::speedsCommand(s1, s2, s3));
    const std::string& own = ownId == ctl::kSpeed1 ? s1 : ownId == ctl::kSpeed2 ? s2 : s3;
    store_.WriteString(key, AnsiToWide(own));
}

void CTolvaneAppDlg::OnEnChangeSpeed1() {
    speedEditChanged(ctl::kSpeed1, keys::kavrin_speed3_1);
}
void CTolvaneAppDlg::OnEnChangeSpeed2() {
    speedEditChanged(ctl::kSpeed2, keys::kavrin_speed3_2);
}
void CTolvaneAppDlg::OnEnChangeSpeed3() {
    speedEditChanged(ctl::kSpeed3, keys::kavrin_speed3_3);
}
