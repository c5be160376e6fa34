#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <QComboBox>

#include "link/SerialDevice.h"
#include "support/MachineFrame.h"
#include "support/PanelHarness.h"
#include "support/Probes.h"
#include "support/Pty.h"
#include "support/Wait.h"
#include "support/Watchdog.h"

namespace {

using namespace std::chrono_literals;

int entryIndex(PanelHarness& panel, const QString& text) {
    return static_cast<QComboBox*>(panel.control(ctl::kPort))->findText(text);
}

// Two pseudo-terminals offered as COM7 and COM8.
class SerialLink : public testing::Test {
  protected:
    explicit SerialLink(bool threads = false) : panel(threads) {
        com7.linkAs(panel.portsDir(), "COM7");
        com8.linkAs(panel.portsDir(), "COM8");
        panel.open();
        panel.showParameterPanel();  // the template and its button within reach
    }

    void choose(const QString& entry) {
        const int index = entryIndex(panel, entry);
        ASSERT_GE(index, 0) << entry.toStdString();
        panel.pick(ctl::kPort, index);
    }

    PanelHarness panel;
    Pty com7;
    Pty com8;
};

TEST_F(SerialLink, PortsAreOfferedAndPickingOneOpensItRawAtTwoMegabit) {
    auto* ports = static_cast<QComboBox*>(panel.control(ctl::kPort));
    ASSERT_EQ(ports->count(), 3);
    EXPECT_EQ(ports->itemText(1), "COM7");
    EXPECT_EQ(ports->itemText(2), "COM8");

    testing::internal::CaptureStdout();
    choose("COM7");
    EXPECT_NE(testing::internal::GetCapturedStdout().find(
                  "D:[CTolvaneAppDlg::OnCbnSelchangeComnumCombo,943]command by uart\r\n"),
              std::string::npos);
    EXPECT_TRUE(panel.link().serialOpen);
    EXPECT_EQ(panel.link().kind, LinkKind::Serial);

    termios settings{};
    ASSERT_EQ(tcgetattr(com7.master(), &settings), 0);
    EXPECT_EQ(cfgetospeed(&settings), B2000000);
    EXPECT_EQ(cfgetispeed(&settings), B2000000);
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
    EXPECT_EQ(settings.c_iflag & (ICRNL | INLCR | IXON | ISTRIP), 0u);
    EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t{CS8});
    EXPECT_NE(settings.c_cflag & CREAD, 0u);
    EXPECT_NE(settings.c_cflag & CLOCAL, 0u);
}

TEST_F(SerialLink, EveryKeyPutsItsTextAndOneNulOnTheWire) {
    choose("COM7");
    struct Key {
        int id;
        const char* text;
    };
    for (const Key key : {Key{ctl::kRewind, "kavrin_key:rewind"},
                          Key{ctl::kStop, "kavrin_key:stop"}, Key{ctl::kStart, "kavrin_key:star"},
                          Key{ctl::kPrint, "kavrin_key:print"}, Key{ctl::kClear, "kavrin_clear"}}) {
        testing::internal::CaptureStdout();
        panel.click(key.id);
        const std::string trace = testing::internal::GetCapturedStdout();
        EXPECT_EQ(com7.read(30ms), withNul(key.text));
        EXPECT_NE(trace.find("D:[CTolvaneAppDlg::tmSendMsg,807]uart cmd:\r\n" +
                             std::string(key.text) + "\r\n"),
                  std::string::npos);
    }
    panel.click(ctl::kStart);
    EXPECT_EQ(com7.read(30ms).size(), 16u);
    EXPECT_TRUE(panel.messages.empty());
}

TEST_F(SerialLink, SwitchingPortsClosesTheFirstAndNetClosesAny) {
    choose("COM7");
    choose("COM8");
    panel.click(ctl::kStop);
    EXPECT_EQ(com8.read(30ms), withNul("kavrin_key:stop"));
    EXPECT_EQ(com7.read(30ms), "");
    choose("COM7");  // it was closed, so it opens again
    EXPECT_TRUE(panel.link().serialOpen);
    choose("COM7");  // the open port is closed and opened again
    EXPECT_TRUE(panel.link().serialOpen);
    choose("NET");
    EXPECT_FALSE(panel.link().serialOpen);
    EXPECT_EQ(panel.link().kind, LinkKind::Net);
    EXPECT_TRUE(panel.messages.empty());
}

TEST_F(SerialLink, AHeldPortFailsWithTheMessageAndCommandsAreOnlyTraced) {
    const int holder = open(com7.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    choose("COM7");
    EXPECT_EQ(panel.messages, std::vector<QString>{QString::fromUtf8("打开COM失败!")});
    EXPECT_FALSE(panel.link().serialOpen);
    EXPECT_EQ(panel.link().kind, LinkKind::Serial);

    testing::internal::CaptureStdout();
    panel.click(ctl::kPrint);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("uart cmd:\r\nkavrin_key:print"),
              std::string::npos);
    EXPECT_EQ(panel.messages.size(), 1u);
    close(holder);
    choose("COM7");
    EXPECT_TRUE(panel.link().serialOpen);
}

