#include "panel/ThreadWake.h"

ThreadWake::ThreadWake(std::function<void()> woken) {
    if (!event_.valid()) {
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(event_.fd(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated,
                     [this, woken = std::move(woken)] {
                         event_.drain();
                         woken();
                     });
}
