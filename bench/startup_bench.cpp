// Start-up time (process start to the window painted) and resident memory
// once it is shown, for the panel against a bare dialog with the same
// widgets; ten runs of each, alternating, offscreen, compared by median.
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/Figures.h"
#include "common/ScratchDir.h"
#include "common/Spawn.h"

namespace {

constexpr int kRuns = 10;
constexpr double kTargetTimeRatio = 1.5;
constexpr double kTargetMemoryRatio = 1.3;

struct Sample {
    double ms = 0;
    double rssKb = 0;
    bool ok = false;
};

class Launcher {
  public:
    Launcher() {
        std::filesystem::create_directories(home_ / "home");
        std::filesystem::create_directories(home_ / "config");
        const char* trace = std::getenv("TOLVANE_BENCH_TRACE");
        output_ = trace != nullptr ? trace : "/dev/null";
    }

    Sample run(const char* variant) {
        const std::string result = (home_ / "result").string();
        std::filesystem::remove(result);
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long long startNs =
            static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
        const pid_t child =
            spawnProcess(TOLVANE_PROBE_PATH, {variant, std::to_string(startNs), result},
                         {{"QT_QPA_PLATFORM", "offscreen"},
                          {"HOME", (home_ / "home").string()},
                          {"XDG_CONFIG_HOME", (home_ / "config").string()}},
                         output_);
        Sample sample;
        if (child < 0 || waitProcess(child) != 0) {
            return sample;
        }
        std::ifstream in(result);
        sample.ok = static_cast<bool>(in >> sample.ms >> sample.rssKb);
        return sample;
    }

  private:
    ScratchDir home_;
    std::string output_;
};

}  // namespace

int main() {
    Launcher launcher;
    launcher.run("panel");  // first run of the panel, and warm caches for both
    launcher.run("bare");
    std::vector<double> panelMs, bareMs, panelKb, bareKb;
    for (int i = 0; i < kRuns; ++i) {
        for (const char* variant : {"bare", "panel"}) {
            const Sample sample = launcher.run(variant);
            if (!sample.ok) {
                continue;
            }
            const bool panel = variant[0] == 'p';
            (panel ? panelMs : bareMs).push_back(sample.ms);
            (panel ? panelKb : bareKb).push_back(sample.rssKb);
            std::fprintf(stderr, "start-up %s: %.1f ms, %.0f KiB\n", variant, sample.ms,
                         sample.rssKb);
        }
    }
    if (panelMs.size() != kRuns || bareMs.size() != kRuns) {
        report({"8. Start-up", "probe runs failed", "—", false});
        return 1;
    }
    const double timeRatio = median(panelMs) / median(bareMs);
    const double memoryRatio = median(panelKb) / median(bareKb);
    report({"8. Start-up: process start to window shown (median of 10)",
            "panel " + fixed(median(panelMs), 1) + " ms, bare dialog " + fixed(median(bareMs), 1) +
                " ms: " + fixed(timeRatio, 2) + "x",
            "< 1.5x", timeRatio < kTargetTimeRatio});
    report({"8. Start-up: resident memory once shown (median of 10)",
            "panel " + fixed(median(panelKb) / 1024, 1) + " MiB, bare dialog " +
                fixed(median(bareKb) / 1024, 1) + " MiB: " + fixed(memoryRatio, 2) + "x",
            "< 1.3x", memoryRatio < kTargetMemoryRatio});
    return 0;
}
