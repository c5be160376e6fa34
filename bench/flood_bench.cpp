// A UDP flood through the whole panel: the real window with its receive
// threads and disk writer, a machine on 127.0.0.1 sending state frames whose
// count changes every frame and a counting record every 100th frame. Counts
// which frames the window dispatched, how many datagrams were lost on the way
// and how long the window's event loop was held up meanwhile, over several
// runs; then raises the rate step by step; last, a flood whose every frame
// changes a stored speed value; at the end, whether every record the panel
// received reached its journal (and with "--plant" the broker's subscriber).
// "--slow-sync" slows the disk writer by 50 ms per sync; "--plant" turns the
// plant link on; "--runs N" sets the number of steady runs (default 10).
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/BenchPanel.h"
#include "common/BenchRecord.h"
#include "common/Figures.h"
#include "common/UdpDrops.h"
#include "support/LoopbackWire.h"
#include "support/MachineFrame.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double kLongestStallTargetMs = 20;
constexpr long kHighestRateTarget = 100'000;
constexpr double kHostileTargetSeconds = 6;
constexpr long kHostileFrames = 25'000;

void runEventLoopFor(std::chrono::milliseconds span) {
    QEventLoop loop;
    QTimer::singleShot(span, &loop, &QEventLoop::quit);
    loop.exec();
}

// Which frames a phase sends.
enum class Frames { CountsAndRecords, SpeedChanges };

struct PhaseResult {
    long rate = 0;
    long planned = 0;
    long sent = 0;
    long sendFailures = 0;
    long handled = 0;
    double sendSeconds = 0;
    double lastHandledSeconds = 0;  // from the start of sending to the last frame handled
    double windowCpuSeconds = 0;    // CPU time of the window's thread during the phase
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
    explicit Flood(BenchPanel& panel) : panel_(panel) {
        panel_.frameHandled = [this](const DeviceReport& report) {
            seen(report.state.data, report.isRecord);
        };
    }

    // True once the panel answers: its receive thread is bound and dispatching.
    bool warmUp() {
        const Clock::time_point limit = Clock::now() + 5s;
        while (latest_ != 0 && Clock::now() < limit) {
            machine_.sendTo(panel_.udpPort, countFrame(0));
            runEventLoopFor(20ms);
        }
        return latest_ == 0;
    }

    PhaseResult run(long rate, double seconds, Frames frames = Frames::CountsAndRecords) {
        PhaseResult result;
        result.rate = rate;
        result.planned = std::lround(static_cast<double>(rate) * seconds);
        frames_ = frames;
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
        const double cpuBefore = threadCpuSeconds();
        stall_.start();
        started_ = Clock::now();
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
        result.windowCpuSeconds = threadCpuSeconds() - cpuBefore;
        sender.join();

        result.handled = handled_;
        result.lastHandledSeconds = std::chrono::duration<double>(lastHandled_ - started_).count();
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
            "20 ms, preempted %ld times, sender's longest gap %.1f ms, window's thread %.2f us CPU "
            "per frame\n",
            rate, result.planned, result.sent, result.sendFailures, result.sendSeconds,
            result.handled, result.lost(), result.kernelDrops, result.longestStallMs,
            result.longestStallEndMs, result.longStalls, result.preempted,
            result.longestSenderGapMs,
            result.handled > 0 ? result.windowCpuSeconds * 1e6 / static_cast<double>(result.handled)
                               : 0.0);
        return result;
    }

    // Counting records the window dispatched, over every phase so far.
    long recordsHandled() const { return recordsHandled_; }

  private:
    // CPU time of the calling thread.
    static double threadCpuSeconds() {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
    }

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
                // The speed changes alternate the first speed between 15 and
                // 16: each frame changes a value the window mirrors and
                // stores, as a hostile sender would. The eight settings of
                // the others stay at what a first-run panel shows.
                const std::string frame =
                    frames_ == Frames::SpeedChanges
                        ? frameText({.data = count, .s1 = count % 2 == 0 ? 15 : 16})
                        : countFrame(count, count % 100 == 0 ? kBenchRecord : std::string_view{});
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

    void seen(long count, bool isRecord) {
        latest_ = count;
        if (count >= rangeBegin_ && count < rangeEnd_ &&
            seen_[static_cast<std::size_t>(count)] == 0) {
            seen_[static_cast<std::size_t>(count)] = 1;
            ++handled_;
            recordsHandled_ += isRecord ? 1 : 0;
            lastHandled_ = Clock::now();
        }
    }

    BenchPanel& panel_;
    LoopbackEndpoint machine_;
    StallMeter stall_;
    Frames frames_ = Frames::CountsAndRecords;
    Clock::time_point started_{};
    Clock::time_point lastHandled_{};
    std::vector<unsigned char> seen_;
    long latest_ = -1;
    long nextCount_ = 1;
    long rangeBegin_ = 0;
    long rangeEnd_ = 0;
    long handled_ = 0;
    long recordsHandled_ = 0;  // over every phase
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

int runsOption(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0) {
            return std::max(1, std::atoi(argv[i + 1]));
        }
    }
    return 10;
}

std::string lossText(const PhaseResult& result) {
    return grouped(static_cast<double>(result.lost())) + " (kernel queue drops " +
           grouped(static_cast<double>(result.kernelDrops)) + ")";
}

