#include <QSocketNotifier>
#include <QTimer>

#include "app/TolvaneAppDlg.h"
#include "app/link/LinkStatusBar.h"

// The link's threads queue what they receive; its event descriptor, watched
// by the window's event loop, has the window's thread take it over.
void CTolvaneAppDlg::startReceivers() {
    link_.start();
    linkNotifier_ = std::make_unique<QSocketNotifier>(link_.eventFd(), QSocketNotifier::Read);
    connect(linkNotifier_.get(), &QSocketNotifier::activated, this, [this] {
        const auto before = link_.lastFrameAt();
        link_.pump();  // a changed status is shown by the link's handler
        // The line counts a frame's age in whole seconds, and the clock brings
        // it up to date every second. A frame changes what it shows only
        // after a second or more without one: under a flood the line is
        // not laid out again for every batch.
        const auto now = link_.lastFrameAt();
        if (now != before && (!before || *now - *before >= std::chrono::seconds(1))) {
            showLinkStatus();
        }
    });
}

void CTolvaneAppDlg::showLinkStatus() {
    std::optional<long> frameAge;
    if (const auto last = link_.lastFrameAt()) {
        frameAge = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(
                                         std::chrono::steady_clock::now() - *last)
                                         .count());
    }
    statusBar_->showLine(describeLink(link_.status(), env_.udpPort, frameAge));
}

const LinkStatusLine& CTolvaneAppDlg::linkStatusLine() const {
    return statusBar_->line();
}

// Every thread is stopped and joined before the window goes away, and the
// link's handles are closed.
void CTolvaneAppDlg::stopBackgroundWork() {
    if (clockTimer_ != nullptr) {
        clockTimer_->stop();
    }
    link_.stop();
}
