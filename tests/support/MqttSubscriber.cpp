#include "support/MqttSubscriber.h"

#include <mosquitto.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>

#include "plant/MqttLibrary.h"

namespace {

std::string uniqueId() {
    static std::atomic<int> next{0};
    return "test-subscriber-" + std::to_string(getpid()) + "-" + std::to_string(next++);
}

}  // namespace

MqttSubscriber::MqttSubscriber(std::uint16_t port, std::string filter, Login login)
    : filter_(std::move(filter)) {
    initialiseMqttLibrary();
    client_ = mosquitto_new(uniqueId().c_str(), false, this);
    if (client_ == nullptr) {
        throw std::runtime_error("mosquitto_new failed");
    }
    mosquitto_connect_callback_set(client_, &MqttSubscriber::onConnect);
    mosquitto_subscribe_callback_set(client_, &MqttSubscriber::onSubscribe);
    mosquitto_message_callback_set(client_, &MqttSubscriber::onMessage);
    mosquitto_reconnect_delay_set(client_, 1, 1, false);
    if (!login.user.empty()) {
        mosquitto_username_pw_set(client_, login.user.c_str(), login.password.c_str());
    }
    if (mosquitto_connect(client_, "127.0.0.1", port, 20) != MOSQ_ERR_SUCCESS ||
        mosquitto_loop_start(client_) != MOSQ_ERR_SUCCESS) {
        mosquitto_destroy(client_);
        throw std::runtime_error("subscriber cannot connect to 127.0.0.1:" + std::to_string(port));
    }
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::seconds(10), [this] { return subscribed_; })) {
        lock.unlock();
        mosquitto_disconnect(client_);
        mosquitto_loop_stop(client_, true);
        mosquitto_destroy(client_);
        throw std::runtime_error("subscriber got no SUBACK");
    }
}

MqttSubscriber::~MqttSubscriber() {
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, false);
    mosquitto_destroy(client_);
}

void MqttSubscriber::onConnect(mosquitto* client, void* self, int code) {
    if (code == 0) {
        mosquitto_subscribe(client, nullptr, static_cast<MqttSubscriber*>(self)->filter_.c_str(),
                            1);
    }
}

void MqttSubscriber::onSubscribe(mosquitto*, void* self, int, int, const int*) {
    auto* subscriber = static_cast<MqttSubscriber*>(self);
    {
        std::lock_guard lock(subscriber->mutex_);
        subscriber->subscribed_ = true;
    }
    subscriber->changed_.notify_all();
}

void MqttSubscriber::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* subscriber = static_cast<MqttSubscriber*>(self);
    const auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(subscriber->mutex_);
        subscriber->messages_.push_back({message->topic,
                                         std::string(static_cast<const char*>(message->payload),
                                                     static_cast<std::size_t>(message->payloadlen)),
                                         message->retain});
        subscriber->arrivals_.push_back(now);
    }
    subscriber->changed_.notify_all();
}

bool MqttSubscriber::waitFor(const Check& done, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return done(messages_); });
}

std::vector<MqttMessage> MqttSubscriber::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::size_t MqttSubscriber::count() const {
    std::lock_guard lock(mutex_);
    return messages_.size();
}

std::vector<std::chrono::steady_clock::time_point> MqttSubscriber::arrivals() const {
    std::lock_guard lock(mutex_);
    return arrivals_;
}
