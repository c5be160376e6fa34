// The link on its own, without a window: choosing NET or a port, what each
// command meets, and chunks and status changes handed to the owner's thread.
#include <gtest/gtest.h>

#include <poll.h>

#include <QLocale>
#include <array>
#include <chrono>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "link/Link.h"
#include "link/LinkStatusText.h"
#include "support/LoopbackWire.h"
#include "support/MachineFrame.h"
#include "support/Probes.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;

// A link on a free UDP port whose ports folder offers only what a test links
// into it; the test's thread is the owner's.
class LinkTest : public testing::Test {
  protected:
    LinkTest()
        : udpPort(freeUdpPort()),
          link(LinkSetup{udpPort, portsEnvironment()},
               LinkHandlers{[this](const std::string& chunk) { chunks.push_back(chunk); },
                            [this](const LinkStatus& status) { statuses.push_back(status); },
                            [this] { ++portEvents; }}) {}

    PortsEnvironment portsEnvironment() const {
        PortsEnvironment env;
        env.portsDir = home / "ports";
        env.devRoot = home / "no-dev";
        env.sysRoot = home / "no-sys";
        return env;
    }

    // Waits on the link's one descriptor as the window does and pumps its
    // events (port events counted), until `done` holds.
    template <class Predicate>
    bool pumpUntil(Predicate done, std::chrono::milliseconds limit = 2000ms) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left <= 0ms) {
                return false;
            }
            pollfd ready{link.eventFd(), POLLIN, 0};
            if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            link.pump();
        }
        return true;
    }

    bool reported(bool (*holds)(const LinkStatus&)) {
        return pumpUntil([&] { return !statuses.empty() && holds(statuses.back()); });
    }

    TempDir home;
    std::uint16_t udpPort;
    std::vector<std::string> chunks;
    std::vector<LinkStatus> statuses;
    int portEvents = 0;
    Link link;
};

TEST_F(LinkTest, NetCommandsWaitForTheMachineThenGoToTheLatestSender) {
    link.start();
    ASSERT_TRUE(reported([](const LinkStatus& s) { return s.udpOpen && s.udpBound; }));
    EXPECT_EQ(link.status().kind, LinkKind::Net);
    LoopbackEndpoint machine;
    LoopbackEndpoint other;

    machine.sendTo(udpPort, countFrame(1));
    ASSERT_TRUE(pumpUntil([&] { return chunks.size() == 1; }));
    EXPECT_EQ(chunks[0], countFrame(1));
    EXPECT_TRUE(statuses.back().peerKnown);
    EXPECT_EQ(statuses.back().peer, PeerAddress::fromSockaddr(machine.address()));
    EXPECT_EQ(link.send("kavrin_key:print"), SendResult::Sent);
    EXPECT_EQ(machine.receive(), std::vector<std::string>{withNul("kavrin_key:print")});

    other.sendTo(udpPort, countFrame(2));
    ASSERT_TRUE(pumpUntil([&] { return chunks.size() == 2; }));
    EXPECT_EQ(statuses.back().peer, PeerAddress::fromSockaddr(other.address()));
    // Only the text up to its first NUL goes out, with one NUL.
    EXPECT_EQ(link.send(std::string("kavrin_clear\0rest", 17)), SendResult::Sent);
    EXPECT_EQ(other.receive(), std::vector<std::string>{withNul("kavrin_clear")});
    EXPECT_TRUE(machine.receive(20ms).empty());
}

