// Counting records appended per second, each made durable before it counts
// as written. One at a time: each record opens its file, is written, synced
// (fdatasync) and closed before the next, the slowest way the disk writer can
// go. Handed over back to back: records given to the disk writer as fast as
// they come, which writes those that queue up meanwhile with one sync.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "common/BenchRecord.h"
#include "common/Figures.h"
#include "common/GBench.h"
#include "common/ScratchDir.h"
#include "inbound/FrameParser.h"
#include "inbound/RecordFile.h"
#include "inbound/RecordSaver.h"
#include "inbound/RecordText.h"
#include "storage/DiskWriter.h"
#include "support/MachineFrame.h"

namespace {

constexpr double kTargetPerSecond = 1'000;

std::string recordOf(const char* format) {
    return recordText(parseFrame(countFrame(1234, kBenchRecord)).report, format);
}

void appendRecords(benchmark::State& state, const char* format) {
    const ScratchDir folder;
    const std::string path = (folder / (std::string("kav20250305090307.") + format)).string();
    const std::string text = recordOf(format);
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
BENCHMARK(AppendXmlRecords)->MinTime(2.0)->UseRealTime();

void AppendCsvRecords(benchmark::State& state) {
    appendRecords(state, "csv");
}
BENCHMARK(AppendCsvRecords)->MinTime(2.0)->UseRealTime();

// 10,000 records handed to the disk writer back to back, until the last is on disk.
void HandOverXmlRecords(benchmark::State& state) {
    const ScratchDir folder;
    const std::string path = (folder / "kav20250305090307.xml").string();
    const std::string text = recordOf("xml");
    constexpr int kRecords = 10'000;
    for (auto _ : state) {
        DiskWriter writer;
        RecordSaver saver(writer, [] {});
        for (int i = 0; i < kRecords; ++i) {
            saver.save(path, text);
        }
        if (!writer.drain(std::chrono::minutes(5))) {
            state.SkipWithError("the disk writer did not finish");
            break;
        }
        const std::optional<RecordWriteResult> last = saver.takeLatest();
        if (!last || !last->written) {
            state.SkipWithError(last ? last->reason.c_str() : "no outcome");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(HandOverXmlRecords)->MinTime(2.0)->UseRealTime();

void reportRate(const std::vector<BenchRun>& runs, const char* name, const char* caption,
                bool judged) {
    const BenchRun* run = findRun(runs, name);
    const double rate = run != nullptr ? counter(*run, "items_per_second") : 0;
    report({caption, grouped(rate) + " /s", judged ? "≥ 1,000 /s" : "—",
            judged ? std::optional<bool>(rate >= kTargetPerSecond) : std::nullopt});
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<BenchRun> runs = runBenchmarks(argc, argv);
    reportRate(runs, "AppendXmlRecords",
               "6. Records appended, each synced, one at a time: XML (the default)", true);
    reportRate(runs, "AppendCsvRecords", "6. Records appended, each synced, one at a time: CSV",
               true);
    reportRate(runs, "HandOverXmlRecords",
               "6. Records handed to the disk writer back to back (XML), until all are on disk",
               false);
    return 0;
}
