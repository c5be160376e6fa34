#include "panel/ClockTicker.h"

#include <QDateTime>

#include "text/TraceSites.h"

namespace {
// Past the second boundary by this much, so the new second is surely shown.
constexpr int kPastTheSecondMs = 2;
}  // namespace

ClockTicker::ClockTicker(std::function<void()> tick) : tick_(std::move(tick)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        tick_();
        armForNextSecond();
    });
}

void ClockTicker::start() {
    trace<sites::clockStarted>();
    tick_();
    armForNextSecond();
}

void ClockTicker::stop() {
    timer_.stop();
}

void ClockTicker::armForNextSecond() {
    const auto intoSecond = static_cast<int>(QDateTime::currentMSecsSinceEpoch() % 1000);
    timer_.start(1000 - intoSecond + kPastTheSecondMs);
}
