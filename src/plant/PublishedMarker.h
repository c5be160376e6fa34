#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Stores in the journal which records the broker acknowledged, on a thread of
// its own with its own connection, so that publishing never waits for the
// journal's write lock while the disk writer commits, nor for a sync. Ids
// handed over meanwhile are stored together, in one transaction.
class PublishedMarker {
  public:
    // `stored` runs on the marker's thread after each batch is in the journal;
    // it must only signal.
    PublishedMarker(std::string journalPath, std::function<void()> stored);
    ~PublishedMarker();  // stores what it holds (one try), then joins
    PublishedMarker(const PublishedMarker&) = delete;
    PublishedMarker& operator=(const PublishedMarker&) = delete;

    void hand(const std::vector<std::int64_t>& ids);
    // Ids handed over and not stored yet: they count against the link's
    // window, so that a journal that cannot be written stops the link from
    // sending, instead of letting acknowledged ids pile up.
    std::size_t pending() const;

  private:
    void run();

    const std::string journalPath_;
    const std::function<void()> stored_;
    mutable std::mutex mutex_;
    std::condition_variable handed_;
    std::vector<std::int64_t> ids_;
    std::size_t storing_ = 0;  // taken by the thread, not stored yet
    bool stopping_ = false;
    std::thread thread_;  // last: starts once the members it uses exist
};
