// The panel's cost while nothing arrives: the real program, its window shown
// offscreen, in a home of its own. Wake-ups (voluntary context switches of
// all its threads) and CPU time are read from /proc over ten seconds, in a
// child process so that this program's own threads do not count.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

#include "common/Figures.h"
#include "common/ProcStats.h"
#include "common/ScratchDir.h"
#include "common/Spawn.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double kTargetWakeups = 2;
constexpr double kTargetCpuPercent = 0.1;
constexpr std::uint16_t kPanelUdpPort = 39451;

// True when nobody else holds the port the panel binds.
bool panelPortFree() {
    const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(kPanelUdpPort);
    const bool free = ::bind(probe, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    ::close(probe);
    return free;
}

}  // namespace

int main() {
    const ScratchDir home;
    std::filesystem::create_directories(home / "home");
    std::filesystem::create_directories(home / "config");
    const char* trace = std::getenv("TOLVANE_BENCH_TRACE");
    const bool portFree = panelPortFree();
    const pid_t child = spawnProcess(TOLVANE_APP_PATH, {},
                                     {{"QT_QPA_PLATFORM", "offscreen"},
                                      {"HOME", (home / "home").string()},
                                      {"XDG_CONFIG_HOME", (home / "config").string()}},
                                     trace != nullptr ? trace : "/dev/null");
    if (child < 0) {
        report({"4. Idle cost", "TolvaneApp could not be started", "—", false});
        return 1;
    }
    std::this_thread::sleep_for(3s);  // start-up done, window shown

    const auto before = sampleThreads(child);
    const Clock::time_point start = Clock::now();
    std::this_thread::sleep_for(10s);
    const auto after = sampleThreads(child);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ::kill(child, SIGTERM);
    waitProcess(child);

    if (after.empty()) {
        report({"4. Idle cost", "TolvaneApp ended during the measurement", "—", false});
        return 1;
    }
    std::map<pid_t, ThreadSample> first;
    for (const ThreadSample& sample : before) {
        first[sample.tid] = sample;
    }
    double wakeups = 0;
    double cpuNs = 0;
    for (const ThreadSample& sample : after) {
        const ThreadSample earlier = first.count(sample.tid) ? first[sample.tid] : ThreadSample{};
        const double threadWakeups =
            static_cast<double>(sample.voluntarySwitches - earlier.voluntarySwitches) / seconds;
        const double threadCpu = static_cast<double>(sample.cpuNs - earlier.cpuNs);
        wakeups += threadWakeups;
        cpuNs += threadCpu;
        std::fprintf(stderr, "idle thread %d %-16s %6.2f wake-ups/s, %6.3f%% cpu, %ld preempted\n",
                     sample.tid, sample.name.c_str(), threadWakeups,
                     threadCpu / (seconds * 1e9) * 100,
                     sample.involuntarySwitches - earlier.involuntarySwitches);
    }
    const double cpuPercent = cpuNs / (seconds * 1e9) * 100;
    const std::string note = portFree ? "" : " (port 39451 held by another program)";
    report({"4. Idle: wake-ups per second, all threads (window shown, nothing arriving)",
            fixed(wakeups, 1) + " /s over " + fixed(seconds, 0) + " s, " +
                std::to_string(after.size()) + " threads" + note,
            "≤ 2 /s", wakeups <= kTargetWakeups});
    report({"4. Idle: CPU share (of one core)", fixed(cpuPercent, 3) + " %", "< 0.1 %",
            cpuPercent < kTargetCpuPercent});
    return 0;
}
