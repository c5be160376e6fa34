#include "storage/DiskWriter.h"

#include <pthread.h>
#include <sched.h>

#include <utility>

#include "text/TraceSites.h"

namespace {

// Handing a job over wakes this thread; as a batch thread it does not take the
// processor from the thread that woke it (the window's), but waits its turn.
void yieldToInteractiveThreads() {
    sched_param none{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &none);
}

}  // namespace

DiskWriter::DiskWriter(SyncCall sync) : sync_(std::move(sync)) {
    thread_ = std::thread([this] { run(); });
}

DiskWriter::~DiskWriter() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_one();
    thread_.join();
}

void DiskWriter::post(std::string what, Job job) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (finished_) {
            return;
        }
        jobs_.push_back(Entry{std::move(what), std::move(job)});
        ++posted_;
    }
    queued_.notify_one();
}

bool DiskWriter::drain(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::uint64_t target = posted_;
    return ran_.wait_for(lock, limit, [&] { return done_ + dropped_ >= target; });
}

std::vector<std::string> DiskWriter::finish(std::chrono::milliseconds limit) {
    drain(limit);
    std::vector<std::string> left;
    const std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    if (!running_.empty()) {
        left.push_back(running_);
    }
    for (const Entry& entry : jobs_) {
        left.push_back(entry.what);
    }
    dropped_ += jobs_.size();
    jobs_.clear();
    return left;
}

void DiskWriter::run() {
    yieldToInteractiveThreads();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) {
            return;  // stopping, and everything ran
        }
        Entry entry = std::move(jobs_.front());
        jobs_.pop_front();
        running_ = entry.what;
        lock.unlock();
        try {
            entry.job(sync_);
        } catch (...) {
            // A job that throws (out of memory) loses its own write only.
        }
        entry = Entry{};  // what the job holds goes before it counts as done
        lock.lock();
        running_.clear();
        ++done_;
        ran_.notify_all();
    }
}

bool finishDiskWrites(DiskWriter& writer, std::chrono::milliseconds limit) {
    const std::vector<std::string> left = writer.finish(limit);
    for (const std::string& what : left) {
        trace<sites::diskDidNotAnswer>(what.c_str(), static_cast<long long>(limit.count()));
    }
    return left.empty();
}