// Only a datagram that holds a complete frame names the machine: an empty
// or stray one from anyone is counted and ignored, and commands keep going
// to the machine.
TEST_F(LinkTest, OnlyADatagramHoldingACompleteFrameNamesTheMachine) {
    link.start();
    LoopbackEndpoint machine;
    LoopbackEndpoint other;
    // Before any frame: an empty datagram names nobody.
    testing::internal::CaptureStdout();
    other.sendTo(udpPort, "");
    machine.sendTo(udpPort, countFrame(1));
    ASSERT_TRUE(pumpUntil([&] { return chunks.size() == 1; }));
    EXPECT_EQ(link.status().peer, PeerAddress::fromSockaddr(machine.address()));

    const std::vector<std::string> strays = {
        "",
        "start[2,0,2,1,15,30,45,0,0]",
        "]end start[",
        "x",
        std::string("kavrin\0start[2,0,2,1,15,30,45,0,0]end", 38),
        std::string(2000, ' '),
    };
    for (const std::string& stray : strays) {
        other.sendTo(udpPort, stray);
    }
    machine.sendTo(udpPort, countFrame(2));  // after the strays in the socket's queue
    ASSERT_TRUE(pumpUntil([&] { return chunks.size() == 2; }));
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_EQ(chunks, (std::vector<std::string>{countFrame(1), countFrame(2)}));
    EXPECT_EQ(link.ignoredDatagrams(), strays.size() + 1);
    EXPECT_EQ(link.status().peer, PeerAddress::fromSockaddr(machine.address()));
    EXPECT_EQ(trace.find("machine address changed"), std::string::npos) << trace;
    // Traced at the first, the tenth, the hundredth, ...: a flood of them
    // never floods the trace.
    EXPECT_NE(trace.find("D:[tmRxNetTask,5]datagrams without a complete frame ignored so far: 1, "
                         "the latest from " +
                         PeerAddress::fromSockaddr(other.address()).text() + "\r\n"),
              std::string::npos)
        << trace;
    EXPECT_EQ(trace.find("ignored so far: 2"), std::string::npos);
    EXPECT_EQ(link.send("kavrin_key:print"), SendResult::Sent);
    EXPECT_EQ(machine.receive(), std::vector<std::string>{withNul("kavrin_key:print")});
    EXPECT_TRUE(other.receive(20ms).empty());
}

// A datagram is read whole: a record far beyond 1,023 bytes arrives as sent.
TEST_F(LinkTest, ADatagramIsHandedOverWhole) {
    link.start();
    LoopbackEndpoint machine;
    const std::string large = countFrame(3, "," + std::string(65000, 'r'));
    machine.sendTo(udpPort, large);
    ASSERT_TRUE(pumpUntil([&] { return chunks.size() == 1; }));
    EXPECT_EQ(chunks[0], large);
}

TEST_F(LinkTest, AFloodIsHandedOverInBatchesInOrderAndWhole) {
    link.start();
    LoopbackEndpoint machine;
    for (int count = 1; count <= 200; ++count) {
        machine.sendTo(udpPort, countFrame(count));
    }
    std::this_thread::sleep_for(200ms);  // all 200 are queued by now
    pollfd ready{link.eventFd(), POLLIN, 0};
    ASSERT_EQ(poll(&ready, 1, 1000), 1);
    link.pump();
    EXPECT_EQ(chunks.size(), 64u);
    EXPECT_EQ(poll(&ready, 1, 0), 1) << "the rest must wake the owner again";
    ASSERT_TRUE(pumpUntil([&] { return chunks.size() == 200; }));
    for (int count = 1; count <= 200; ++count) {
        EXPECT_EQ(chunks[static_cast<std::size_t>(count - 1)], countFrame(count));
    }
}

class SerialLinkTest : public LinkTest {
  protected:
    SerialLinkTest() { com7.linkAs(home / "ports", "COM7"); }
    Pty com7;
};

TEST_F(SerialLinkTest, APortCarriesCommandsAndBurstsUntilNetIsChosen) {
    link.start();
    testing::internal::CaptureStdout();
    ASSERT_TRUE(link.chooseSerial(7));
    EXPECT_EQ(link.send("kavrin_clear"), SendResult::Sent);
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_EQ(trace,
              "D:[CTolvaneAppDlg::OnCbnSelchangeComnumCombo,943]command by uart\r\n"
              "D:[CTolvaneAppDlg::tmSendMsg,807]uart cmd:\r\nkavrin_clear\r\n");
    EXPECT_EQ(com7.read(30ms), withNul("kavrin_clear"));
    const LinkStatus open = link.status();
    EXPECT_EQ(open.kind, LinkKind::Serial);
    EXPECT_EQ(open.serialPort, 7u);
    EXPECT_TRUE(open.serialOpen);

    com7.write(countFrame(3));
    ASSERT_TRUE(pumpUntil([&] { return chunks.size() == 1; }));
    EXPECT_EQ(chunks[0], countFrame(3));
    EXPECT_EQ(statuses.back(), open);

    link.chooseNet();
    ASSERT_TRUE(reported([](const LinkStatus& s) { return s.kind == LinkKind::Net; }));
    EXPECT_FALSE(statuses.back().serialOpen);
    EXPECT_EQ(link.send("kavrin_clear"), SendResult::Dropped);
    EXPECT_EQ(com7.read(30ms), "");
}

