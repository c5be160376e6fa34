// A UDP flood through the whole panel: the real window with its receive
// threads, a machine on 127.0.0.1 sending state frames whose count changes
// every frame and a counting record every 100th frame. Counts which frames
// reached edit 1019, how many datagrams were lost on the way and how long the
// window's event loop was held up meanwhile; then raises the rate step by step.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "common/BenchPanel.h"
#include "common/Figures.h"
#include "common/FrameText.h"
#include "common/UdpDrops.h"
#include "support/LoopbackWire.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double kLongestStallTargetMs = 50;

struct PhaseResult {
    long rate = 0;
    long planned = 0;
    long sent = 0;
    long sendFailures = 0;
    long handled = 0;
    double sendSeconds = 0;
    double longestStallMs = 0;
    double longestStallEndMs = 0;   // when it ended, after the start
    int longStalls = 0;             // over 20 ms
    long preempted = 0;             // involuntary context switches of this process
    double longestSenderGapMs = 0;  // the sender's longest wait for a turn
    long kernelDrops = 0;
    long lost() const { return sent - handled; }
};

class Flood {
  public:
    explicit Flood(BenchPanel& panel)
        : panel_(panel), watcher_(panel.dlg(), [this](long count) { seen(count); }) {}

    // True once the panel answers: its receive thread is bound and dispatching.
    bool warmUp() {
        const Clock::time_point limit = Clock::now() + 5s;
        while (latest_ != 0 && Clock::now() < limit) {
            machine_.sendTo(panel_.udpPort, stateFrame(0));
            runEventLoopFor(20ms);
        }
        return latest_ == 0;
    }

    PhaseResult run(long rate, double seconds) {
        PhaseResult result;
        result.rate = rate;
        result.planned = std::lround(static_cast<double>(rate) * seconds);
        const long first = nextCount_;
        nextCount_ += result.planned;
        seen_.assign(static_cast<std::size_t>(nextCount_), 0);
        rangeBegin_ = first;
        rangeEnd_ = nextCount_;
        handled_ = 0;
        const long dropsBefore = udpKernelDrops(panel_.udpPort);
        rusage usageBefore{};
        getrusage(RUSAGE_SELF, &usageBefore);
        const long preemptedBefore = usageBefore.ru_nivcsw;

        std::atomic<bool> senderDone{false};
        stall_.start();
        std::thread sender([&] {
            send(first, rate, result);
            senderDone = true;
        });
        QEventLoop loop;
        QTimer check;
        long lastHandled = -1;
        Clock::time_point lastProgress = Clock::now();
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (!senderDone) {
                return;
            }
            if (handled_ >= result.sent) {
                loop.quit();
            } else if (handled_ != lastHandled) {
                lastHandled = handled_;
                lastProgress = Clock::now();
            } else if (Clock::now() - lastProgress > 500ms) {
                loop.quit();  // nothing more on its way
            }
        });
        check.start(20);
        loop.exec();
        stall_.stop();
        sender.join();

        result.handled = handled_;
        result.longestStallMs = stall_.longestGapMs();
        result.longestStallEndMs = stall_.longestGapEndMs();
        result.longStalls = stall_.longGaps();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        result.preempted = usage.ru_nivcsw - preemptedBefore;
        result.kernelDrops = udpKernelDrops(panel_.udpPort) - dropsBefore;
        std::fprintf(
            stderr,
            "flood %ld/s: planned %ld sent %ld (send failures %ld, %.2f s) handled %ld "
            "lost %ld kernel drops %ld longest stall %.2f ms ending at %.0f ms, %d stalls over "
            "20 ms, preempted %ld times, sender's longest gap %.1f ms\n",
            rate, result.planned, result.sent, result.sendFailures, result.sendSeconds,
            result.handled, result.lost(), result.kernelDrops, result.longestStallMs,
            result.longestStallEndMs, result.longStalls, result.preempted,
            result.longestSenderGapMs);
        return result;
    }

  private:
    // Sends `result.planned` frames at `rate` per second: every millisecond
    // what is due by then. A sender held up (the computer is busy) catches up
    // by at most 5 ms worth of frames, as a machine never sends in bursts;
    // the phase then runs longer instead.
    void send(long first, long rate, PhaseResult& result) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(panel_.udpPort);
        const double perMs = static_cast<double>(rate) / 1000.0;
        const double mostDue = std::max(1.0, 5 * perMs);
        const Clock::time_point start = Clock::now();
        Clock::time_point last = start;
        double due = 0;
        long index = 0;
        while (index < result.planned) {
            std::this_thread::sleep_until(last + 1ms);
            const Clock::time_point now = Clock::now();
            const double ms = std::chrono::duration<double, std::milli>(now - last).count();
            result.longestSenderGapMs = std::max(result.longestSenderGapMs, ms);
            last = now;
            due = std::min(due + ms * perMs, mostDue);
            for (; due >= 1 && index < result.planned; due -= 1, ++index) {
                const long count = first + index;
                const std::string frame = count % 100 == 0 ? recordFrame(count) : stateFrame(count);
                if (::sendto(machine_.fd(), frame.data(), frame.size(), 0,
                             reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0) {
                    ++result.sendFailures;
                } else {
                    ++result.sent;
                }
            }
        }
        result.sendSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    }

    void seen(long count) {
        latest_ = count;
        if (count >= rangeBegin_ && count < rangeEnd_ &&
            seen_[static_cast<std::size_t>(count)] == 0) {
            seen_[static_cast<std::size_t>(count)] = 1;
            ++handled_;
        }
    }

    static void runEventLoopFor(std::chrono::milliseconds span) {
        QEventLoop loop;
        QTimer::singleShot(span, &loop, &QEventLoop::quit);
        loop.exec();
    }

    BenchPanel& panel_;
    LoopbackEndpoint machine_;
    DataWatcher watcher_;
    StallMeter stall_;
    std::vector<unsigned char> seen_;
    long latest_ = -1;
    long nextCount_ = 1;
    long rangeBegin_ = 0;
    long rangeEnd_ = 0;
    long handled_ = 0;
};

