#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

// Runs the window's event loop until `done()` holds or `ms` pass; returns done().
template <class Predicate>
bool waitUntil(Predicate done, int ms = 2000) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) {
            return done();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

// Runs the event loop for `ms`, so whatever is on its way arrives.
inline void settle(int ms) {
    waitUntil([] { return false; }, ms);
}