// While a serial port carries the commands, datagrams wait in the socket's
// queue, which overflows: the kernel's drops are counted, traced and shown
// in the status line while recent.
TEST_F(SerialLinkTest, DatagramsTheKernelDroppedAreCountedAndShown) {
    link.start();
    LoopbackEndpoint machine;
    machine.sendTo(udpPort, countFrame(0));
    ASSERT_TRUE(pumpUntil([&] { return chunks.size() == 1; }));
    ASSERT_TRUE(link.chooseSerial(7));
    constexpr int kSent = 20000;  // far beyond what the socket's queue holds
    for (int count = 1; count <= kSent; ++count) {
        machine.sendTo(udpPort, countFrame(count));
    }
    testing::internal::CaptureStdout();
    link.chooseNet();
    // The drop count travels with the next datagram queued after the drops.
    std::this_thread::sleep_for(200ms);
    ASSERT_TRUE(pumpUntil(
        [&] {
            machine.sendTo(udpPort, countFrame(kSent + 1));
            return !chunks.empty() && chunks.back() == countFrame(kSent + 1);
        },
        5000ms));
    ASSERT_TRUE(pumpUntil([&] { return link.status().recentlyLost > 0; }));
    const std::string trace = testing::internal::GetCapturedStdout();
    // Everything sent was handed over or counted as lost.
    std::size_t handed = 0;
    std::set<std::string> seen(chunks.begin(), chunks.end());
    for (int count = 0; count <= kSent + 1; ++count) {
        handed += seen.count(countFrame(count));
    }
    const std::uint64_t lost = link.status().recentlyLost;
    EXPECT_GT(lost, 0u);
    EXPECT_EQ(handed + lost, static_cast<std::size_t>(kSent + 2)) << trace;
    EXPECT_NE(trace.find("D:[tmRxNetTask,6]"), std::string::npos) << trace;
    EXPECT_NE(trace.find(" datagrams lost in the socket's queue while the panel was not reading"),
              std::string::npos);
    const LinkStatusLine line = describeLink(link.status(), udpPort, 0);
    EXPECT_EQ(line.mark, LinkMark::Failed);
    EXPECT_EQ(line.text.toStdString(), "NET · " +
                                           QLocale(QLocale::English, QLocale::UnitedStates)
                                               .toString(static_cast<qulonglong>(lost))
                                               .toStdString() +
                                           " datagrams lost while the panel was not reading");
}

// A burst is read up to 64 KiB at once: a record far beyond 1,023 bytes
// arrives in one chunk.
TEST_F(SerialLinkTest, ALongBurstIsHandedOverInOneChunk) {
    link.start();
    ASSERT_TRUE(link.chooseSerial(7));
    const std::string large = countFrame(4, "," + std::string(20000, 'r'));
    com7.write(large);
    ASSERT_TRUE(pumpUntil([&] { return !chunks.empty(); }));
    EXPECT_EQ(chunks, std::vector<std::string>{large});
}

// The template check asks the link how long a command may be.
TEST_F(SerialLinkTest, TheLongestCommandIsTheChosenLinks) {
    EXPECT_EQ(link.longestCommand(), 65507u);  // one UDP datagram over IPv4
    ASSERT_TRUE(link.chooseSerial(7));
    EXPECT_EQ(link.longestCommand(), 90000u);  // what the line carries in 450 ms
    EXPECT_FALSE(link.chooseSerial(9));
    EXPECT_EQ(link.longestCommand(), 90000u);
    link.chooseNet();
    EXPECT_EQ(link.longestCommand(), 65507u);
}

