#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

// Carries received chunks from the receive threads to the window's thread, in
// order. When it is full (by count, or by bytes: a chunk may be a whole
// 64 KiB datagram) the receive thread waits (the socket or the serial driver
// buffers meanwhile) rather than dropping chunks or growing without end. An
// empty queue takes any one chunk.
// Only a receive thread that is being stopped or moved to another port gives
// up waiting: it must never depend on the window's thread, which may be the
// one waiting for it to let go.
class ChunkQueue {
  public:
    explicit ChunkQueue(std::size_t capacity = 8192, std::size_t byteCapacity = 32 << 20)
        : capacity_(capacity), byteCapacity_(byteCapacity) {}

    enum class Push { Queued, QueuedFirst, Closed, Cancelled };
    // QueuedFirst: the queue was empty, so the consumer must be told.
    // Cancelled: `cancel` was requested before there was room; the chunk is
    // dropped.
    Push push(std::string chunk, std::stop_token cancel = {});
    // Moves up to `most` chunks into `out`; true when more remain.
    bool popBatch(std::vector<std::string>& out, std::size_t most);
    // Wakes every waiting producer; later pushes are refused.
    void close();

  private:
    bool hasRoomFor(std::size_t size) const;

    std::size_t capacity_;
    std::size_t byteCapacity_;
    std::size_t bytes_ = 0;
    std::mutex mutex_;
    std::condition_variable_any space_;
    std::deque<std::string> chunks_;
    bool closed_ = false;
};
