// Time per settings write, as the disk writer does it (here on the calling
// thread): the label template written back with one character changed. Every
// write reads the file, puts the change on top, and replaces the file
// (temporary file, fsync, rename, fsync of the folder).
#include <benchmark/benchmark.h>

#include <QString>

#include <chrono>
#include <vector>

#include "common/Figures.h"
#include "common/GBench.h"
#include "common/ScratchDir.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsRules.h"
#include "settings/SettingsTable.h"

namespace {

constexpr double kTargetMedianMs = 1;
constexpr double kTargetP99Ms = 10;

void WriteTemplate(benchmark::State& state) {
    const ScratchDir home;
    SettingsStore store(home / "Tolvane" / "TolvaneApp.json");
    applyFirstRunRule(store);  // a file holding what a first run leaves
    const QString original = QString::fromStdString(defaultLabelTemplate());
    QString changed = original;
    changed[0] = changed[0] == QLatin1Char('X') ? QLatin1Char('Y') : QLatin1Char('X');

    std::vector<double> ms;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        const auto start = std::chrono::steady_clock::now();
        store.setText(setting::labelTemplate, flip ? changed : original);
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    state.counters["median_ms"] = median(ms);
    state.counters["p99_ms"] = percentile(ms, 99);
    state.counters["template_chars"] = static_cast<double>(original.size());
}
BENCHMARK(WriteTemplate)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    const std::vector<BenchRun> runs = runBenchmarks(argc, argv);
    const BenchRun* run = findRun(runs, "WriteTemplate");
    const double med = run != nullptr ? counter(*run, "median_ms") : 1e9;
    const double p99 = run != nullptr ? counter(*run, "p99_ms") : 1e9;
    report({"7. Settings write (template, one char changed): median", fixed(med, 3) + " ms",
            "< 1 ms", med < kTargetMedianMs});
    report({"7. Settings write: p99", fixed(p99, 3) + " ms", "< 10 ms", p99 < kTargetP99Ms});
    return 0;
}