TEST_F(SerialLink, AFailedWriteTellsTheOperator) {
    choose("COM7");
    com7.unplug();
    panel.click(ctl::kPrint);
    EXPECT_EQ(panel.messages,
              std::vector<QString>{QString::fromUtf8("写串口失败，请选择正确串口号!")});
}

// The machine stops reading while a long template goes out: the write gives
// up soon, the operator is told, and the next command reaches the machine
// whole and on its own, behind the NUL that ends the cut one.
TEST_F(SerialLink, ACommandCutByALineThatStopsDrainingIsEndedBeforeTheNextOne) {
    const std::string labels(30000, 'L');  // more than the pty holds
    panel.type(ctl::kTemplate, QString::fromStdString(labels));
    choose("COM7");

    Watchdog watchdog(5s, "PRINTER SET on a line that stopped draining");
    const auto before = std::chrono::steady_clock::now();
    panel.click(ctl::kPrinterSet);
    const auto took = std::chrono::steady_clock::now() - before;
    watchdog.dismiss();
    EXPECT_LT(took, 1s) << "the window's thread is held for half a second at most";
    EXPECT_EQ(panel.messages,
              std::vector<QString>{QString::fromUtf8("写串口失败，请选择正确串口号!")});

    const std::string command = "kavrin_cmd:" + labels;
    const std::string cut = com7.read(30ms);
    ASSERT_FALSE(cut.empty());
    EXPECT_LT(cut.size(), command.size());
    EXPECT_EQ(command.compare(0, cut.size(), cut), 0);

    panel.click(ctl::kStart);
    EXPECT_EQ(com7.read(30ms), withNul("") + withNul("kavrin_key:star"));
    panel.click(ctl::kStop);
    EXPECT_EQ(com7.read(30ms), withNul("kavrin_key:stop"));
    EXPECT_EQ(panel.messages.size(), 1u);
}

// A template the line cannot carry within the write's time limit would be cut
// every time: nothing is sent and the operator is told why.
TEST_F(SerialLink, ATemplateTooLongForTheSerialLineIsNotSent) {
    const std::string largest(kLongestSerialWrite - std::string_view("kavrin_cmd:").size() - 1,
                              'L');
    choose("COM7");
    panel.type(ctl::kTemplate, QString::fromStdString(largest + "L"));
    panel.click(ctl::kPrinterSet);
    EXPECT_EQ(com7.read(30ms), "");
    ASSERT_EQ(panel.messages.size(), 1u);
    EXPECT_TRUE(panel.messages[0].contains("serial line")) << panel.messages[0].toStdString();

    panel.type(ctl::kTemplate, QString::fromStdString(largest));
    std::thread machine([&] { EXPECT_EQ(com7.read(1s), withNul("kavrin_cmd:" + largest)); });
    panel.click(ctl::kPrinterSet);
    machine.join();
    EXPECT_EQ(panel.messages.size(), 1u);
}

// What the operator typed goes on the wire unchanged; the trace shows its
// control bytes as \xHH, so they cannot act on the terminal.
TEST_F(SerialLink, ControlBytesTypedByTheOperatorAreEscapedInTheTraceOnly) {
    choose("COM7");
    panel.type(ctl::kTemplate, QString::fromUtf8("N\r\n\x1b]0;x\x07\x7fP1"));
    testing::internal::CaptureStdout();
    panel.click(ctl::kPrinterSet);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "D:[CTolvaneAppDlg::tmSendMsg,807]uart cmd:\r\n"
              "kavrin_cmd:N\\x0d\\x0a\\x1b]0;x\\x07\\x7fP1\r\n");
    EXPECT_EQ(com7.read(30ms), withNul("kavrin_cmd:N\r\n\x1b]0;x\x07\x7fP1"));
}

class SerialReceive : public SerialLink {
  protected:
    SerialReceive() : SerialLink(true) { choose("COM7"); }
};

TEST_F(SerialReceive, BurstsReachTheWindowInOrderAndNothingIsLost) {
    testing::internal::CaptureStdout();
    com7.write(countFrame(1));
    ASSERT_TRUE(waitUntil([&] { return panel.text(ctl::kData) == "data=1"; }));
    // Two bursts more than 10 ms apart are two chunks; bytes right behind a
    // burst are kept for the next one.
    com7.write("start[2,0,2,1");
    std::this_thread::sleep_for(40ms);
    com7.write(",15,30,45,0,0]end");
    com7.write(countFrame(3));
    ASSERT_TRUE(waitUntil([&] { return panel.text(ctl::kData) == "data=3"; }));
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_NE(trace.find("D:[tmRxUartTask,472]=====>\r\n{" + countFrame(1) + "}\r\n\r\n"),
              std::string::npos);
    EXPECT_NE(trace.find("=====>\r\n{start[2,0,2,1}"), std::string::npos);
    EXPECT_NE(trace.find("=====>\r\n{,15,30,45,0,0]end" + countFrame(3) + "}"), std::string::npos);
}

