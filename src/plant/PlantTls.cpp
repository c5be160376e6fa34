#include "plant/PlantTls.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

// Refuses every passphrase request: a key file that needs one is reported,
// never asked for on a terminal the panel may not have.
int noPassphrase(char*, int, int, void*) {
    return 0;
}

std::string readProblem(const std::string& what, const std::string& path) {
    std::ifstream probe(path);
    if (!probe) {
        return "cannot read the " + what + " " + path + " (" + std::strerror(errno) + ")";
    }
    return {};
}

std::string openSslReason() {
    const unsigned long error = ERR_get_error();
    ERR_clear_error();
    const char* reason = error != 0 ? ERR_reason_error_string(error) : nullptr;
    return reason != nullptr ? reason : "not understood";
}

bool isIpAddress(const std::string& host) {
    unsigned char address[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.c_str(), address) == 1 ||
           inet_pton(AF_INET6, host.c_str(), address) == 1;
}

}  // namespace

std::unique_ptr<PlantTlsContext> PlantTlsContext::make(const PlantConfig& config,
                                                       std::string* problem) {
    std::unique_ptr<PlantTlsContext> tls(new PlantTlsContext);
    ERR_clear_error();
    tls->context_ = SSL_CTX_new(TLS_client_method());
    SSL_CTX* context = tls->context_;
    if (context == nullptr) {
        *problem = "TLS is not available (" + openSslReason() + ")";
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_options(context, SSL_OP_NO_COMPRESSION);
    SSL_CTX_set_default_passwd_cb(context, noPassphrase);
    SSL_CTX_set_app_data(context, tls.get());

    if (config.caFile.empty()) {
        if (SSL_CTX_set_default_verify_paths(context) != 1) {
            *problem = "the system's trusted authorities cannot be read (" + openSslReason() + ")";
            return nullptr;
        }
    } else {
        *problem = readProblem("CA file", config.caFile);
        if (!problem->empty()) {
            return nullptr;
        }
        if (SSL_CTX_load_verify_locations(context, config.caFile.c_str(), nullptr) != 1) {
            *problem =
                "the CA file " + config.caFile + " holds no certificate (" + openSslReason() + ")";
            return nullptr;
        }
    }
    if (!config.certFile.empty()) {
        for (const auto& [what, path] :
             {std::pair<std::string, std::string>{"client certificate", config.certFile},
              {"client key", config.keyFile}}) {
            *problem = readProblem(what, path);
            if (!problem->empty()) {
                return nullptr;
            }
        }
        if (SSL_CTX_use_certificate_chain_file(context, config.certFile.c_str()) != 1) {
            *problem = "the client certificate " + config.certFile + " cannot be used (" +
                       openSslReason() + ")";
            return nullptr;
        }
        if (SSL_CTX_use_PrivateKey_file(context, config.keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
            SSL_CTX_check_private_key(context) != 1) {
            *problem =
                "the client key " + config.keyFile + " cannot be used (" + openSslReason() + ")";
            return nullptr;
        }
    }

    X509_VERIFY_PARAM* check = SSL_CTX_get0_param(context);
    X509_VERIFY_PARAM_set_hostflags(check, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    const bool named = isIpAddress(config.host)
                           ? X509_VERIFY_PARAM_set1_ip_asc(check, config.host.c_str()) == 1
                           : X509_VERIFY_PARAM_set1_host(check, config.host.c_str(), 0) == 1;
    if (!named) {
        *problem = "the host name " + config.host + " cannot be checked against a certificate";
        return nullptr;
    }
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, &PlantTlsContext::checkBroker);
    SSL_CTX_set_info_callback(context, &PlantTlsContext::watchHandshake);
    problem->clear();
    return tls;
}

PlantTlsContext::~PlantTlsContext() {
    SSL_CTX_free(context_);
}

int PlantTlsContext::checkBroker(int preverified, x509_store_ctx_st* store) {
    if (preverified == 1) {
        return 1;
    }
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* self = ssl != nullptr
                     ? static_cast<PlantTlsContext*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)))
                     : nullptr;
    if (self != nullptr && self->firstError_ == X509_V_OK) {
        self->firstError_ = X509_STORE_CTX_get_error(store);
    }
    return 0;
}

void PlantTlsContext::watchHandshake(const SSL* ssl, int where, int value) {
    auto* self = static_cast<PlantTlsContext*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    if (self == nullptr) {
        return;
    }
    if ((where & SSL_CB_HANDSHAKE_DONE) != 0) {
        self->handshakeDone_ = true;
    }
    if ((where & SSL_CB_READ_ALERT) == SSL_CB_READ_ALERT && self->brokerAlert_.empty() &&
        SSL_alert_type_string(value)[0] == 'F') {
        self->brokerAlert_ = SSL_alert_desc_string_long(value);
    }
}

PlantTlsContext::Failure PlantTlsContext::failure() const {
    if (firstError_ == X509_V_OK) {
        return Failure::None;
    }
    if (firstError_ == X509_V_ERR_HOSTNAME_MISMATCH ||
        firstError_ == X509_V_ERR_IP_ADDRESS_MISMATCH) {
        return Failure::NameMismatch;
    }
    return Failure::Untrusted;
}

std::string PlantTlsContext::failureReason() const {
    return X509_verify_cert_error_string(firstError_);
}
