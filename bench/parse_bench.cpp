// Frames parsed per second on one core, for plain state frames and for frames
// that carry a counting record.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/BenchRecord.h"
#include "common/Figures.h"
#include "common/GBench.h"
#include "inbound/FrameParser.h"
#include "support/MachineFrame.h"

namespace {

constexpr double kTargetPerSecond = 2'000'000;

// Many frames with different counts, so the parser does not see one input
// only; each with `tail` behind its nine values.
std::vector<std::string> frames(std::string_view tail) {
    std::vector<std::string> out;
    for (long count = 0; count < 1024; ++count) {
        out.push_back(countFrame(count * 7919 % 1000000, tail));
    }
    return out;
}

void parseAll(benchmark::State& state, const std::vector<std::string>& input) {
    std::size_t next = 0;
    for (auto _ : state) {
        const std::string& frame = input[next];
        next = (next + 1) % input.size();
        ParsedFrame parsed = parseFrame(frame.data(), frame.size());
        benchmark::DoNotOptimize(parsed);
    }
    state.SetItemsProcessed(state.iterations());
}

void ParseStateFrames(benchmark::State& state) {
    static const std::vector<std::string> input = frames({});
    parseAll(state, input);
}
BENCHMARK(ParseStateFrames)->MinTime(1.0);

void ParseRecordFrames(benchmark::State& state) {
    static const std::vector<std::string> input = frames(kBenchRecord);
    parseAll(state, input);
}
BENCHMARK(ParseRecordFrames)->MinTime(1.0);

void reportRate(const std::vector<BenchRun>& runs, const char* name, const char* caption) {
    const BenchRun* run = findRun(runs, name);
    const double rate = run != nullptr ? counter(*run, "items_per_second") : 0;
    report({caption, grouped(rate) + " /s", "≥ 2,000,000 /s", rate >= kTargetPerSecond});
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<BenchRun> runs = runBenchmarks(argc, argv);
    reportRate(runs, "ParseStateFrames", "1. Parsing: state frames");
    reportRate(runs, "ParseRecordFrames", "1. Parsing: record frames");
    return 0;
}
