// The machine's keys and its clock: fixed texts, nothing read, nothing stored.
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "inbound/Calendar.h"

void CTolvaneAppDlg::OnBnClickedRewind() {
    tmSendMsg(std::string(commands::kRewind));
}
void CTolvaneAppDlg::OnBnClickedStop() {
    tmSendMsg(std::string(commands::kStop));
}
void CTolvaneAppDlg::OnBnClickedStart() {
    tmSendMsg(std::string(commands::kStart));
}
void CTolvaneAppDlg::OnBnClickedPrint() {
    tmSendMsg(std::string(commands::kPrint));
}
void CTolvaneAppDlg::OnBnClickedClear() {
    tmSendMsg(std::string(commands::kClear));
}

void CTolvaneAppDlg::OnBnClickedTime() {
    tmSendMsg(commands::timeCommand(formatClockCommandFields(localCalendar(now()))));
}
