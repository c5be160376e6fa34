#include "plant/PublishedMarker.h"

#include <chrono>

#include "journal/Journal.h"
#include "text/TraceSites.h"

namespace {

constexpr auto kRetry = std::chrono::seconds(1);

}  // namespace

PublishedMarker::PublishedMarker(std::string journalPath, std::function<void()> stored)
    : journalPath_(std::move(journalPath)),
      stored_(std::move(stored)),
      thread_([this] { run(); }) {}

PublishedMarker::~PublishedMarker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    handed_.notify_all();
    thread_.join();
}

void PublishedMarker::hand(const std::vector<std::int64_t>& ids) {
    if (ids.empty()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        ids_.insert(ids_.end(), ids.begin(), ids.end());
    }
    handed_.notify_one();
}

std::size_t PublishedMarker::pending() const {
    std::lock_guard lock(mutex_);
    return ids_.size() + storing_;
}

void PublishedMarker::run() {
    std::unique_ptr<Journal> journal;
    std::unique_lock lock(mutex_);
    for (;;) {
        handed_.wait(lock, [this] { return stopping_ || !ids_.empty(); });
        if (ids_.empty()) {
            return;
        }
        std::vector<std::int64_t> batch;
        batch.swap(ids_);
        storing_ = batch.size();
        const bool last = stopping_;
        lock.unlock();

        std::string error;
        if (!journal) {
            journal = Journal::open(journalPath_, JournalAccess::Write, &error);
        }
        const bool stored = journal && journal->markPublished(batch, &error);
        if (!stored) {
            // Published, but the journal does not know yet: the worst that
            // can come of it is the same records published once more.
            trace<sites::publishedNotStored>(error.c_str());
            if (journal && journal->damaged()) {
                journal.reset();
            }
        } else if (stored_) {
            stored_();
        }

        lock.lock();
        storing_ = 0;
        if (!stored) {
            ids_.insert(ids_.begin(), batch.begin(), batch.end());
            if (last) {
                return;
            }
            handed_.wait_for(lock, kRetry, [this] { return stopping_; });
        }
    }
}