TEST_F(SerialLinkTest, APortThatCannotBeOpenedDropsCommands) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(link.chooseSerial(9));
    EXPECT_EQ(link.send("kavrin_key:stop"), SendResult::Dropped);
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_NE(trace.find("D:[CTolvaneAppDlg::OnCbnSelchangeComnumCombo,951]open "),
              std::string::npos);
    EXPECT_NE(trace.find("uart cmd:\r\nkavrin_key:stop"), std::string::npos);
    const LinkStatus status = link.status();
    EXPECT_EQ(status.kind, LinkKind::Serial);
    EXPECT_EQ(status.serialPort, 9u);
    EXPECT_FALSE(status.serialOpen);
}

TEST_F(SerialLinkTest, AnUnpluggedPortIsClosedAndItsWritesFail) {
    link.start();
    ASSERT_TRUE(link.chooseSerial(7));
    com7.unplug();
    ASSERT_TRUE(reported([](const LinkStatus& s) { return s.serial == SerialState::Away; }));
    EXPECT_FALSE(link.status().serialOpen);
    EXPECT_EQ(link.send("kavrin_key:print"), SendResult::WriteFailed);
}

// A pseudo-terminal's number is handed to the next terminal that opens: the
// name's old link then leads to a stranger's terminal. The port waits until
// its name is linked anew; the stranger gets nothing.
TEST_F(LinkTest, AWaitingPortReopensOnlyThroughALinkMadeAnew) {
    const std::filesystem::path ports = home / "ports";
    std::filesystem::create_directories(ports);
    auto machine = std::make_unique<Pty>();
    std::filesystem::create_symlink(machine->slavePath(), ports / "via");
    std::filesystem::create_symlink(ports / "via", ports / "COM9");
    link.start();
    ASSERT_TRUE(link.chooseSerial(9));
    machine->unplug();
    ASSERT_TRUE(reported([](const LinkStatus& s) { return s.serial == SerialState::Away; }));

    // The old link now leads to someone else's terminal.
    Pty stranger;
    testing::internal::CaptureStdout();
    const int before = portEvents;
    std::filesystem::remove(ports / "via");
    std::filesystem::create_symlink(stranger.slavePath(), ports / "via");
    ASSERT_TRUE(pumpUntil([&] { return portEvents > before; }));
    EXPECT_EQ(link.status().serial, SerialState::Away);
    EXPECT_EQ(link.send("kavrin_key:star"), SendResult::WriteFailed);
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_NE(trace.find("D:[Link::lookAtChosenPort,2]COM9 leads to another device now; not "
                         "reopened by itself\r\n"),
              std::string::npos)
        << trace;
    EXPECT_EQ(stranger.read(30ms), "");

    // Linked anew, as a simulator started again does: reopened by itself.
    std::filesystem::remove(ports / "COM9");
    std::filesystem::create_symlink(stranger.slavePath(), ports / "COM9");
    ASSERT_TRUE(reported([](const LinkStatus& s) { return s.serial == SerialState::Open; }));
    EXPECT_EQ(link.send("kavrin_key:star"), SendResult::Sent);
    EXPECT_EQ(stranger.read(30ms), withNul("kavrin_key:star"));
}

// A name linked, re-pointed or removed in the ports folder is announced
// within a second, with no timer: the owner reads the list again then.
TEST_F(LinkTest, PortNamesComingAndGoingAreAnnounced) {
    std::filesystem::create_directories(home / "ports");  // as the window's first listing does
    link.start();
    ASSERT_GE(link.eventFd(), 0);
    Pty adapter;
    for (int step = 0; step < 2; ++step) {
        const int before = portEvents;
        const auto start = std::chrono::steady_clock::now();
        if (step == 0) {
            adapter.linkAs(home / "ports", "COM4");
        } else {
            std::filesystem::remove(home / "ports" / "COM4");
        }
        ASSERT_TRUE(pumpUntil([&] { return portEvents > before; }, 1000ms)) << "step " << step;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    }
}

