#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>

#include "os/WakeEvent.h"

// How another thread hands work to the thread that made this: it signals,
// and that thread's event loop runs `woken` once for all the signals since
// the last run. Signalling never waits and may come from any thread while
// this object lives.
class ThreadWake {
  public:
    explicit ThreadWake(std::function<void()> woken);
    ThreadWake(const ThreadWake&) = delete;
    ThreadWake& operator=(const ThreadWake&) = delete;

    void signal() { event_.signal(); }
    // A call that signals this wake, for a thread that must not know more.
    std::function<void()> signaller() {
        return [this] { event_.signal(); };
    }

  private:
    WakeEvent event_;
    std::unique_ptr<QSocketNotifier> notifier_;  // none when the event could not be made
};
