#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;

struct MqttMessage {
    std::string topic;
    std::string payload;
    bool retained = false;
};

// A subscriber on the test's broker, as a plant's consumer would be: a
// libmosquitto client with its own network thread, subscribed with QoS 1 on a
// persistent session, so that what arrives while the broker restarts is
// delivered once it is back.
class MqttSubscriber {
  public:
    struct Login {
        std::string user;
        std::string password;
    };
    // Returns once the subscription is in place.
    MqttSubscriber(std::uint16_t port, std::string filter, Login login = {});
    ~MqttSubscriber();
    MqttSubscriber(const MqttSubscriber&) = delete;
    MqttSubscriber& operator=(const MqttSubscriber&) = delete;

    using Check = std::function<bool(const std::vector<MqttMessage>&)>;
    // Waits until `done` holds for the messages received so far, at most `limit`.
    bool waitFor(const Check& done, std::chrono::milliseconds limit);
    std::vector<MqttMessage> messages() const;
    std::size_t count() const;
    // When each message arrived, in the order of messages().
    std::vector<std::chrono::steady_clock::time_point> arrivals() const;

  private:
    static void onConnect(mosquitto* client, void* self, int code);
    static void onSubscribe(mosquitto* client, void* self, int mid, int count, const int* granted);
    static void onMessage(mosquitto* client, void* self, const struct mosquitto_message* message);

    std::string filter_;
    mosquitto* client_ = nullptr;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool subscribed_ = false;
    std::vector<MqttMessage> messages_;
    std::vector<std::chrono::steady_clock::time_point> arrivals_;
};
