#include <QTimer>

#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "inbound/Calendar.h"
#include "text/DebugTrace.h"
#include "text/TextConv.h"

// The clock field shows local time, rewritten every 100 ms. A timer on the
// window's thread does this: no thread of its own, and the field is only ever
// touched by the window's thread.
void CTolvaneAppDlg::startClock() {
    DebugTrace("tmTimeTask", 825, "enter time thread!");
    clockTimer_ = new QTimer(this);
    clockTimer_->setInterval(100);
    connect(clockTimer_, &QTimer::timeout, this, [this] { showClock(); });
    showClock();
    clockTimer_->start();
}

void CTolvaneAppDlg::showClock() {
    setCtrlText(ctl::kClock, decodeUtf8(formatClockDisplay(localCalendar(now()))));
}
