#pragma once

#include <QApplication>
#include <QElapsedTimer>

#include <vector>

// Times every event the window's thread dispatches from its event loop, while
// `measuring`: how long each one held the thread, in ms, in dispatch order.
class TimedApplication : public QApplication {
  public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        if (depth_++ > 0 || !measuring) {
            const bool handled = QApplication::notify(receiver, event);
            --depth_;
            return handled;
        }
        QElapsedTimer timer;
        timer.start();
        const bool handled = QApplication::notify(receiver, event);
        holds.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        --depth_;
        return handled;
    }

    bool measuring = false;
    std::vector<double> holds;

  private:
    int depth_ = 0;
};
