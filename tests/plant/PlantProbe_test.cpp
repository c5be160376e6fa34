// "Test connection" against a real broker: log-in, TLS with certificates made
// for the test, and what the operator is told when it fails.
#include <gtest/gtest.h>

#include <future>

#include "plant/PlantProbe.h"
#include "support/MosquittoBroker.h"
#include "support/TempDir.h"
#include "support/TestCertificates.h"

namespace {

using namespace std::chrono_literals;

PlantStatus probe(const PlantConfig& config) {
    std::promise<PlantStatus> outcome;
    auto result = outcome.get_future();
    PlantProbe running(config, [&](const PlantStatus& status) { outcome.set_value(status); });
    if (result.wait_for(20s) != std::future_status::ready) {
        ADD_FAILURE() << "no outcome";
        return {};
    }
    return result.get();
}

PlantConfig loopback(std::uint16_t port) {
    PlantConfig config;
    config.host = "127.0.0.1";
    config.port = port;
    config.station = "probe-test";
    return config;
}

TEST(PlantProbe, PlainBrokerAcceptsAndAClosedPortIsRefused) {
    TempDir folder;
    MosquittoBroker broker(folder.path());
    const PlantStatus accepted = probe(loopback(broker.port()));
    EXPECT_EQ(accepted.phase, PlantPhase::Connected) << describePlantStatus(accepted);

    const std::uint16_t closed = freeTcpPort();
    const PlantStatus refused = probe(loopback(closed));
    EXPECT_EQ(refused.phase, PlantPhase::Unreachable);
    EXPECT_EQ(describePlantStatus(refused),
              "plant: cannot reach 127.0.0.1:" + std::to_string(closed) + " (connection refused)");
}

TEST(PlantProbe, LogInIsCheckedByTheBroker) {
    TempDir folder;
    BrokerOptions options;
    options.users = {{"line3", "right horse"}};
    MosquittoBroker broker(folder.path(), options);
    struct Row {
        const char* user;
        const char* password;
        PlantPhase phase;
    };
    for (const Row& row : {Row{"line3", "right horse", PlantPhase::Connected},
                           Row{"line3", "wrong horse", PlantPhase::NotAuthorised},
                           Row{"line4", "right horse", PlantPhase::NotAuthorised},
                           Row{"", "", PlantPhase::NotAuthorised}}) {
        PlantConfig config = loopback(broker.port());
        config.user = row.user;
        config.password = row.password;
        const PlantStatus outcome = probe(config);
        EXPECT_EQ(outcome.phase, row.phase)
            << row.user << "/" << row.password << ": " << describePlantStatus(outcome);
    }
    PlantConfig wrong = loopback(broker.port());
    wrong.user = "line3";
    wrong.password = "wrong horse";
    EXPECT_EQ(describePlantStatus(probe(wrong)), "plant: not authorised");
}

// One authority for the brokers, another that nobody trusts, and server
// certificates for the loopback address and for another host.
class PlantProbeTls : public testing::Test {
  protected:
    TempDir folder_;
    TestAuthority authority_{folder_.path(), "plant-ca"};
    TestAuthority stranger_{folder_.path(), "stranger-ca"};

    PlantConfig tls(const MosquittoBroker& broker) const {
        PlantConfig config = loopback(broker.tlsPort());
        config.tls = true;
        config.caFile = authority_.certFile().string();
        return config;
    }

    BrokerOptions serving(const CertificateFiles& server, bool requireClient = false) const {
        BrokerOptions options;
        options.caFile = authority_.certFile();
        options.certFile = server.cert;
        options.keyFile = server.key;
        options.requireClientCertificate = requireClient;
        return options;
    }
};

TEST_F(PlantProbeTls, CertificateForTheHostConnects) {
    TempDir brokerFolder;
    MosquittoBroker broker(brokerFolder.path(),
                           serving(authority_.issue("loopback", "IP:127.0.0.1", true)));
    const PlantStatus outcome = probe(tls(broker));
    EXPECT_EQ(outcome.phase, PlantPhase::Connected) << describePlantStatus(outcome);
}

TEST_F(PlantProbeTls, CertificateForAnotherHostIsRefused) {
    TempDir brokerFolder;
    MosquittoBroker broker(brokerFolder.path(),
                           serving(authority_.issue("other", "DNS:broker.other.example", true)));
    const PlantStatus outcome = probe(tls(broker));
    EXPECT_EQ(outcome.phase, PlantPhase::CertificateMismatch);
    EXPECT_EQ(describePlantStatus(outcome), "plant: certificate does not match 127.0.0.1");
}

TEST_F(PlantProbeTls, CertificateFromAnUntrustedAuthorityIsRefused) {
    TempDir brokerFolder;
    MosquittoBroker broker(brokerFolder.path(),
                           serving(stranger_.issue("stranger", "IP:127.0.0.1", true)));
    const PlantStatus outcome = probe(tls(broker));
    EXPECT_EQ(outcome.phase, PlantPhase::CertificateUntrusted) << describePlantStatus(outcome);
    EXPECT_NE(outcome.reason.find("issuer"), std::string::npos) << outcome.reason;
}

TEST_F(PlantProbeTls, ClientCertificateWhenTheBrokerAsksForOne) {
    TempDir brokerFolder;
    MosquittoBroker broker(brokerFolder.path(),
                           serving(authority_.issue("loopback", "IP:127.0.0.1", true), true));
    // The broker ends the handshake, or the connection right after it (TLS 1.3).
    const PlantStatus without = probe(tls(broker));
    EXPECT_TRUE(without.phase == PlantPhase::Unreachable || without.phase == PlantPhase::Refused)
        << describePlantStatus(without);

    const CertificateFiles client = authority_.issue("station", "DNS:line3-a", false);
    PlantConfig config = tls(broker);
    config.certFile = client.cert.string();
    config.keyFile = client.key.string();
    const PlantStatus with = probe(config);
    EXPECT_EQ(with.phase, PlantPhase::Connected) << describePlantStatus(with);
}

TEST_F(PlantProbeTls, FilesThatCannotBeUsedAreToldBeforeConnecting) {
    TempDir brokerFolder;
    MosquittoBroker broker(brokerFolder.path(),
                           serving(authority_.issue("loopback", "IP:127.0.0.1", true)));
    PlantConfig missing = tls(broker);
    missing.caFile = (folder_ / "nowhere.pem").string();
    EXPECT_EQ(describePlantStatus(probe(missing)),
              "plant: cannot read the CA file " + missing.caFile + " (No such file or directory)");

    PlantConfig notACertificate = tls(broker);
    writeFile(folder_ / "garbage.pem", "not a certificate\n");
    notACertificate.caFile = (folder_ / "garbage.pem").string();
    const PlantStatus garbage = probe(notACertificate);
    EXPECT_EQ(garbage.phase, PlantPhase::Unusable);
    EXPECT_NE(garbage.reason.find("holds no certificate"), std::string::npos) << garbage.reason;

    PlantConfig plainPort = tls(broker);
    plainPort.port = broker.port();
    const PlantStatus plain = probe(plainPort);
    EXPECT_EQ(plain.phase, PlantPhase::Unreachable) << describePlantStatus(plain);
    EXPECT_EQ(plain.reason.rfind("TLS handshake failed", 0), 0u) << plain.reason;
}

}  // namespace
