#include <QSocketNotifier>
#include <QTimer>

#include "app/TolvaneAppDlg.h"

// The link's threads queue what they receive; its event descriptor, watched
// by the window's event loop, has the window's thread take it over.
void CTolvaneAppDlg::startReceivers() {
    link_.start();
    linkNotifier_ = std::make_unique<QSocketNotifier>(link_.eventFd(), QSocketNotifier::Read);
    connect(linkNotifier_.get(), &QSocketNotifier::activated, this, [this] { link_.pump(); });
}

// Every thread is stopped and joined before the window goes away, and the
// link's handles are closed.
void CTolvaneAppDlg::stopBackgroundWork() {
    if (clockTimer_ != nullptr) {
        clockTimer_->stop();
    }
    link_.stop();
}
