#include "link/SerialReceiver.h"

#include <cstring>
#include <exception>
#include <system_error>
#include <vector>

#include "link/SerialDevice.h"
#include "text/TraceSites.h"
#include "text/TraceText.h"

namespace {
// A burst of up to 64 KiB is read at once: a long record arrives whole.
constexpr std::size_t kBurstCapacity = 64 * 1024;
}  // namespace

SerialReceiver::SerialReceiver(Deliver deliver, Failed failed)
    : deliver_(std::move(deliver)), failed_(std::move(failed)) {}

SerialReceiver::~SerialReceiver() {
    stop();
}

void SerialReceiver::start() {
    std::lock_guard lock(mutex_);
    if (running_ || stopping_) {
        return;
    }
    if (!wake_.valid()) {
        trace<sites::serialThreadNotStarted>(std::strerror(wake_.error()));
        return;
    }
    running_ = true;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error& failure) {
        running_ = false;
        trace<sites::serialThreadNotStarted>(failure.what());
    }
}

void SerialReceiver::setPort(int fd) {
    std::unique_lock lock(mutex_);
    port_ = fd;
    portRelease_.request_stop();
    portRelease_ = std::stop_source();
    const std::uint64_t wanted = ++generation_;
    if (!running_) {
        servedGeneration_ = wanted;
        return;
    }
    wake_.signal();
    served_.wait(lock, [&] { return servedGeneration_ >= wanted || !running_; });
}

void SerialReceiver::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        portRelease_.request_stop();
    }
    wake_.signal();
    if (thread_.joinable()) {
        thread_.join();
    }
    std::lock_guard lock(mutex_);
    running_ = false;
    served_.notify_all();
}

void SerialReceiver::run() {
    std::vector<char> buffer(kBurstCapacity + 1);
    int port = -1;
    std::stop_token release;
    bool failed = false;  // the port stopped working: wait for the next one
    for (;;) {
        wake_.drain();
        {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                break;
            }
            if (servedGeneration_ != generation_) {
                port = port_;
                release = portRelease_.get_token();
                failed = false;
                servedGeneration_ = generation_;
                served_.notify_all();
            }
        }
        if (port < 0 || failed) {
            wake_.wait(-1);
            continue;
        }
        const Burst burst = readBurst(port, wake_.fd(), buffer.data(), kBurstCapacity);
        if (burst.status == BurstStatus::Failed) {
            trace<sites::uartReadFailed>();
            failed = true;
            if (failed_) {
                failed_();
            }
        } else if (burst.status == BurstStatus::Data && burst.size > 0) {
            buffer[burst.size] = '\0';
            try {
                trace<sites::uartReceived>(traceSafe(buffer.data()).c_str());
                deliver_(std::string(buffer.data(), burst.size), release);
            } catch (const std::exception& failure) {
                // Out of memory for one burst: it is lost, the port goes on.
                trace<sites::burstDropped>(failure.what());
            }
        }
    }
    std::lock_guard lock(mutex_);
    running_ = false;
    served_.notify_all();
}
