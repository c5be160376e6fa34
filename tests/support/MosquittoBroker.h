#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class ChildProcess;

// How the test's broker is set up. Without TLS files it listens on one plain
// port; with them on a TLS port too. Without users anyone may connect.
struct BrokerOptions {
    std::filesystem::path caFile;  // with certFile and keyFile: a TLS listener too
    std::filesystem::path certFile;
    std::filesystem::path keyFile;
    bool requireClientCertificate = false;
    std::vector<std::pair<std::string, std::string>> users;  // name, password
};

// A real mosquitto broker, started by the test on 127.0.0.1 on free ports with
// a configuration written into `folder`, and stopped by the destructor. It
// keeps its sessions and queued messages across stop() and start() (as a
// broker that restarts does), so a subscriber with a persistent session misses
// nothing while it is away.
class MosquittoBroker {
  public:
    explicit MosquittoBroker(std::filesystem::path folder, BrokerOptions options = {});
    ~MosquittoBroker();
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    std::uint16_t port() const { return port_; }
    std::uint16_t tlsPort() const { return tlsPort_; }
    bool running() const { return process_ != nullptr; }

    // SIGTERM, and waits until it has ended (it saves its sessions first).
    void stop();
    // Starts it again on the same ports; returns once it accepts connections.
    void start();
    // SIGKILL: a broker that dies without a word.
    void kill();
    // What the broker logged so far.
    std::string log() const;

  private:
    bool launch();  // false when a port was taken meanwhile
    void writeConfig() const;

    std::filesystem::path folder_;
    BrokerOptions options_;
    std::uint16_t port_ = 0;
    std::uint16_t tlsPort_ = 0;
    std::unique_ptr<ChildProcess> process_;
};

// A TCP port that nobody listens on at 127.0.0.1 right now.
std::uint16_t freeTcpPort();
// Waits until something accepts TCP connections on 127.0.0.1:`port`.
bool waitForListener(std::uint16_t port, std::chrono::milliseconds limit);
