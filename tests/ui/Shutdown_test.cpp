// Closing the window while frames stream in over both links: every thread is
// joined promptly, nothing hangs, and no thread touches the closed window.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/LoopbackWire.h"
#include "support/MachineFrame.h"
#include "support/PanelHarness.h"
#include "support/Pty.h"
#include "support/TempDir.h"
#include "support/Wait.h"

namespace {

using namespace std::chrono_literals;

TEST(Shutdown, ClosingWhileFramesStreamInJoinsEveryThread) {
    for (int round = 0; round < 50; ++round) {
        PanelHarness panel(true);
        Pty com7;
        com7.linkAs(panel.portsDir(), "COM7");
        panel.open();
        if (round % 2 == 1) {
            panel.pick(ctl::kPort, 1);  // half the rounds read the serial port
            ASSERT_TRUE(panel.link().serialOpen);
        }
        std::atomic<bool> streaming{true};
        std::thread machine([&] {
            LoopbackEndpoint udp;
            const std::string frame = countFrame(7, ",pt:T,{a}");
            while (streaming) {
                udp.sendTo(panel.udpPort, frame);
                com7.offer(frame);  // a port nobody reads fills up: never wait for room
                std::this_thread::sleep_for(200us);
            }
        });
        settle(20);
        const auto before = std::chrono::steady_clock::now();
        panel.window().close();  // the operator closes the window
        const LinkStatus closed = panel.link();
        panel.close();
        const auto took = std::chrono::steady_clock::now() - before;
        streaming = false;
        machine.join();
        EXPECT_LT(took, 1s) << "round " << round;
        EXPECT_FALSE(closed.udpOpen);
        EXPECT_FALSE(closed.serialOpen);
    }
}

// Closing the window while records stream in, with a slow disk: every record
// the window handed to the disk writer is on disk once the program has ended,
// in arrival order.
TEST(Shutdown, EveryRecordHandedOverBeforeTheCloseIsOnDisk) {
    UtcTimeZone utc;
    TempDir records;
    PanelHarness panel(true);
    panel.now = kFixedInstant;
    std::vector<int> handedOver;  // counts of the record frames dispatched
    panel.frameHandled = [&](const DeviceReport& report) {
        if (report.isRecord) {
            handedOver.push_back(report.state.data);
        }
    };
    panel.setSync([](int fd, SyncKind kind) {
        std::this_thread::sleep_for(20ms);
        return syncToDisk(fd, kind);
    });
    panel.open();
    panel.setRecordFolder(records.path().string() + "/");

    std::atomic<bool> streaming{true};
    std::thread machine([&] {
        LoopbackEndpoint udp;
        for (int count = 1; streaming; ++count) {
            udp.sendTo(panel.udpPort, countFrame(count, ",pt:T"));
            std::this_thread::sleep_for(300us);
        }
    });
    ASSERT_TRUE(waitUntil([&] { return handedOver.size() >= 200; }, 10000));
    panel.close();
    streaming = false;
    machine.join();

    std::string expected;
    for (const int count : handedOver) {
        expected += "time=T,data=" + std::to_string(count);
    }
    EXPECT_EQ(readFile(records / "kav20250305090307.csv"), expected);
}

}  // namespace
