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

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/BenchPanel.h"
#include "common/Figures.h"
#include "common/ScratchDir.h"
#include "link/Link.h"
#include "support/LoopbackWire.h"
#include "support/MachineFrame.h"
#include "ui/ControlTable.h"

namespace {

constexpr int kActions = 300;
constexpr double kTargetP99Ms = 2;
constexpr double kHandlerTargetP99Ms = 0.3;
constexpr double kHandlerBusyTargetP99Ms = 0.5;

// Another process that keeps the disk busy: it writes 1 MiB and syncs, over
// and over, into a file in `folder`, until it is killed (or this process ends).
pid_t startDiskBusy(const std::filesystem::path& folder) {
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child != 0) {
        return child;
    }
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) {
        ::_exit(1);
    }
    const std::string file = (folder / "busy").string();
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        ::_exit(1);
    }
    std::vector<char> block(1 << 20, 'b');
    for (off_t round = 0;; ++round) {
        if (::pwrite(fd, block.data(), block.size(), (round % 64) << 20) < 0 || ::fsync(fd) != 0) {
            ::_exit(1);
        }
    }
}

bool hasOption(int argc, char** argv, const char* option) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], option) == 0) {
            return true;
        }
    }
    return false;
}

double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

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
    std::vector<double> offCpuMs;   // of that, the window's thread off the processor
    int wrong = 0;                  // missing or unexpected datagrams
};

Latencies measure(const LoopbackEndpoint& machine, const std::string& prefix,
                  const std::function<void(int)>& act) {
    Latencies result;
    for (int i = 0; i < kActions; ++i) {
        drain(machine.fd());
        const double start = realtimeMs();
        const double cpuStart = threadCpuMs();
        act(i);
        const double handled = realtimeMs();
        const double cpu = threadCpuMs() - cpuStart;
        std::string bytes;
        double arrived = 0;
        if (!receiveStamped(machine.fd(), bytes, arrived) || bytes.rfind(prefix, 0) != 0) {
            ++result.wrong;
        } else {
            result.arrivalMs.push_back(arrived - start);
            result.handledMs.push_back(handled - start);
            result.offCpuMs.push_back(handled - start - cpu);
        }
        runEventLoopFor(3);  // the window repaints between the operator's actions
    }
    return result;
}

std::string spread(const std::vector<double>& ms) {
    return "p50 " + fixed(percentile(ms, 50), 3) + " ms, p99 " + fixed(percentile(ms, 99), 3) +
           " ms";
}

void reportRow(const std::string& name, const std::vector<double>& ms, int wrong, double targetMs) {
    std::string measured = spread(ms);
    if (wrong != 0) {
        measured += " (" + std::to_string(wrong) + " of " + std::to_string(kActions) +
                    " without their datagram)";
    }
    report({name, measured, "< " + fixed(targetMs, targetMs < 1 ? 1 : 0) + " ms at p99",
            wrong == 0 && percentile(ms, 99) < targetMs});
}

}  // namespace

int main(int argc, char** argv) {
    prepareBenchProcess();
    const BenchSetup setup = benchSetupOption(argc, argv);
    const bool busyDisk = hasOption(argc, argv, "--busy-disk");
    // Before the panel's threads: the busy process is a plain fork of this one.
    const ScratchDir busyFolder;
    const pid_t busy = busyDisk ? startDiskBusy(busyFolder.path()) : -1;
    const std::string note =
        busyDisk ? std::string(" (another process keeps the disk busy)") : setupNote(setup);
    QApplication app(argc, argv);
    BenchPanel panel(setup);
    panel.open();

    // The machine makes itself known with one frame, as it does when it starts.
    LoopbackEndpoint machine;
    for (int tries = 0; tries < 100 && !panel.panel().link().status().peerKnown; ++tries) {
        machine.sendTo(panel.udpPort, countFrame(1));
        runEventLoopFor(20);
    }
    if (!panel.panel().link().status().peerKnown) {
        report({"5. Command latency", "the panel never learned the machine's address", "—", false});
        return 1;
    }
    runEventLoopFor(50);
    const int on = 1;
    ::setsockopt(machine.fd(), SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);

    auto* print = static_cast<QAbstractButton*>(panel.control(ctl::kPrint));
    const Latencies clicks = measure(machine, "kavrin_key:print",
                                     [print](int) { QTest::mouseClick(print, Qt::LeftButton); });

    auto* speed = static_cast<QComboBox*>(panel.control(ctl::kSpeedStep));
    speed->setCurrentIndex(1);
    const Latencies picks = measure(machine, "kavrin_", [speed](int i) {
        QTest::keyClick(speed, i % 2 == 0 ? Qt::Key_Down : Qt::Key_Up);
    });

    std::fprintf(stderr, "print: arrival %s; handler %s, of it off the processor %s\n",
                 spread(clicks.arrivalMs).c_str(), spread(clicks.handledMs).c_str(),
                 spread(clicks.offCpuMs).c_str());
    std::fprintf(stderr, "speed: arrival %s; handler %s, of it off the processor %s\n",
                 spread(picks.arrivalMs).c_str(), spread(picks.handledMs).c_str(),
                 spread(picks.offCpuMs).c_str());
    if (busy > 0) {
        ::kill(busy, SIGKILL);
        ::waitpid(busy, nullptr, 0);
    }
    reportRow("5. Command latency" + note + ": PRINT click to datagram arrival", clicks.arrivalMs,
              clicks.wrong, kTargetP99Ms);
    reportRow("5. Command latency" + note + ": speed step pick to datagram arrival",
              picks.arrivalMs, picks.wrong, kTargetP99Ms);
    reportRow("5. Command latency" + note +
                  ": speed step pick to handler done (setting handed "
                  "to the disk writer)",
              picks.handledMs, picks.wrong,
              busyDisk ? kHandlerBusyTargetP99Ms : kHandlerTargetP99Ms);
    return 0;
}
