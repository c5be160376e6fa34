#include "plant/PlantSession.h"

#include <mosquitto.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "plant/MqttLibrary.h"
#include "plant/StatePayload.h"

namespace {

using namespace std::chrono_literals;

// The keep-alive check runs this often, so that a ping leaves within
// kKeepAliveSeconds plus this, well inside the broker's grace of one and a
// half keep-alive periods.
constexpr auto kKeepAliveTick = 4s;

std::string lowerFirst(std::string text) {
    if (!text.empty()) {
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    }
    return text;
}

// Errors of the TCP connect itself, before TLS or MQTT had a word.
bool connectFailure(int error) {
    switch (error) {
        case ECONNREFUSED:
        case ETIMEDOUT:
        case EHOSTUNREACH:
        case ENETUNREACH:
        case ENETDOWN:
        case EHOSTDOWN:
        case EADDRNOTAVAIL:
            return true;
        default:
            return false;
    }
}

std::string errnoReason(int error) {
    return error == 0 ? "connection lost" : lowerFirst(std::strerror(error));
}

}  // namespace

PlantSession::PlantSession(const PlantConfig& config) : config_(config) {
    closure_.endpoint = brokerEndpoint(config);
    closure_.host = config.host;
}

std::unique_ptr<PlantSession> PlantSession::open(const PlantConfig& config, const std::string& role,
                                                 const std::string& willTopic,
                                                 PlantStatus* failure) {
    initialiseMqttLibrary();
    std::unique_ptr<PlantSession> session(new PlantSession(config));
    const auto fail = [&](PlantPhase phase, const std::string& reason) {
        session->close(phase, reason);
        *failure = session->closure_;
        return nullptr;
    };
    const std::string problem = plantConfigProblem(config);
    if (!problem.empty()) {
        return fail(PlantPhase::Unusable, problem);
    }
    if (config.tls) {
        std::string tlsProblem;
        session->tls_ = PlantTlsContext::make(config, &tlsProblem);
        if (!session->tls_) {
            return fail(PlantPhase::Unusable, tlsProblem);
        }
    }
    // A clean session: what is not acknowledged is published again from the
    // journal, never kept by the broker or by libmosquitto. Two clients with
    // one id push each other off the broker, so the id names the process and
    // the role too.
    const std::string id =
        "tolvane-" + stationName(config) + "-" + std::to_string(getpid()) + "-" + role;
    mosquitto* client = mosquitto_new(id.c_str(), true, session.get());
    if (client == nullptr) {
        return fail(PlantPhase::Unusable, "no MQTT client (" + errnoReason(errno) + ")");
    }
    session->client_ = client;
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_int_option(client, MOSQ_OPT_TCP_NODELAY, 1);
    // The link keeps its own window of messages in flight.
    mosquitto_max_inflight_messages_set(client, 0);
    mosquitto_connect_callback_set(client, &PlantSession::onConnect);
    mosquitto_disconnect_callback_set(client, &PlantSession::onDisconnect);
    mosquitto_publish_callback_set(client, &PlantSession::onPublish);
    if (!willTopic.empty()) {
        mosquitto_will_set(client, willTopic.c_str(), static_cast<int>(kOfflinePayload.size()),
                           kOfflinePayload.data(), 1, true);
    }
    if (!config.user.empty()) {
        mosquitto_username_pw_set(client, config.user.c_str(),
                                  config.password.empty() ? nullptr : config.password.c_str());
    }
    if (session->tls_) {
        // Our context as it is: libmosquitto's defaults would put its own
        // certificate check in place of the one PlantTlsContext sets up.
        mosquitto_int_option(client, MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 0);
        mosquitto_void_option(client, MOSQ_OPT_SSL_CTX, session->tls_->context());
    }
    session->openedAt_ = Clock::now();
    session->keepAliveDue_ = session->openedAt_ + kKeepAliveTick;
    errno = 0;
    const int result =
        mosquitto_connect_async(client, config.host.c_str(), config.port, kKeepAliveSeconds);
    session->settle(result, errno);
    if (session->closed_) {
        *failure = session->closure_;
        return nullptr;
    }
    return session;
}

PlantSession::~PlantSession() {
    if (client_ != nullptr) {
        mosquitto_destroy(client_);
    }
}

int PlantSession::socket() const {
    return client_ != nullptr ? mosquitto_socket(client_) : -1;
}

bool PlantSession::wantsWrite() const {
    return client_ != nullptr && mosquitto_want_write(client_);
}

