#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "plant/PlantConfig.h"
#include "plant/PlantStatus.h"
#include "plant/PlantTls.h"

struct mosquitto;

// One connection to the broker, from the first packet to its close: a
// libmosquitto client run by the calling thread alone (libmosquitto starts no
// thread of its own here). The owner polls socket() and hands what poll saw to
// service(); callbacks only note what happened, so nothing is sent from inside
// libmosquitto.
class PlantSession {
  public:
    using Clock = std::chrono::steady_clock;
    // Keep-alive: the broker hears from the link at least this often; a broker
    // that does not answer a ping for as long is given up.
    static constexpr int kKeepAliveSeconds = 20;

    // Starts connecting to the broker of `config`, with the retained last will
    // kOfflinePayload on `willTopic` (none when empty). `role` tells this
    // client from the station's others ("link", "test") in its client id. The
    // host name is looked up here, on the calling thread. Null, with *failure
    // set, when it cannot even start.
    static std::unique_ptr<PlantSession> open(const PlantConfig& config, const std::string& role,
                                              const std::string& willTopic, PlantStatus* failure);
    ~PlantSession();  // closes at once, without a word to the broker
    PlantSession(const PlantSession&) = delete;
    PlantSession& operator=(const PlantSession&) = delete;

    // The socket to poll, -1 once closed.
    int socket() const;
    bool wantsWrite() const;
    // Reads, writes and keeps alive after poll() returned `events` for socket().
    void service(short events);
    // Keep-alive without a poll event (a timer ran out).
    void keepAlive();
    // When keepAlive() must run at the latest.
    Clock::time_point keepAliveDue() const { return keepAliveDue_; }

    bool accepted() const { return accepted_; }
    Clock::time_point openedAt() const { return openedAt_; }
    Clock::time_point acceptedAt() const { return acceptedAt_; }
    bool closed() const { return closed_; }
    // Why the session closed (or failed to open), phase and reason.
    const PlantStatus& closure() const { return closure_; }
    // Ends the session now with `reason`, as the owner decided (no answer in time).
    void abandon(const std::string& reason);

    // QoS 1; the message id, or -1 when the session closed meanwhile.
    int publish(const std::string& topic, const std::string& payload, bool retain);
    // The message ids the broker acknowledged since the last call, in order.
    std::vector<int> takeAcknowledged();

    // Sends `payload` retained on `topic` (nothing when it is empty) and a clean
    // disconnect, and waits at most `limit` for them to leave.
    void closeWith(const std::string& topic, const std::string& payload,
                   std::chrono::milliseconds limit);

  private:
    explicit PlantSession(const PlantConfig& config);
    static void onConnect(mosquitto* client, void* self, int code);
    static void onDisconnect(mosquitto* client, void* self, int code);
    static void onPublish(mosquitto* client, void* self, int mid);
    // After each call into libmosquitto: closes the session when the call, or
    // a disconnect it reported, ended the connection.
    void settle(int result, int error);
    void close(PlantPhase phase, const std::string& reason);

    PlantConfig config_;
    mosquitto* client_ = nullptr;
    std::unique_ptr<PlantTlsContext> tls_;
    Clock::time_point openedAt_;
    Clock::time_point acceptedAt_;
    Clock::time_point keepAliveDue_;
    bool accepted_ = false;
    bool closed_ = false;
    int refusal_ = 0;            // the CONNACK's return code when the broker refused
    bool disconnected_ = false;  // libmosquitto reported the connection's end
    int disconnectCode_ = 0;
    int disconnectErrno_ = 0;
    PlantStatus closure_;
    std::vector<int> acknowledged_;
};
