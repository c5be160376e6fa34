#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "storage/DiskSync.h"

// The one thread that writes record files and the settings file. Whoever has
// something to write hands it over as a job and returns at once; the jobs run
// one after the other, in the order they were handed over, each given the
// sync call to make its bytes durable. The thread never waits for anyone
// else's thread, so any thread may wait for it.
class DiskWriter {
  public:
    using Job = std::function<void(const SyncCall& sync)>;

    explicit DiskWriter(SyncCall sync = syncToDisk);
    // Runs every job still queued, then joins the thread.
    ~DiskWriter();
    DiskWriter(const DiskWriter&) = delete;
    DiskWriter& operator=(const DiskWriter&) = delete;

    // Queues `job`; `what` names it should it never run ("record to <path>").
    // Callable from any thread. After finish() jobs are dropped.
    void post(std::string what, Job job);

    // Waits until every job handed over before the call has run, or `limit`
    // has passed; true when they all ran.
    bool drain(std::chrono::milliseconds limit);

    // For the end of the program: waits as drain() does, then drops whatever
    // has not run; returns the names of the jobs that did not finish (the one
    // still running first), empty when everything was written.
    std::vector<std::string> finish(std::chrono::milliseconds limit);

  private:
    struct Entry {
        std::string what;
        Job job;
    };
    void run();

    SyncCall sync_;
    std::mutex mutex_;
    std::condition_variable queued_;  // a job arrived, or the thread is to end
    std::condition_variable ran_;     // a job finished
    std::deque<Entry> jobs_;
    std::string running_;  // name of the job running now, empty when idle
    std::uint64_t posted_ = 0;
    std::uint64_t done_ = 0;
    std::uint64_t dropped_ = 0;  // by finish(), never to run
    bool finished_ = false;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once everything above exists
};

// Closing the program: every job handed over is written, unless the disk does
// not answer within `limit`; then each job left unwritten is traced. True when
// everything was written.
bool finishDiskWrites(DiskWriter& writer, std::chrono::milliseconds limit);
