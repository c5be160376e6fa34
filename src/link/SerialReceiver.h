#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "os/WakeEvent.h"

// The serial receive thread: while a port is set it reads one burst at a time
// (ended by more than 10 ms of silence or 64 KiB) and delivers each burst
// in order. It blocks in poll on the port and its wake event: no timer ticks.
// A port that stops working (unplugged) is reported once through `failed`.
class SerialReceiver {
  public:
    // Hands one burst on. `release` is requested when the port it came from
    // is given up (setPort, stop): a delivery still waiting then must return.
    using Deliver = std::function<void(std::string burst, std::stop_token release)>;
    using Failed = std::function<void()>;

    explicit SerialReceiver(Deliver deliver, Failed failed = {});
    ~SerialReceiver();
    SerialReceiver(const SerialReceiver&) = delete;
    SerialReceiver& operator=(const SerialReceiver&) = delete;

    void start();
    // Serves `fd` from now on (-1: none). Returns once the thread no longer
    // uses the previous port, so the caller may close it. A burst of the
    // previous port still being delivered is released, so this never waits
    // for whoever takes the deliveries.
    void setPort(int fd);
    void stop();

  private:
    void run();

    Deliver deliver_;
    Failed failed_;
    WakeEvent wake_;
    std::mutex mutex_;
    std::condition_variable served_;
    int port_ = -1;
    std::stop_source portRelease_;  // requested when port_ is replaced or on stop
    std::uint64_t generation_ = 0;
    std::uint64_t servedGeneration_ = 0;
    bool stopping_ = false;
    bool running_ = false;
    std::thread thread_;
};
