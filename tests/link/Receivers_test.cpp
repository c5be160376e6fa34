// The receive threads on their own, without a window: what they deliver, in
// which order, and that they always stop promptly. ThreadSanitizer runs these.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "link/NetReceiver.h"
#include "link/SerialDevice.h"
#include "link/SerialReceiver.h"
#include "support/MachineFrame.h"

namespace {

using namespace std::chrono_literals;

// What the machine sends where the bytes do not matter.
const std::string kFrame = countFrame(1);

// Collects delivered chunks; wait() blocks until `count` have arrived.
class Inbox {
  public:
    void deliver(std::string chunk, std::stop_token = {}) {
        std::lock_guard lock(mutex_);
        chunks_.push_back(std::move(chunk));
        arrived_.notify_all();
    }
    bool wait(std::size_t count, std::chrono::milliseconds limit = 2000ms) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, limit, [&] { return chunks_.size() >= count; });
    }
    std::vector<std::string> chunks() {
        std::lock_guard lock(mutex_);
        return chunks_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::string> chunks_;
};

struct PtyPair {
    PtyPair() {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        grantpt(master);
        unlockpt(master);
        termios raw{};
        tcgetattr(master, &raw);
        cfmakeraw(&raw);
        tcsetattr(master, TCSANOW, &raw);
        const SerialOpenResult opened = openSerialPort(ptsname(master));
        port = opened.fd;
        configureSerialPort(port);
    }
    ~PtyPair() {
        closeSerialPort(port);
        if (master >= 0) {
            close(master);
        }
    }
    void send(const std::string& bytes) const {
        ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    int master = -1;
    int port = -1;
};

// A taker of deliveries that never makes room, like a window's thread that
// has stopped taking chunks: each delivery waits until it is released.
class StuckTaker {
  public:
    void deliver(std::stop_token release) {
        std::unique_lock lock(mutex_);
        ++waiting_;
        changed_.notify_all();
        changed_.wait(lock, release, [] { return false; });
        --waiting_;
        ++released_;
    }
    bool waitForWaiting(std::chrono::milliseconds limit = 2000ms) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return waiting_ > 0; });
    }
    int released() {
        std::lock_guard lock(mutex_);
        return released_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable_any changed_;
    int waiting_ = 0;
    int released_ = 0;
};

// Stops `receiver` while `machine` streams to it: it must be joined at once.
template <class Receiver>
void expectPromptStop(Receiver& receiver, std::atomic<bool>& sending, std::thread& machine) {
    std::this_thread::sleep_for(5ms);
    const auto before = std::chrono::steady_clock::now();
    receiver.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    sending = false;
    machine.join();
}

TEST(SerialReceiverThread, DeliversBurstsInOrderAndLetsGoOfAPortOnRequest) {
    Inbox inbox;
    PtyPair first;
    PtyPair second;
    SerialReceiver receiver(
        [&](std::string chunk, std::stop_token) { inbox.deliver(std::move(chunk)); });
    receiver.start();
    receiver.setPort(first.port);
    first.send("one");
    ASSERT_TRUE(inbox.wait(1));
    std::this_thread::sleep_for(20ms);
    first.send("two");
    ASSERT_TRUE(inbox.wait(2));

    receiver.setPort(second.port);  // from here on `first` is not read
    first.send("unread");
    second.send("three");
    ASSERT_TRUE(inbox.wait(3));
    EXPECT_EQ(inbox.chunks(), (std::vector<std::string>{"one", "two", "three"}));
    receiver.stop();
}

TEST(SerialReceiverThread, StopsAtOnceWhileDataStreamsIn) {
    for (int round = 0; round < 20; ++round) {
        Inbox inbox;
        PtyPair pty;
        SerialReceiver receiver(
            [&](std::string chunk, std::stop_token) { inbox.deliver(std::move(chunk)); });
        receiver.start();
        receiver.setPort(pty.port);
        std::atomic<bool> sending{true};
        std::thread machine([&] {
            while (sending) {
                (void)!write(pty.master, kFrame.data(), kFrame.size());
                std::this_thread::sleep_for(1ms);
            }
        });
        expectPromptStop(receiver, sending, machine);
    }
}