// The steady flood, `runs` times: every frame handled, none lost, and the
// event loop never held up beyond the target, in every run.
void steadyRuns(Flood& flood, int runs, const std::string& note) {
    std::vector<double> stalls;
    long handled = 0;
    long sent = 0;
    long lost = 0;
    long drops = 0;
    bool allSent = true;
    for (int run = 0; run < runs; ++run) {
        const PhaseResult steady = flood.run(5000, 10.0);
        stalls.push_back(steady.longestStallMs);
        handled += steady.handled;
        sent += steady.sent;
        lost += steady.lost();
        drops += steady.kernelDrops;
        allSent = allSent && steady.sent == steady.planned;
    }
    const auto within = std::count_if(stalls.begin(), stalls.end(),
                                      [](double ms) { return ms <= kLongestStallTargetMs; });
    std::string each;
    for (const double ms : stalls) {
        each += (each.empty() ? "" : ", ") + fixed(ms, 1);
    }
    const std::string runsText = std::to_string(runs) + " run" + (runs == 1 ? "" : "s");
    report({"2. UDP flood 5,000 frames/s for 10 s" + note + ": frames handled, " + runsText,
            grouped(static_cast<double>(handled)) + " of " + grouped(static_cast<double>(sent)) +
                " sent",
            "all", allSent && lost == 0});
    report({"2. UDP flood" + note + ": datagrams lost (sent − dispatched), " + runsText,
            grouped(static_cast<double>(lost)) + " (kernel queue drops " +
                grouped(static_cast<double>(drops)) + ")",
            "0", lost == 0});
    report({"2. UDP flood" + note + ": longest stall of the window's event loop, each run",
            std::to_string(within) + " of " + std::to_string(runs) + " within 20 ms; worst " +
                fixed(*std::max_element(stalls.begin(), stalls.end()), 1) + " ms (" + each + " ms)",
            "≤ 20 ms in " + std::to_string(runs) + " of " + std::to_string(runs), within == runs});
}

void rateSteps(Flood& flood) {
    long best = 0;
    std::string firstLoss = "none up to the last step";
    for (long rate : {10000L, 20000L, 40000L, 80000L, 100000L, 160000L, 200000L}) {
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
    report({"2. UDP flood: highest rate with none lost (2 s steps)",
            grouped(static_cast<double>(best)) + " frames/s (next step: " + firstLoss + ")",
            "≥ 100,000 /s", best >= kHighestRateTarget});
}

// 25,000 frames at 5,000/s, each changing the first speed value, so every
// frame stores a setting: how long until the last one is handled.
void hostileFlood(Flood& flood, const std::string& note) {
    const PhaseResult hostile =
        flood.run(5000, static_cast<double>(kHostileFrames) / 5000.0, Frames::SpeedChanges);
    report({"2. UDP flood of 25,000 frames at 5,000/s, each changing a stored speed value" + note +
                ": last frame handled after",
            fixed(hostile.lastHandledSeconds, 2) + " s, " +
                grouped(static_cast<double>(hostile.handled)) + " of " +
                grouped(static_cast<double>(hostile.sent)) + " handled, lost " + lossText(hostile) +
                ", longest stall " + fixed(hostile.longestStallMs, 1) + " ms",
            "≤ 6 s, 0 lost",
            hostile.lastHandledSeconds <= kHostileTargetSeconds && hostile.lost() == 0 &&
                hostile.sent == kHostileFrames});
}

// Waits, running the event loop, until `done` holds or `limit` has passed.
bool settleWithin(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const Clock::time_point end = Clock::now() + limit;
    while (!done() && Clock::now() < end) {
        runEventLoopFor(50ms);
    }
    return done();
}

// Every record the window dispatched reached the journal, and with the plant
// link the broker's subscriber too.
void recordsKept(BenchPanel& panel, const Flood& flood, const std::string& note) {
    const long handled = flood.recordsHandled();
    settleWithin([&] { return panel.journalRecords() >= handled; }, 10s);
    const long journal = panel.journalRecords();
    const long files = recordsWritten(panel.recordDir());
    report({"2. UDP flood" + note + ": counting records received that reached the journal",
            grouped(static_cast<double>(journal)) + " of " + grouped(static_cast<double>(handled)) +
                " (in record files: " + grouped(static_cast<double>(files)) + ")",
            "all", journal == handled && files == handled});
    if (!panel.plantLinkOn()) {
        return;
    }
    const Clock::time_point start = Clock::now();
    settleWithin([&] { return panel.recordsDelivered() >= handled; }, 30s);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const long delivered = panel.recordsDelivered();
    report({"2. UDP flood" + note + ": counting records delivered to the broker's subscriber",
            grouped(static_cast<double>(delivered)) + " of " +
                grouped(static_cast<double>(handled)) + " (acknowledged in the journal: " +
                grouped(static_cast<double>(panel.journalRecordsPublished())) + "; last " +
                fixed(seconds, 1) + " s after the flood)",
            "all", delivered == handled});
}

}  // namespace

int main(int argc, char** argv) {
    prepareBenchProcess();
    const BenchSetup setup = benchSetupOption(argc, argv);
    const int runs = runsOption(argc, argv);
    const std::string note = setupNote(setup);
    QApplication app(argc, argv);
    BenchPanel panel(setup);
    panel.open();
    Flood flood(panel);
    if (!flood.warmUp()) {
        report({"2. UDP flood", "the panel never answered", "—", false});
        return 1;
    }
    steadyRuns(flood, runs, note);
    if (setup.syncDelay.count() == 0 && !setup.plantLink) {
        rateSteps(flood);
    }
    hostileFlood(flood, note);
    recordsKept(panel, flood, note);
    return 0;
}