void PlantSession::service(short events) {
    if (client_ == nullptr) {
        return;
    }
    if ((events & (POLLERR | POLLHUP)) != 0 && !accepted_) {
        // A connection that never came up: the socket's own error says why
        // (refused, unreachable, timed out) better than a failed read does.
        int error = 0;
        socklen_t size = sizeof error;
        if (getsockopt(socket(), SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error != 0) {
            settle(MOSQ_ERR_ERRNO, error);
            return;
        }
    }
    if ((events & (POLLIN | POLLERR | POLLHUP)) != 0) {
        errno = 0;
        const int result = mosquitto_loop_read(client_, 1);
        settle(result, errno);
    }
    if (client_ != nullptr && (events & POLLOUT) != 0) {
        errno = 0;
        const int result = mosquitto_loop_write(client_, 1);
        settle(result, errno);
    }
    keepAlive();
}

void PlantSession::keepAlive() {
    if (client_ == nullptr) {
        return;
    }
    errno = 0;
    const int result = mosquitto_loop_misc(client_);
    settle(result, errno);
    keepAliveDue_ = Clock::now() + kKeepAliveTick;
}

void PlantSession::abandon(const std::string& reason) {
    close(PlantPhase::Unreachable, reason);
}

int PlantSession::publish(const std::string& topic, const std::string& payload, bool retain) {
    if (client_ == nullptr) {
        return -1;
    }
    int mid = 0;
    errno = 0;
    const int result = mosquitto_publish(
        client_, &mid, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1, retain);
    settle(result, errno);
    return closed_ ? -1 : mid;
}

std::vector<int> PlantSession::takeAcknowledged() {
    std::vector<int> taken;
    taken.swap(acknowledged_);
    return taken;
}

void PlantSession::closeWith(const std::string& topic, const std::string& payload,
                             std::chrono::milliseconds limit) {
    if (client_ != nullptr && accepted_ && !topic.empty()) {
        publish(topic, payload, true);
    }
    if (client_ != nullptr && accepted_) {
        errno = 0;
        const int result = mosquitto_disconnect(client_);
        settle(result, errno);
        const auto deadline = Clock::now() + limit;
        // libmosquitto closes the socket itself once the DISCONNECT is out.
        while (client_ != nullptr && socket() >= 0 && wantsWrite()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd entry{socket(), POLLOUT, 0};
            if (::poll(&entry, 1, static_cast<int>(left.count())) > 0) {
                service(entry.revents);
            }
        }
    }
    close(PlantPhase::Unreachable, "closed");
}

void PlantSession::onConnect(mosquitto*, void* self, int code) {
    auto* session = static_cast<PlantSession*>(self);
    if (code == 0) {
        session->accepted_ = true;
        session->acceptedAt_ = Clock::now();
    } else {
        session->refusal_ = code;
    }
}

void PlantSession::onDisconnect(mosquitto*, void* self, int code) {
    auto* session = static_cast<PlantSession*>(self);
    const int error = errno;
    if (!session->disconnected_) {
        session->disconnected_ = true;
        session->disconnectCode_ = code;
        session->disconnectErrno_ = error;
    }
}

void PlantSession::onPublish(mosquitto*, void* self, int mid) {
    static_cast<PlantSession*>(self)->acknowledged_.push_back(mid);
}

void PlantSession::settle(int result, int error) {
    if (closed_) {
        return;
    }
    if (result == MOSQ_ERR_SUCCESS && !disconnected_) {
        return;
    }
    if (result == MOSQ_ERR_SUCCESS || result == MOSQ_ERR_NO_CONN) {
        result = disconnected_ ? disconnectCode_ : result;
        error = disconnected_ ? disconnectErrno_ : error;
    }
    // A certificate that failed its check explains whatever came of it.
    const auto certificate = tls_ ? tls_->failure() : PlantTlsContext::Failure::None;
    if (certificate == PlantTlsContext::Failure::NameMismatch) {
        close(PlantPhase::CertificateMismatch, {});
        return;
    }
    if (certificate == PlantTlsContext::Failure::Untrusted) {
        close(PlantPhase::CertificateUntrusted, tls_->failureReason());
        return;
    }
    if (tls_ && !tls_->brokerAlert().empty()) {
        // The broker ended TLS with a fatal alert: a client certificate it
        // wants, or does not accept, most often.
        close(PlantPhase::Refused, "TLS: " + tls_->brokerAlert());
        return;
    }
    if (tls_ && !tls_->handshakeDone() && !accepted_ && !connectFailure(error)) {
        close(PlantPhase::Unreachable, error == 0 || error == EPROTO
                                           ? "TLS handshake failed"
                                           : "TLS handshake failed: " + errnoReason(error));
        return;
    }
    switch (result) {
        case MOSQ_ERR_EAI:
            close(PlantPhase::Unreachable, lowerFirst(gai_strerror(error)));
            return;
        case MOSQ_ERR_ERRNO:
            if (error == EPROTO && tls_) {
                close(PlantPhase::Unreachable, "TLS handshake failed");
            } else {
                close(PlantPhase::Unreachable, errnoReason(error));
            }
            return;
        case MOSQ_ERR_CONN_REFUSED:
            if (refusal_ == 4 || refusal_ == 5) {
                close(PlantPhase::NotAuthorised, {});
            } else {
                close(PlantPhase::Refused, lowerFirst(mosquitto_connack_string(refusal_)));
            }
            return;
        case MOSQ_ERR_TLS:
        case MOSQ_ERR_TLS_HANDSHAKE:
            close(PlantPhase::Unreachable, "TLS handshake failed");
            return;
        case MOSQ_ERR_KEEPALIVE:
            close(PlantPhase::Unreachable, "no answer");
            return;
        case MOSQ_ERR_SUCCESS:
        case MOSQ_ERR_CONN_LOST:
        case MOSQ_ERR_NO_CONN:
            // A reset says so in errno; an orderly close leaves it 0.
            close(PlantPhase::Unreachable, error != 0 && error != EAGAIN
                                               ? errnoReason(error)
                                               : "connection closed by the broker");
            return;
        case MOSQ_ERR_PROTOCOL:
        case MOSQ_ERR_MALFORMED_PACKET:
        case MOSQ_ERR_MALFORMED_UTF8:
        case MOSQ_ERR_NOT_SUPPORTED:
            close(PlantPhase::Unreachable, "the broker's answer is not MQTT");
            return;
        default:
            close(PlantPhase::Unreachable, lowerFirst(mosquitto_strerror(result)));
    }
}

void PlantSession::close(PlantPhase phase, const std::string& reason) {
    if (closed_) {
        return;
    }
    closed_ = true;
    closure_.phase = phase;
    closure_.reason = reason;
    if (client_ != nullptr) {
        // Never from inside a callback: callbacks only note, settle() closes.
        mosquitto_destroy(client_);
        client_ = nullptr;
    }
}
