#pragma once

#include <filesystem>
#include <string>

// Certificates made with openssl for one test: an authority, and certificates
// it signs for a server or a client. EC P-256 keys, valid for a day.
struct CertificateFiles {
    std::filesystem::path cert;
    std::filesystem::path key;
};

class TestAuthority {
  public:
    // Makes the authority's key and self-signed certificate in `folder`,
    // named after `name`.
    TestAuthority(std::filesystem::path folder, const std::string& name);

    const std::filesystem::path& certFile() const { return ca_.cert; }
    // A certificate for `subjectAltName` ("IP:127.0.0.1", "DNS:other.example"),
    // with extended key use for a server or a client.
    CertificateFiles issue(const std::string& name, const std::string& subjectAltName,
                           bool forServer) const;

  private:
    std::filesystem::path folder_;
    CertificateFiles ca_;
};
