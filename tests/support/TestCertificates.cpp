#include "support/TestCertificates.h"

#include <sys/wait.h>

#include <chrono>
#include <stdexcept>
#include <vector>

#include "e2e/ChildProcess.h"
#include "support/TempDir.h"

namespace {

constexpr const char* kOpenSsl = "/usr/bin/openssl";

void openssl(const std::vector<std::string>& args, const std::filesystem::path& folder) {
    std::vector<std::string> command = {kOpenSsl};
    command.insert(command.end(), args.begin(), args.end());
    ChildProcess tool(SpawnOptions{command, {}, folder / "openssl.out", folder / "openssl.err"});
    const auto status = tool.waitExit(std::chrono::seconds(30));
    if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) {
        throw std::runtime_error("openssl " + args.at(0) +
                                 " failed: " + readFile(folder / "openssl.err"));
    }
}

std::vector<std::string> newKey(const std::filesystem::path& key) {
    return {"-newkey", "ec",      "-pkeyopt",  "ec_paramgen_curve:prime256v1",
            "-nodes",  "-keyout", key.string()};
}

}  // namespace

TestAuthority::TestAuthority(std::filesystem::path folder, const std::string& name)
    : folder_(std::move(folder)), ca_{folder_ / (name + ".crt"), folder_ / (name + ".key")} {
    std::vector<std::string> args = {"req", "-x509"};
    const auto key = newKey(ca_.key);
    args.insert(args.end(), key.begin(), key.end());
    args.insert(args.end(), {"-out", ca_.cert.string(), "-subj", "/CN=" + name, "-days", "1",
                             "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
                             "keyUsage=critical,keyCertSign,cRLSign"});
    openssl(args, folder_);
}

CertificateFiles TestAuthority::issue(const std::string& name, const std::string& subjectAltName,
                                      bool forServer) const {
    const CertificateFiles files{folder_ / (name + ".crt"), folder_ / (name + ".key")};
    const auto request = folder_ / (name + ".csr");
    const auto extensions = folder_ / (name + ".ext");
    std::vector<std::string> args = {"req", "-new"};
    const auto key = newKey(files.key);
    args.insert(args.end(), key.begin(), key.end());
    args.insert(args.end(), {"-out", request.string(), "-subj", "/CN=" + name});
    openssl(args, folder_);
    writeFile(extensions, "subjectAltName=" + subjectAltName + "\n" +
                              "extendedKeyUsage=" + (forServer ? "serverAuth" : "clientAuth") +
                              "\nbasicConstraints=CA:FALSE\n");
    openssl({"x509", "-req", "-in", request.string(), "-CA", ca_.cert.string(), "-CAkey",
             ca_.key.string(), "-CAcreateserial", "-out", files.cert.string(), "-days", "1",
             "-extfile", extensions.string()},
            folder_);
    return files;
}
