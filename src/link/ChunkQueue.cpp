#include "link/ChunkQueue.h"

bool ChunkQueue::hasRoomFor(std::size_t size) const {
    return chunks_.size() < capacity_ && (chunks_.empty() || bytes_ + size <= byteCapacity_);
}

ChunkQueue::Push ChunkQueue::push(std::string chunk, std::stop_token cancel) {
    std::unique_lock lock(mutex_);
    const std::size_t size = chunk.size();
    space_.wait(lock, cancel, [&] { return closed_ || hasRoomFor(size); });
    if (closed_) {
        return Push::Closed;
    }
    if (!hasRoomFor(size)) {
        return Push::Cancelled;
    }
    const bool first = chunks_.empty();
    bytes_ += size;
    chunks_.push_back(std::move(chunk));
    return first ? Push::QueuedFirst : Push::Queued;
}

bool ChunkQueue::popBatch(std::vector<std::string>& out, std::size_t most) {
    std::lock_guard lock(mutex_);
    while (most-- > 0 && !chunks_.empty()) {
        bytes_ -= chunks_.front().size();
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
