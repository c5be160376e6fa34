// Serial bursts: a pseudo-terminal whose far end writes one frame at a time.
// A burst ends after 10 ms of silence; what is measured is how much later
// than that the chunk is dispatched (time from the burst's last byte, less
// 10 ms). First through the whole panel (the pseudo-terminal offered as COM1,
// until the window dispatches the frame and until edit 1019 shows it), then the serial receive
// thread alone (its delivery callback), which shows how much of it is the hop to the window, and
// last a plain timer, which shows what the computer itself adds.
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QTimer>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/BenchPanel.h"
#include "common/Figures.h"
#include "link/SerialDevice.h"
#include "link/SerialReceiver.h"
#include "support/MachineFrame.h"
#include "support/Pty.h"
#include "ui/ControlTable.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::size_t kBursts = 300;
constexpr double kSilenceMs = 10;
constexpr double kTargetP99Ms = 1;

double msSince(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// Excess over the silence for each burst through the panel: until the frame
// is dispatched, and until edit 1019 shows its count. Empty when COM1 cannot
// be opened.
struct PanelTimes {
    std::vector<double> dispatchedMs;
    std::vector<double> shownMs;
};

PanelTimes throughPanel() {
    BenchPanel panel;
    Pty machine;
    machine.linkAs(panel.portsDir(), "COM1");
    panel.open();
    auto* ports = static_cast<QComboBox*>(panel.control(ctl::kPort));
    const int index = ports->findText(QStringLiteral("COM1"));
    if (index < 0) {
        return {};
    }
    ports->setCurrentIndex(index);
    Q_EMIT ports->activated(index);
    if (!panel.messages.empty()) {
        return {};
    }

    PanelTimes times;
    long expected = 0;
    Clock::time_point lastByte;
    QEventLoop loop;
    const auto sendNext = [&] {
        ++expected;
        machine.write(countFrame(expected));
        lastByte = Clock::now();
    };
    panel.frameHandled = [&](const DeviceReport& report) {
        if (report.state.data == expected) {
            times.dispatchedMs.push_back(msSince(lastByte) - kSilenceMs);
        }
    };
    DataWatcher watcher(panel, [&](long count) {
        if (count != expected) {
            return;
        }
        times.shownMs.push_back(msSince(lastByte) - kSilenceMs);
        if (times.shownMs.size() == kBursts) {
            loop.quit();
        } else {
            QTimer::singleShot(3, sendNext);  // a short gap, then the next burst
        }
    });
    QTimer::singleShot(200, sendNext);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);  // a lost burst ends the run
    loop.exec();
    return times;
}

// The same bursts read by a SerialReceiver alone, timed in its callback.
std::vector<double> receiverAlone() {
    Pty machine;
    const SerialOpenResult port = openSerialPort(machine.slavePath());
    if (port.fd < 0) {
        return {};
    }
    configureSerialPort(port.fd);
    std::mutex mutex;
    std::condition_variable delivered;
    Clock::time_point lastByte;
    std::vector<double> excessMs;
    SerialReceiver receiver([&](std::string, std::stop_token) {
        std::lock_guard lock(mutex);
        excessMs.push_back(msSince(lastByte) - kSilenceMs);
        delivered.notify_one();
    });
    receiver.start();
    receiver.setPort(port.fd);
    for (long count = 1; count <= static_cast<long>(kBursts); ++count) {
        std::unique_lock lock(mutex);
        const std::size_t before = excessMs.size();
        machine.write(countFrame(count));
        lastByte = Clock::now();
        if (!delivered.wait_for(lock, 1s, [&] { return excessMs.size() > before; })) {
            break;
        }
        lock.unlock();
        std::this_thread::sleep_for(3ms);
    }
    receiver.setPort(-1);
    receiver.stop();
    closeSerialPort(port.fd);
    return excessMs;
}

// How late a plain 10 ms poll wakes on this computer right now: the floor
// under both figures above.
std::vector<double> timerBaseline() {
    std::vector<double> lateMs;
    for (std::size_t i = 0; i < kBursts; ++i) {
        const Clock::time_point start = Clock::now();
        ::poll(nullptr, 0, static_cast<int>(kSilenceMs));
        lateMs.push_back(msSince(start) - kSilenceMs);
        std::this_thread::sleep_for(3ms);
    }
    return lateMs;
}

std::string spread(const std::vector<double>& ms) {
    return "p50 " + fixed(percentile(ms, 50), 3) + " ms, p99 " + fixed(percentile(ms, 99), 3) +
           " ms";
}

void log(const char* what, const std::vector<double>& ms) {
    const auto over1ms = std::count_if(ms.begin(), ms.end(), [](double v) { return v > 1; });
    std::fprintf(stderr,
                 "serial %s: %zu bursts, excess p50 %.3f p90 %.3f p99 %.3f max %.3f ms, "
                 "%ld over 1 ms\n",
                 what, ms.size(), percentile(ms, 50), percentile(ms, 90), percentile(ms, 99),
                 percentile(ms, 100), static_cast<long>(over1ms));
}

}  // namespace

int main(int argc, char** argv) {
    prepareBenchProcess();
    QApplication app(argc, argv);

    const PanelTimes panel = throughPanel();
    const std::vector<double>& dispatched = panel.dispatchedMs;
    log("through the panel, dispatched", dispatched);
    log("through the panel, shown in edit 1019", panel.shownMs);
    if (dispatched.size() != kBursts) {
        report({"3. Serial: last byte to dispatch, beyond the 10 ms of silence",
                dispatched.empty() ? "COM1 could not be opened" : "bursts went missing",
                "< 1 ms at p99", false});
        return 1;
    }
    report({"3. Serial: last byte to dispatch, beyond the 10 ms of silence",
            spread(dispatched) + " (" + std::to_string(dispatched.size()) + " bursts)",
            "< 1 ms at p99", percentile(dispatched, 99) < kTargetP99Ms});
    report({"3. Serial: last byte to the count shown in edit 1019, beyond 10 ms",
            spread(panel.shownMs), "—", std::nullopt});

    const std::vector<double> alone = receiverAlone();
    log("receive thread alone", alone);
    report({"3. Serial, receive thread alone: last byte to its delivery, beyond 10 ms",
            spread(alone) + " (" + std::to_string(alone.size()) + " bursts)", "—", std::nullopt});

    const std::vector<double> baseline = timerBaseline();
    log("plain 10 ms poll", baseline);
    report({"3. Serial, for reference: a plain 10 ms poll wakes late by", spread(baseline), "—",
            std::nullopt});
    return 0;
}