// Counting records in the files of `folder`: one "data=" in CSV, one
// "<data>" in XML per record.
long recordsWritten(const std::filesystem::path& folder) {
    long records = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path());
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        for (const char* mark : {"data=", "<data>"}) {
            for (std::size_t at = text.find(mark); at != std::string::npos;
                 at = text.find(mark, at + 1)) {
                ++records;
            }
        }
    }
    return records;
}

}  // namespace

int main(int argc, char** argv) {
    prepareBenchProcess();
    QApplication app(argc, argv);
    BenchPanel panel;
    panel.open();
    Flood flood(panel);
    if (!flood.warmUp()) {
        report({"2. UDP flood", "the panel never answered", "—", false});
        return 1;
    }

    const PhaseResult steady = flood.run(5000, 10.0);
    const bool allHandled = steady.sent == steady.planned && steady.lost() == 0;
    report({"2. UDP flood 5,000 frames/s for 10 s: frames handled",
            grouped(static_cast<double>(steady.handled)) + " of " +
                grouped(static_cast<double>(steady.sent)) + " sent in " +
                fixed(steady.sendSeconds, 2) + " s",
            "all", allHandled});
    report({"2. UDP flood: datagrams lost (sent − dispatched)",
            grouped(static_cast<double>(steady.lost())) + " (kernel queue drops " +
                grouped(static_cast<double>(steady.kernelDrops)) + ")",
            "0", steady.lost() == 0});
    report({"2. UDP flood: longest stall of the window's event loop",
            fixed(steady.longestStallMs, 1) + " ms", "≤ 50 ms",
            steady.longestStallMs <= kLongestStallTargetMs});

    long best = steady.lost() == 0 ? steady.rate : 0;
    std::string firstLoss = "none up to the last step";
    for (long rate : {10000L, 20000L, 40000L, 80000L, 160000L}) {
        const PhaseResult step = flood.run(rate, 2.0);
        const double achieved = static_cast<double>(step.sent) / step.sendSeconds;
        if (step.lost() != 0 || achieved < 0.95 * static_cast<double>(rate)) {
            firstLoss = step.lost() != 0 ? grouped(static_cast<double>(rate)) + "/s lost " +
                                               grouped(static_cast<double>(step.lost())) + " of " +
                                               grouped(static_cast<double>(step.sent)) +
                                               ", stall " + fixed(step.longestStallMs, 1) + " ms"
                                         : "the sender reached only " + grouped(achieved) + "/s";
            break;
        }
        best = rate;
    }
    std::fprintf(stderr, "flood: %ld records in %s (one per 100 frames handled)\n",
                 recordsWritten(panel.recordDir()), panel.recordDir().c_str());
    report({"2. UDP flood: highest rate with none lost (2 s steps)",
            grouped(static_cast<double>(best)) + " frames/s (next step: " + firstLoss + ")", "—",
            std::nullopt});
    return 0;
}