// Giving up a port, or stopping, must not wait for a delivery that waits for
// room: the one who could make room may be the one giving up the port.
TEST(SerialReceiverThread, GivingUpThePortReleasesADeliveryThatWaitsForRoom) {
    enum class GiveUp { SwitchToNone, SwitchToOther, Stop };
    for (const GiveUp giveUp : {GiveUp::SwitchToNone, GiveUp::SwitchToOther, GiveUp::Stop}) {
        StuckTaker taker;
        PtyPair pty;
        PtyPair other;
        SerialReceiver receiver(
            [&](std::string, std::stop_token release) { taker.deliver(release); });
        receiver.start();
        receiver.setPort(pty.port);
        pty.send(kFrame);
        ASSERT_TRUE(taker.waitForWaiting());

        const auto before = std::chrono::steady_clock::now();
        switch (giveUp) {
            case GiveUp::SwitchToNone:
                receiver.setPort(-1);
                break;
            case GiveUp::SwitchToOther:
                receiver.setPort(other.port);
                break;
            case GiveUp::Stop:
                receiver.stop();
                break;
        }
        EXPECT_LT(std::chrono::steady_clock::now() - before, 100ms);
        EXPECT_EQ(taker.released(), 1);
        receiver.stop();
    }
}

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

std::uint16_t freePort() {
    const int probe = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = loopback(0);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    close(probe);
    return ntohs(address.sin_port);
}

TEST(NetReceiverThread, DeliversDatagramsInOrderAndLearnsTheSender) {
    NetLinkState net;
    Inbox inbox;
    const std::uint16_t port = freePort();
    NetReceiver receiver(
        port, net, [&](std::string chunk, std::stop_token) { inbox.deliver(std::move(chunk)); });
    receiver.start();
    const int machine = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in machineAddress = loopback(0);
    bind(machine, reinterpret_cast<sockaddr*>(&machineAddress), sizeof machineAddress);
    socklen_t size = sizeof machineAddress;
    getsockname(machine, reinterpret_cast<sockaddr*>(&machineAddress), &size);

    const sockaddr_in panel = loopback(port);
    const auto datagramOf = [](int i) { return "start[" + std::to_string(i) + "]end"; };
    for (int i = 0; i < 200; ++i) {
        const std::string datagram = datagramOf(i);
        while (!receiver.bound()) {
            std::this_thread::sleep_for(1ms);
        }
        sendto(machine, datagram.data(), datagram.size(), 0,
               reinterpret_cast<const sockaddr*>(&panel), sizeof panel);
    }
    ASSERT_TRUE(inbox.wait(200));
    const std::vector<std::string> chunks = inbox.chunks();
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(chunks[static_cast<std::size_t>(i)], datagramOf(i));
    }
    EXPECT_TRUE(net.peerKnown);
    EXPECT_EQ(net.peer(), PeerAddress::fromSockaddr(machineAddress));
    receiver.stop();
    EXPECT_EQ(net.udpSocket, -1);
    close(machine);
}

TEST(NetReceiverThread, StopReleasesADeliveryThatWaitsForRoom) {
    NetLinkState net;
    StuckTaker taker;
    const std::uint16_t port = freePort();
    NetReceiver receiver(port, net,
                         [&](std::string, std::stop_token release) { taker.deliver(release); });
    receiver.start();
    ASSERT_TRUE(receiver.bound());
    const int machine = socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in panel = loopback(port);
    sendto(machine, kFrame.data(), kFrame.size(), 0, reinterpret_cast<const sockaddr*>(&panel),
           sizeof panel);
    ASSERT_TRUE(taker.waitForWaiting());

    const auto before = std::chrono::steady_clock::now();
    receiver.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 100ms);
    EXPECT_EQ(taker.released(), 1);
    close(machine);
}

TEST(NetReceiverThread, StopsAtOnceWhileDatagramsStreamIn) {
    for (int round = 0; round < 20; ++round) {
        NetLinkState net;
        const std::uint16_t port = freePort();
        std::atomic<int> delivered{0};
        NetReceiver receiver(port, net, [&](std::string, std::stop_token) { ++delivered; });
        receiver.start();
        std::atomic<bool> sending{true};
        std::thread machine([&] {
            const int fd = socket(AF_INET, SOCK_DGRAM, 0);
            const sockaddr_in panel = loopback(port);
            while (sending) {
                sendto(fd, kFrame.data(), kFrame.size(), 0,
                       reinterpret_cast<const sockaddr*>(&panel), sizeof panel);
            }
            close(fd);
        });
        expectPromptStop(receiver, sending, machine);
    }
}

}  // namespace
