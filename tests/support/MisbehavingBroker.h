#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// A TCP server on 127.0.0.1 that plays a broker gone wrong, on a thread of its
// own. It counts the MQTT packets it is sent, by their fixed headers.
class MisbehavingBroker {
  public:
    enum class Manner {
        Silent,   // accepts, reads everything, answers nothing
        Garbage,  // answers the CONNECT with bytes that are not MQTT, and stays open
        Reset,    // resets every connection as soon as it is accepted
        NoAcks,   // accepts the log-in (CONNACK), then acknowledges nothing
    };
    explicit MisbehavingBroker(Manner manner);
    ~MisbehavingBroker();
    MisbehavingBroker(const MisbehavingBroker&) = delete;
    MisbehavingBroker& operator=(const MisbehavingBroker&) = delete;

    std::uint16_t port() const { return port_; }
    std::vector<std::chrono::steady_clock::time_point> accepted() const;
    // PUBLISH packets received on each connection, in the order of accepted().
    std::vector<int> publishesPerConnection() const;

  private:
    struct Client {
        int fd;
        std::vector<unsigned char> bytes;  // not yet counted
        bool answered = false;
        std::size_t index;
    };
    void run();
    void readFrom(Client& client);

    Manner manner_;
    int listener_ = -1;
    int stop_ = -1;
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::vector<std::chrono::steady_clock::time_point> accepted_;
    std::vector<int> publishes_;
    std::thread thread_;
};