// The open port's device goes away; a new device under the same name is
// opened again by itself, raw, and carries bursts and commands. While away
// the link takes no CPU, and commands fail like a failed write.
TEST_F(SerialLinkTest, ARepluggedAdapterIsReopenedByItself) {
    link.start();
    ASSERT_TRUE(link.chooseSerial(7));
    testing::internal::CaptureStdout();
    com7.unplug();
    ASSERT_TRUE(pumpUntil([&] { return link.status().serial == SerialState::Away; }));
    EXPECT_EQ(link.send("kavrin_key:print"), SendResult::WriteFailed);

    const double cpuBefore = cpuSeconds();
    pumpUntil([] { return false; }, 300ms);
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.03) << "waiting for the adapter must not spin";

    Pty replugged;
    const auto plugged = std::chrono::steady_clock::now();
    replugged.relinkAs(home / "ports", "COM7");
    ASSERT_TRUE(pumpUntil([&] { return link.status().serial == SerialState::Open; }, 1000ms));
    EXPECT_LT(std::chrono::steady_clock::now() - plugged, 1s);
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_NE(trace.find("COM7 went away; waiting for it"), std::string::npos) << trace;
    EXPECT_NE(trace.find("COM7 is back; reopened"), std::string::npos) << trace;
    EXPECT_EQ(link.status().serialDevice, std::filesystem::canonical(replugged.slavePath()));

    replugged.write(countFrame(5));
    ASSERT_TRUE(pumpUntil([&] { return !chunks.empty() && chunks.back() == countFrame(5); }));
    EXPECT_EQ(link.send("kavrin_key:print"), SendResult::Sent);
    EXPECT_EQ(replugged.read(30ms), withNul("kavrin_key:print"));
}

// Removing the open port's name closes it; choosing NET ends the waiting.
TEST_F(SerialLinkTest, ARemovedNameClosesThePortAndNetEndsTheWait) {
    link.start();
    ASSERT_TRUE(link.chooseSerial(7));
    std::filesystem::remove(home / "ports" / "COM7");
    ASSERT_TRUE(pumpUntil([&] { return link.status().serial == SerialState::Away; }));
    EXPECT_FALSE(link.status().serialOpen);
    link.chooseNet();
    EXPECT_EQ(link.status().serial, SerialState::None);
    Pty replugged;
    replugged.linkAs(home / "ports", "COM7");
    ASSERT_TRUE(pumpUntil([&] { return portEvents > 0; }));
    EXPECT_FALSE(link.status().serialOpen) << "NET was chosen: the port stays closed";
}

// Another sender takes the link over: the trace names the old and new address.
TEST_F(LinkTest, AMachineAddressChangeIsTraced) {
    link.start();
    LoopbackEndpoint machine;
    LoopbackEndpoint other;
    testing::internal::CaptureStdout();
    machine.sendTo(udpPort, countFrame(1));
    ASSERT_TRUE(pumpUntil([&] { return chunks.size() == 1; }));
    other.sendTo(udpPort, countFrame(2));
    ASSERT_TRUE(pumpUntil([&] { return chunks.size() == 2; }));
    const std::string trace = testing::internal::GetCapturedStdout();
    const std::string line = "D:[tmRxNetTask,4]machine address changed from " +
                             PeerAddress::fromSockaddr(machine.address()).text() + " to " +
                             PeerAddress::fromSockaddr(other.address()).text() + "\r\n";
    EXPECT_NE(trace.find(line), std::string::npos) << trace;
    EXPECT_EQ(trace.find("machine address changed"), trace.rfind("machine address changed"))
        << "the first sender found is no change";
    EXPECT_EQ(PeerAddress::fromSockaddr(machine.address()).text().rfind("127.0.0.1:", 0), 0u);
}

TEST_F(SerialLinkTest, StopClosesSocketAndPortPromptlyAndTwice) {
    link.start();
    ASSERT_TRUE(link.chooseSerial(7));
    const auto before = std::chrono::steady_clock::now();
    link.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    link.stop();
    const LinkStatus status = link.status();
    EXPECT_FALSE(status.udpOpen);
    EXPECT_FALSE(status.udpBound);
    EXPECT_FALSE(status.serialOpen);
}

}  // namespace
