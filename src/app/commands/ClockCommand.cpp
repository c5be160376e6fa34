// The machine's clock set to this computer's: nothing read, nothing stored.
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "inbound/Calendar.h"

void CTolvaneAppDlg::onSetClockClicked() {
    sendCommand(commands::timeCommand(formatClockCommandFields(localCalendar(now()))));
}
