// Counting records appended per second, each one opening, writing and closing
// its file, as the panel does for every record.
#include <benchmark/benchmark.h>

#include <string>

#include "common/Figures.h"
#include "common/FrameText.h"
#include "common/GBench.h"
#include "common/ScratchDir.h"
#include "inbound/FrameParser.h"
#include "inbound/RecordFile.h"
#include "inbound/RecordText.h"

namespace {

constexpr double kTargetPerSecond = 10'000;

void appendRecords(benchmark::State& state, const char* format) {
    const ScratchDir folder;
    const std::string path = (folder / (std::string("kav20250305090307.") + format)).string();
    const std::string text = recordText(parseFrame(recordFrame(1234)).report, format);
    for (auto _ : state) {
        const RecordWriteResult result = appendRecord(path, text);
        if (!result.written) {
            state.SkipWithError(result.reason.c_str());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void AppendXmlRecords(benchmark::State& state) {
    appendRecords(state, "xml");
}
BENCHMARK(AppendXmlRecords)->MinTime(1.0)->UseRealTime();

void AppendCsvRecords(benchmark::State& state) {
    appendRecords(state, "csv");
}
BENCHMARK(AppendCsvRecords)->MinTime(1.0)->UseRealTime();

void reportRate(const std::vector<BenchRun>& runs, const char* name, const char* caption) {
    const BenchRun* run = findRun(runs, name);
    const double rate = run != nullptr ? counter(*run, "items_per_second") : 0;
    report({caption, grouped(rate) + " /s", "≥ 10,000 /s", rate >= kTargetPerSecond});
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<BenchRun> runs = runBenchmarks(argc, argv);
    reportRate(runs, "AppendXmlRecords", "6. Record writing: XML records (the default)");
    reportRate(runs, "AppendCsvRecords", "6. Record writing: CSV records");
    return 0;
}
