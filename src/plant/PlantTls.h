#pragma once

#include <memory>
#include <string>

#include "plant/PlantConfig.h"

struct ssl_ctx_st;
struct x509_store_ctx_st;
struct ssl_st;

// The TLS side of one connection to the broker: the broker's certificate must
// chain to the CA file (or, without one, to the system's trusted authorities)
// and name the configured host; TLS 1.2 at least; the client certificate and
// key when given. A key that needs a passphrase fails to load instead of
// prompting on the terminal.
class PlantTlsContext {
  public:
    // Null with *problem set ("cannot read the CA file /etc/x.pem (No such file
    // or directory)") when the files cannot be used.
    static std::unique_ptr<PlantTlsContext> make(const PlantConfig& config, std::string* problem);
    ~PlantTlsContext();
    PlantTlsContext(const PlantTlsContext&) = delete;
    PlantTlsContext& operator=(const PlantTlsContext&) = delete;

    ssl_ctx_st* context() const { return context_; }

    // How the broker's certificate failed in this context's last handshake:
    // nothing, its name, or another fault (`reason` in OpenSSL's words).
    enum class Failure { None, NameMismatch, Untrusted };
    Failure failure() const;
    std::string failureReason() const;
    // Whether a handshake got through, and the alert the broker sent, if any
    // ("certificate required").
    bool handshakeDone() const { return handshakeDone_; }
    const std::string& brokerAlert() const { return brokerAlert_; }

  private:
    PlantTlsContext() = default;
    static int checkBroker(int preverified, x509_store_ctx_st* store);
    static void watchHandshake(const ssl_st* ssl, int where, int value);

    ssl_ctx_st* context_ = nullptr;
    // Written by the handshake, on the thread that runs the connection.
    long firstError_ = 0;  // X509_V_OK
    bool handshakeDone_ = false;
    std::string brokerAlert_;
};
