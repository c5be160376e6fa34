// A flood of datagrams of every kind through the whole panel: nothing
// crashes, every whole valid frame is handled, in order, and the window keeps
// turning its event loop.
#include <gtest/gtest.h>

#include <QTimer>

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <thread>

#include "support/InboundPanel.h"
#include "support/LoopbackWire.h"
#include "support/MachineFrame.h"
#include "support/Wait.h"

namespace {

std::string junk(std::mt19937& random, int kind) {
    switch (kind) {
        case 0:
            return "start[1,2,3]end";  // too few values
        case 1:
            return "start[5,0,2,1,15,30,45,0,0";  // no end
        case 2: {
            std::string binary(200, '\0');
            for (char& byte : binary) {
                byte = static_cast<char>(random());
            }
            return binary;
        }
        case 3:
            return std::string("\0start[9,0,2,1,15,30,45,0,0]end", 31);  // behind a NUL
        default:
            return std::string(65507, 'x');  // the largest datagram
    }
}

TEST(FloodTest, EveryValidFrameIsHandledInOrderAmongJunk) {
    UtcTimeZone utc;
    TempDir records;
    PanelHarness panel(true);
    panel.now = kFixedInstant;
    panel.open();
    panel.setRecordFolder(records.path().string() + "/");

    int ticks = 0;
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] { ++ticks; });
    heartbeat.start(10);

    LoopbackEndpoint machine;
    std::mt19937 random(7);
    constexpr int kDatagrams = 100000;
    constexpr int kBatch = 40;
    int valid = 0;
    testing::internal::CaptureStdout();  // the dropped frames are traced
    for (int sent = 0; sent < kDatagrams;) {
        for (int i = 0; i < kBatch && sent < kDatagrams; ++i, ++sent) {
            if (i % 4 == 3) {
                machine.sendTo(panel.udpPort, junk(random, (sent / 4) % (i == 39 ? 5 : 4)));
            } else {
                machine.sendTo(panel.udpPort,
                               countFrame(valid + 1, ",pt:T,{" + std::to_string(valid) + "}"));
                ++valid;
            }
        }
        // Wait for the panel to catch up, so the loopback socket never
        // overflows: what the kernel drops never reached the panel.
        const QString last = QStringLiteral("data=%1").arg(valid);
        ASSERT_TRUE(waitUntil([&] { return panel.text(ctl::kData) == last; }, 10000))
            << "stuck after " << sent << " datagrams";
    }
    testing::internal::GetCapturedStdout();
    panel.settleWrites();

    std::ifstream file(records.path() / "kav20250305090307.csv", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    int expected = 0;
    for (std::size_t at = all.find("S0="); at != std::string::npos;
         at = all.find("S0=", at + 3), ++expected) {
        ASSERT_EQ(std::stoi(all.substr(at + 3)), expected) << "out of order or lost";
    }
    EXPECT_EQ(expected, valid);
    EXPECT_GT(ticks, 10) << "the event loop kept turning";
}

}  // namespace
