#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

// Ends the test program with a message when it is not dismissed within
// `limit`: a deadlock in the code under test then fails the run instead of
// hanging it.
class Watchdog {
  public:
    Watchdog(std::chrono::milliseconds limit, std::string what)
        : what_(std::move(what)), thread_([this, limit] { watch(limit); }) {}
    ~Watchdog() { dismiss(); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    void dismiss() {
        {
            std::lock_guard lock(mutex_);
            dismissed_ = true;
        }
        dismissedSignal_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
    }

  private:
    void watch(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        if (!dismissedSignal_.wait_for(lock, limit, [this] { return dismissed_; })) {
            std::fprintf(stderr, "watchdog: %s did not finish: deadlock\n", what_.c_str());
            std::abort();
        }
    }

    std::string what_;
    std::mutex mutex_;
    std::condition_variable dismissedSignal_;
    bool dismissed_ = false;
    std::thread thread_;  // last: starts once the members it uses exist
};
