#include "link/ChunkQueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(ChunkQueue, OnlyTheFirstChunkIntoAnEmptyQueueAsksForADrain) {
    ChunkQueue queue;
    EXPECT_EQ(queue.push("a"), ChunkQueue::Push::QueuedFirst);
    EXPECT_EQ(queue.push("b"), ChunkQueue::Push::Queued);
    std::vector<std::string> batch;
    EXPECT_TRUE(queue.popBatch(batch, 1));
    EXPECT_FALSE(queue.popBatch(batch, 5));
    EXPECT_EQ(batch, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(queue.push("c"), ChunkQueue::Push::QueuedFirst);
}

TEST(ChunkQueue, AFullQueueHoldsTheProducerWithoutLosingAnythingAndCloseReleasesIt) {
    ChunkQueue queue(4);
    std::thread producer([&] {
        for (int i = 0; i < 1000; ++i) {
            ASSERT_NE(queue.push(std::to_string(i)), ChunkQueue::Push::Closed);
        }
    });
    std::vector<std::string> all;
    while (all.size() < 1000) {
        queue.popBatch(all, 3);
    }
    producer.join();
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(all[static_cast<std::size_t>(i)], std::to_string(i));
    }

    for (int i = 0; i < 4; ++i) {
        queue.push("x");
    }
    std::thread blocked([&] { EXPECT_EQ(queue.push("y"), ChunkQueue::Push::Closed); });
    queue.close();
    blocked.join();
}

// Whole datagrams are large: the queue is bounded by bytes too, and an empty
// queue still takes a chunk larger than that bound.
TEST(ChunkQueue, ItsBytesAreBoundedAndAnEmptyQueueTakesAnyChunk) {
    ChunkQueue queue(100, 10);
    EXPECT_EQ(queue.push(std::string(25, 'a')), ChunkQueue::Push::QueuedFirst);
    std::stop_source release;
    std::thread waiting(
        [&] { EXPECT_EQ(queue.push("b", release.get_token()), ChunkQueue::Push::Cancelled); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    release.request_stop();
    waiting.join();

    std::vector<std::string> batch;
    EXPECT_FALSE(queue.popBatch(batch, 5));
    EXPECT_EQ(queue.push("12345"), ChunkQueue::Push::QueuedFirst);
    EXPECT_EQ(queue.push("67890"), ChunkQueue::Push::Queued);
    std::thread producer([&] { EXPECT_NE(queue.push("x"), ChunkQueue::Push::Closed); });
    batch.clear();
    while (batch.size() < 3) {
        queue.popBatch(batch, 1);
    }
    producer.join();
    EXPECT_EQ(batch, (std::vector<std::string>{"12345", "67890", "x"}));
}

TEST(ChunkQueue, AFullQueueLetsGoOfAProducerWhoseReleaseIsRequested) {
    ChunkQueue queue(1);
    ASSERT_EQ(queue.push("kept"), ChunkQueue::Push::QueuedFirst);
    std::stop_source release;
    std::thread waiting([&] {
        EXPECT_EQ(queue.push("dropped", release.get_token()), ChunkQueue::Push::Cancelled);
    });
    release.request_stop();
    waiting.join();
    EXPECT_EQ(queue.push("refused at once", release.get_token()), ChunkQueue::Push::Cancelled);

    std::vector<std::string> batch;
    EXPECT_FALSE(queue.popBatch(batch, 5));
    EXPECT_EQ(batch, std::vector<std::string>{"kept"});
    EXPECT_EQ(queue.push("room again", release.get_token()), ChunkQueue::Push::QueuedFirst)
        << "with room nothing waits, so nothing is dropped";
}

}  // namespace
