#pragma once

#include <QTimer>

#include <functional>

// Runs `tick` just after every change of second of the wall clock: a
// single-shot timer on the owner's thread, armed anew for each next second.
// One wake-up a second, no thread of its own.
class ClockTicker {
  public:
    explicit ClockTicker(std::function<void()> tick);

    // Traces the clock's start, ticks once at once, then every second.
    void start();
    void stop();

  private:
    void armForNextSecond();

    std::function<void()> tick_;
    QTimer timer_;
};
