#include "link/ChunkQueue.h"

ChunkQueue::Push ChunkQueue::push(std::string chunk, std::stop_token cancel) {
    std::unique_lock lock(mutex_);
    space_.wait(lock, cancel, [this] { return closed_ || chunks_.size() < capacity_; });
    if (closed_) {
        return Push::Closed;
    }
    if (chunks_.size() >= capacity_) {
        return Push::Cancelled;
    }
    const bool first = chunks_.empty();
    chunks_.push_back(std::move(chunk));
    return first ? Push::QueuedFirst : Push::Queued;
}

bool ChunkQueue::popBatch(std::vector<std::string>& out, std::size_t most) {
    std::lock_guard lock(mutex_);
    while (most-- > 0 && !chunks_.empty()) {
        out.push_back(std::move(chunks_.front()));
        chunks_.pop_front();
    }
    space_.notify_all();
    return !chunks_.empty();
}

void ChunkQueue::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    space_.notify_all();
}
