#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/LoopbackWire.h"
#include "support/MachineFrame.h"
#include "support/PanelHarness.h"
#include "support/Probes.h"
#include "support/Pty.h"
#include "support/Wait.h"

namespace {

class NetLink : public testing::Test {
  protected:
    NetLink() : panel(true) { panel.open(); }

    // The machine sends one datagram; the panel has handled it once 1019 shows it.
    void machineSends(const LoopbackEndpoint& from, int count) {
        from.sendTo(panel.udpPort, countFrame(count));
        ASSERT_TRUE(waitUntil(
            [&] { return panel.text(ctl::kData) == QStringLiteral("data=%1").arg(count); }));
    }

    PanelHarness panel;
    LoopbackEndpoint machine;
};

TEST_F(NetLink, CommandsWaitForTheMachineThenGoToItsAddress) {
    testing::internal::CaptureStdout();
    panel.click(ctl::kPrint);
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_NE(trace.find("D:[CTolvaneAppDlg::tmSendMsg,799]net cmd:\r\nkavrin_key:print\r\n"),
              std::string::npos);
    EXPECT_TRUE(machine.receive().empty());

    machineSends(machine, 5);
    panel.click(ctl::kPrint);
    panel.click(ctl::kStart);
    EXPECT_EQ(machine.receive(),
              (std::vector<std::string>{withNul("kavrin_key:print"), withNul("kavrin_key:star")}));
}

TEST_F(NetLink, LatestSenderWinsAndEmptyDatagramsDoNotCount) {
    LoopbackEndpoint other;
    machine.sendTo(panel.udpPort, "");
    settle(100);
    EXPECT_FALSE(panel.link().peerKnown);

    machineSends(machine, 1);
    machineSends(other, 2);
    panel.click(ctl::kStop);
    EXPECT_TRUE(machine.receive(std::chrono::milliseconds(20)).empty());
    EXPECT_EQ(other.receive(), std::vector<std::string>{withNul("kavrin_key:stop")});
}

// A datagram is read whole: a frame after 1,020 bytes of something else, or
// before 5,000, is seen all the same.
TEST_F(NetLink, ALargeDatagramIsReadWhole) {
    machine.sendTo(panel.udpPort, countFrame(9) + std::string(5000, 'x'));
    ASSERT_TRUE(waitUntil([&] { return panel.text(ctl::kData) == "data=9"; }));
    machine.sendTo(panel.udpPort, std::string(1020, ' ') + countFrame(12));
    ASSERT_TRUE(waitUntil([&] { return panel.text(ctl::kData) == "data=12"; }));
}

TEST(NetLinkBusyPort, NoSpinWhileThePortIsHeldAndRecoversWhenFreed) {
    auto holder = std::make_unique<LoopbackEndpoint>();
    PanelHarness panel(true);
    panel.udpPort = ntohs(holder->address().sin_port);
    // The panel binds 0.0.0.0, which the loopback holder blocks too.
    testing::internal::CaptureStdout();
    panel.open();
    // The window's thread sleeps meanwhile, so what is used is the receive
    // thread's: two retries of the bind and nothing else.
    const double before = cpuSeconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    const double used = cpuSeconds() - before;
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_NE(trace.find("failed: Address already in use"), std::string::npos);
    EXPECT_LT(used, 0.1) << "a spinning receive thread would use the whole 2.5 s";
    EXPECT_FALSE(panel.link().peerKnown);

    holder.reset();
    LoopbackEndpoint machine;
    ASSERT_TRUE(waitUntil(
        [&] {
            machine.sendTo(panel.udpPort, countFrame(3));
            return waitUntil([&] { return panel.text(ctl::kData) == "data=3"; }, 100);
        },
        3000));
    panel.click(ctl::kClear);
    std::string datagram;
    while (machine.receiveOne(datagram, std::chrono::milliseconds(100)) &&
           datagram != withNul("kavrin_clear")) {
    }
    EXPECT_EQ(datagram, withNul("kavrin_clear"));
}

}  // namespace

namespace {

TEST(NetLinkWhileSerial, DatagramsWaitAndArriveWhenNetIsChosenAgain) {
    PanelHarness panel(true);
    Pty com7;
    com7.linkAs(panel.portsDir(), "COM7");
    panel.open();
    LoopbackEndpoint machine;
    machine.sendTo(panel.udpPort, countFrame(1));
    ASSERT_TRUE(waitUntil([&] { return panel.text(ctl::kData) == "data=1"; }));

    panel.pick(ctl::kPort, 1);
    ASSERT_TRUE(panel.link().serialOpen);
    machine.sendTo(panel.udpPort, countFrame(2));
    settle(100);
    EXPECT_EQ(panel.text(ctl::kData), "data=1");

    panel.pick(ctl::kPort, 0);
    ASSERT_TRUE(waitUntil([&] { return panel.text(ctl::kData) == "data=2"; }));
    EXPECT_TRUE(panel.link().peerKnown);  // the peer survives the trip through serial
}

}  // namespace
