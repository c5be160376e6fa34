#include "common/GBench.h"

#include <cstdlib>
#include <iostream>

#include "common/Figures.h"

namespace {

class CollectingReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& reports) override {
        runs.insert(runs.end(), reports.begin(), reports.end());
        ConsoleReporter::ReportRuns(reports);
    }
    std::vector<Run> runs;
};

}  // namespace

std::vector<BenchRun> runBenchmarks(int argc, char** argv) {
    const char* trace = std::getenv("TOLVANE_BENCH_TRACE");
    sendTraceTo(trace != nullptr ? trace : "/dev/null");
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.runs;
}

const BenchRun* findRun(const std::vector<BenchRun>& runs, const std::string& name) {
    for (const BenchRun& run : runs) {
        if (run.run_name.function_name == name && !run.error_occurred) {
            return &run;
        }
    }
    return nullptr;
}

double counter(const BenchRun& run, const std::string& name) {
    const auto found = run.counters.find(name);
    return found == run.counters.end() ? 0.0 : static_cast<double>(found->second);
}
