#include "support/MosquittoBroker.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <thread>

#include "e2e/ChildProcess.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kBroker = "/usr/sbin/mosquitto";
constexpr const char* kPasswordTool = "/usr/bin/mosquitto_passwd";

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

void runTool(const std::vector<std::string>& args) {
    ChildProcess tool(SpawnOptions{args, {}, {}, {}});
    const auto status = tool.waitExit(10s);
    if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) {
        throw std::runtime_error(args[0] + " failed: " + describeStatus(status));
    }
}

}  // namespace

std::uint16_t freeTcpPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(probe);
    return ntohs(address.sin_port);
}

bool waitForListener(std::uint16_t port, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = loopback(port);
        const bool accepted =
            ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(probe);
        if (accepted) {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

MosquittoBroker::MosquittoBroker(std::filesystem::path folder, BrokerOptions options)
    : folder_(std::move(folder)), options_(std::move(options)) {
    std::filesystem::create_directories(folder_ / "persistence");
    if (!options_.users.empty()) {
        const auto file = (folder_ / "passwords").string();
        writeFile(file, "");
        for (const auto& [user, password] : options_.users) {
            runTool({kPasswordTool, "-b", file, user, password});
        }
    }
    // Another test may take a free port between the look and the broker's bind.
    for (int attempt = 0; attempt < 5; ++attempt) {
        port_ = freeTcpPort();
        tlsPort_ = options_.certFile.empty() ? 0 : freeTcpPort();
        writeConfig();
        if (launch()) {
            return;
        }
    }
    throw std::runtime_error("mosquitto did not start: " + log());
}

MosquittoBroker::~MosquittoBroker() {
    stop();
}

void MosquittoBroker::writeConfig() const {
    std::ofstream config(folder_ / "mosquitto.conf", std::ios::trunc);
    // Run as root (CI does), mosquitto would switch to its own user, who
    // cannot read the test's folder.
    if (geteuid() == 0) {
        config << "user root\n";
    }
    config << "persistence true\n"
           << "persistence_location " << (folder_ / "persistence").string() << "/\n"
           << "autosave_interval 0\n"
           << "max_queued_messages 0\n"
           << "max_inflight_messages 0\n"
           << "log_dest file " << (folder_ / "broker.log").string() << "\n"
           << "log_type error\nlog_type warning\nlog_type notice\nlog_type information\n"
           << "connection_messages true\n";
    if (options_.users.empty()) {
        config << "allow_anonymous true\n";
    } else {
        config << "allow_anonymous false\n"
               << "password_file " << (folder_ / "passwords").string() << "\n";
    }
    config << "listener " << port_ << " 127.0.0.1\n";
    if (tlsPort_ != 0) {
        config << "listener " << tlsPort_ << " 127.0.0.1\n"
               << "cafile " << options_.caFile.string() << "\n"
               << "certfile " << options_.certFile.string() << "\n"
               << "keyfile " << options_.keyFile.string() << "\n"
               << "require_certificate " << (options_.requireClientCertificate ? "true" : "false")
               << "\n";
    }
}

bool MosquittoBroker::launch() {
    process_ = std::make_unique<ChildProcess>(
        SpawnOptions{{kBroker, "-c", (folder_ / "mosquitto.conf").string()},
                     {},
                     folder_ / "broker.out",
                     folder_ / "broker.err"});
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    for (const std::uint16_t port : {port_, tlsPort_}) {
        if (port == 0) {
            continue;
        }
        while (!waitForListener(port, 50ms)) {
            if (process_->waitExit(0ms) || std::chrono::steady_clock::now() > deadline) {
                process_.reset();
                return false;
            }
        }
    }
    return true;
}

void MosquittoBroker::start() {
    if (process_) {
        return;
    }
    if (!launch()) {
        throw std::runtime_error("mosquitto did not start again: " + log());
    }
}

void MosquittoBroker::stop() {
    if (process_) {
        process_->terminate(10s);
        process_.reset();
    }
}

void MosquittoBroker::kill() {
    if (process_) {
        ::kill(process_->pid(), SIGKILL);
        process_->waitExit(10s);
        process_.reset();
    }
}

std::string MosquittoBroker::log() const {
    return readFile(folder_ / "broker.log") + readFile(folder_ / "broker.err");
}
