#include <QDateTime>
#include <QTimer>

#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "inbound/Calendar.h"
#include "text/DebugTrace.h"
#include "text/TextConv.h"

namespace {
// Past the second boundary by this much, so the new second is surely shown.
constexpr int kPastTheSecondMs = 2;
}  // namespace

// The clock field shows local time, rewritten once a second just after the
// second changes; the status line's frame age moves on the same tick. A
// single-shot timer on the window's thread does this, re-armed for the next
// boundary each time: one wake-up a second, no thread of its own, and the
// field is only ever touched by the window's thread.
void CTolvaneAppDlg::startClock() {
    DebugTrace("tmTimeTask", 825, "enter time thread!");
    clockTimer_ = new QTimer(this);
    clockTimer_->setSingleShot(true);
    clockTimer_->setTimerType(Qt::PreciseTimer);
    connect(clockTimer_, &QTimer::timeout, this, [this] {
        showClock();
        showLinkStatus();
        armClockForNextSecond();
    });
    showClock();
    armClockForNextSecond();
}

void CTolvaneAppDlg::armClockForNextSecond() {
    const auto intoSecond = static_cast<int>(QDateTime::currentMSecsSinceEpoch() % 1000);
    clockTimer_->start(1000 - intoSecond + kPastTheSecondMs);
}

void CTolvaneAppDlg::showClock() {
    setCtrlText(ctl::kClock, decodeUtf8(formatClockDisplay(localCalendar(now()))));
}