// Bytes from the machine reach the dispatcher unchanged; the trace shows
// their control bytes as \xHH, so they cannot clear or rename the terminal.
TEST_F(SerialReceive, ControlBytesFromTheMachineAreEscapedInTheTraceOnly) {
    testing::internal::CaptureStdout();
    com7.write("\x1b[2J\x1b]0;owned\x07" + countFrame(4) + "\r\n\x7f");
    ASSERT_TRUE(waitUntil([&] { return panel.text(ctl::kData) == "data=4"; }));
    EXPECT_NE(testing::internal::GetCapturedStdout().find(
                  "D:[tmRxUartTask,472]=====>\r\n{\\x1b[2J\\x1b]0;owned\\x07" + countFrame(4) +
                  "\\x0d\\x0a\\x7f}\r\n\r\n"),
              std::string::npos);
}

TEST_F(SerialReceive, UnpluggedPortIsTracedOnceWithoutSpinningAndTheNextPortWorks) {
    testing::internal::CaptureStdout();
    com7.unplug();
    // The window's thread sleeps meanwhile: what is used is the receive thread's.
    const double before = cpuSeconds();
    std::this_thread::sleep_for(1s);
    const double used = cpuSeconds() - before;
    const std::string trace = testing::internal::GetCapturedStdout();
    std::size_t failures = 0;
    for (std::size_t at = trace.find("read uart failed"); at != std::string::npos;
         at = trace.find("read uart failed", at + 1)) {
        ++failures;
    }
    EXPECT_EQ(failures, 1u);
    EXPECT_LT(used, 0.05) << "a spin on the dead port would use the whole second";

    choose("COM8");
    com8.write(countFrame(8));
    ASSERT_TRUE(waitUntil([&] { return panel.text(ctl::kData) == "data=8"; }));
    panel.click(ctl::kClear);
    EXPECT_EQ(com8.read(30ms), withNul("kavrin_clear"));
}

// A state frame padded to the 1,023 bytes of one full burst.
std::string fullBurst(int count) {
    std::string burst = countFrame(count);
    burst.resize(1023, '.');
    return burst;
}

// The machine writes full bursts, each a new count, as fast as the line takes
// them, until the line has taken nothing for `stall` (or `limit` passes).
// Returns whether it stalled, and the last count written in `lastCount`.
bool floodUntilStalled(const Pty& machine, std::chrono::milliseconds stall,
                       std::chrono::seconds limit, int& lastCount) {
    const int master = machine.master();
    const int flags = fcntl(master, F_GETFL);
    fcntl(master, F_SETFL, flags | O_NONBLOCK);
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    std::string burst;
    std::size_t done = 0;
    bool stalled = false;
    while (!stalled && std::chrono::steady_clock::now() < giveUp) {
        if (done == burst.size()) {
            burst = fullBurst(++lastCount);
            done = 0;
        }
        pollfd room{master, POLLOUT, 0};
        if (poll(&room, 1, static_cast<int>(stall.count())) == 0) {
            stalled = true;
            break;
        }
        const ssize_t wrote = ::write(master, burst.data() + done, burst.size() - done);
        if (wrote > 0) {
            done += static_cast<std::size_t>(wrote);
        }
    }
    fcntl(master, F_SETFL, flags);
    return stalled;
}

// The window's thread turns no event loop while the machine floods the port,
// so nothing is dispatched and the receive queue fills up: the receive thread
// waits for room, the pty's buffer fills and the machine can write no more.
// Switching the link must not wait for room that only the window's thread
// could make.
TEST_F(SerialReceive, SwitchingAwayFromAFloodThatFilledTheQueueReturnsAtOnce) {
    const QString shownBefore = panel.text(ctl::kData);
    testing::internal::CaptureStdout();  // every burst is traced
    int lastCount = 0;
    ASSERT_TRUE(floodUntilStalled(com7, 300ms, 60s, lastCount)) << "the receive thread kept up";

    Watchdog watchdog(5s, "switching from a flooded COM7 to NET");
    const auto before = std::chrono::steady_clock::now();
    choose("NET");
    const auto took = std::chrono::steady_clock::now() - before;
    watchdog.dismiss();
    EXPECT_LT(took, 100ms);
    EXPECT_FALSE(panel.panel().link().status().serialOpen);

    // What was queued before the switch is still dispatched.
    EXPECT_TRUE(waitUntil([&] { return panel.text(ctl::kData) != shownBefore; }, 10000));
    testing::internal::GetCapturedStdout();
}

}  // namespace
