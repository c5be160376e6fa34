#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "storage/DiskSync.h"

// A sync for the disk writer that waits until the test opens the gate, then
// syncs for real: everything handed to the writer meanwhile queues up behind
// it. Counts the syncs that reached it.
class SyncGate {
  public:
    SyncCall call() {
        return [this](int fd, SyncKind kind) {
            std::unique_lock<std::mutex> lock(mutex_);
            ++arrived_;
            changed_.notify_all();
            changed_.wait(lock, [this] { return open_; });
            lock.unlock();
            return syncToDisk(fd, kind);
        };
    }
    void open() {
        const std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    // Waits (at most 10 s) until `count` syncs reached the gate.
    bool waitArrived(int count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return arrived_ >= count; });
    }
    int arrived() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return arrived_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    int arrived_ = 0;
};
