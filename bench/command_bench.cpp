// Command latency: from the operator's click (or key) on a control of the
// real window in NET mode to the command's datagram arriving at the machine's
// socket on 127.0.0.1, taken from the kernel's receive time stamp. PRINT sends
// only; a speed step pick sends and then stores the choice, so for it the time
// until the handler is done (the settings file replaced) is shown as well.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <poll.h>
#include <sys/socket.h>
#include <time.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/ControlTable.h"
#include "common/BenchPanel.h"
#include "common/Figures.h"
#include "common/FrameText.h"
#include "link/Link.h"
#include "support/LoopbackWire.h"

namespace {

constexpr int kActions = 300;
constexpr double kTargetP99Ms = 2;

double realtimeMs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void runEventLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void drain(int fd) {
    std::array<char, 2048> buffer{};
    while (::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT) >= 0) {
    }
}

// One datagram and the kernel's time of its arrival (CLOCK_REALTIME, ms).
bool receiveStamped(int fd, std::string& bytes, double& arrivedMs) {
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, 500) <= 0) {
        return false;
    }
    std::array<char, 2048> buffer{};
    iovec part{buffer.data(), buffer.size()};
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(timespec))> control{};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    const ssize_t size = ::recvmsg(fd, &message, MSG_DONTWAIT);
    if (size < 0) {
        return false;
    }
    bytes.assign(buffer.data(), static_cast<std::size_t>(size));
    for (cmsghdr* item = CMSG_FIRSTHDR(&message); item != nullptr;
         item = CMSG_NXTHDR(&message, item)) {
        if (item->cmsg_level == SOL_SOCKET && item->cmsg_type == SCM_TIMESTAMPNS) {
            timespec stamp{};
            std::memcpy(&stamp, CMSG_DATA(item), sizeof stamp);
            arrivedMs =
                static_cast<double>(stamp.tv_sec) * 1e3 + static_cast<double>(stamp.tv_nsec) / 1e6;
            return true;
        }
    }
    return false;
}

struct Latencies {
    std::vector<double> arrivalMs;  // action to datagram arrival
    std::vector<double> handledMs;  // action to the handler's return
    int wrong = 0;                  // missing or unexpected datagrams
};

Latencies measure(const LoopbackEndpoint& machine, const std::string& prefix,
                  const std::function<void(int)>& act) {
    Latencies result;
    for (int i = 0; i < kActions; ++i) {
        drain(machine.fd());
        const double start = realtimeMs();
        act(i);
        const double handled = realtimeMs();
        std::string bytes;
        double arrived = 0;
        if (!receiveStamped(machine.fd(), bytes, arrived) || bytes.rfind(prefix, 0) != 0) {
            ++result.wrong;
        } else {
            result.arrivalMs.push_back(arrived - start);
            result.handledMs.push_back(handled - start);
        }
        runEventLoopFor(3);  // the window repaints between the operator's actions
    }
    return result;
}

std::string spread(const std::vector<double>& ms) {
    return "p50 " + fixed(percentile(ms, 50), 3) + " ms, p99 " + fixed(percentile(ms, 99), 3) +
           " ms";
}

void reportRow(const std::string& name, const std::vector<double>& ms, int wrong) {
    std::string measured = spread(ms);
    if (wrong != 0) {
        measured += " (" + std::to_string(wrong) + " of " + std::to_string(kActions) +
                    " without their datagram)";
    }
    report({name, measured, "< 2 ms at p99", wrong == 0 && percentile(ms, 99) < kTargetP99Ms});
}

}  // namespace

int main(int argc, char** argv) {
    prepareBenchProcess();
    QApplication app(argc, argv);
    BenchPanel panel;
    CTolvaneAppDlg& dlg = panel.open();

    // The machine makes itself known with one frame, as it does when it starts.
    LoopbackEndpoint machine;
    for (int tries = 0; tries < 100 && !dlg.link().status().peerKnown; ++tries) {
        machine.sendTo(panel.udpPort, stateFrame(1));
        runEventLoopFor(20);
    }
    if (!dlg.link().status().peerKnown) {
        report({"5. Command latency", "the panel never learned the machine's address", "—", false});
        return 1;
    }
    runEventLoopFor(50);
    const int on = 1;
    ::setsockopt(machine.fd(), SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);

    auto* print = static_cast<QAbstractButton*>(dlg.control(ctl::kPrint));
    const Latencies clicks = measure(machine, "kavrin_key:print",
                                     [print](int) { QTest::mouseClick(print, Qt::LeftButton); });

    auto* speed = static_cast<QComboBox*>(dlg.control(ctl::kSpeedStep));
    speed->setCurrentIndex(1);
    const Latencies picks = measure(machine, "kavrin_", [speed](int i) {
        QTest::keyClick(speed, i % 2 == 0 ? Qt::Key_Down : Qt::Key_Up);
    });

    std::fprintf(stderr, "print: arrival %s; handler %s\n", spread(clicks.arrivalMs).c_str(),
                 spread(clicks.handledMs).c_str());
    std::fprintf(stderr, "speed: arrival %s; handler %s\n", spread(picks.arrivalMs).c_str(),
                 spread(picks.handledMs).c_str());
    reportRow("5. Command latency: PRINT click to datagram arrival", clicks.arrivalMs,
              clicks.wrong);
    reportRow("5. Command latency: speed step pick to datagram arrival", picks.arrivalMs,
              picks.wrong);
    reportRow("5. Command latency: speed step pick to handler done (setting stored)",
              picks.handledMs, picks.wrong);
    return 0;
}
