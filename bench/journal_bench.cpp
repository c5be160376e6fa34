// Counting records committed to the journal per second, each durable (WAL,
// synchronous=FULL) before it counts as kept. One at a time: one record, one
// transaction, one sync of the log. Handed over back to back: records given
// to the disk writer as fast as they come, which writes them to their record
// file and commits those that queued up meanwhile in one transaction.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "common/Figures.h"
#include "common/GBench.h"
#include "common/ScratchDir.h"
#include "inbound/JournalRow.h"
#include "inbound/RecordSaver.h"
#include "journal/Journal.h"
#include "storage/DiskWriter.h"

namespace {

JournalRecord oneRecord(int n) {
    DeviceReport report;
    report.state.data = n;
    report.isRecord = true;
    report.time = "2026-12-10 08:03:04";
    report.slots = {"R0402-10K", "LOT 2026-49", ""};
    JournalRecord row =
        journalRowOf(report, "NET 192.168.1.20:5000", std::chrono::system_clock::now());
    row.file = "/home/op/kav20261210080304.xml";
    row.written = true;
    return row;
}

void CommitOneAtATime(benchmark::State& state) {
    const ScratchDir folder;
    std::string error;
    const auto journal = Journal::open((folder / "records.sqlite").string(), &error);
    if (!journal) {
        state.SkipWithError(error.c_str());
        return;
    }
    int n = 0;
    for (auto _ : state) {
        JournalRecord record = oneRecord(n++);
        if (!journal->append({&record, 1}, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(CommitOneAtATime)->MinTime(2.0)->UseRealTime();

// 20,000 records handed to the record saver back to back, until the last is
// in its file and committed to the journal.
void HandOverWithJournal(benchmark::State& state) {
    const ScratchDir folder;
    const std::string file = (folder / "kav20261210080304.xml").string();
    const std::string text = "<time>2026-12-10 08:03:04</time>\r\n<data>1</data>\r\n";
    constexpr int kRecords = 20'000;
    int round = 0;
    for (auto _ : state) {
        const std::string journal =
            (folder / ("records-" + std::to_string(round++) + ".sqlite")).string();
        DiskWriter writer;
        RecordSaver saver(
            writer, [] {}, journal);
        for (int i = 0; i < kRecords; ++i) {
            saver.save(file, text, oneRecord(i));
        }
        if (!writer.drain(std::chrono::minutes(5))) {
            state.SkipWithError("the disk writer did not finish");
            break;
        }
        if (const std::optional<JournalStatus> status = saver.takeJournalStatus()) {
            state.SkipWithError(status->reason.c_str());
            break;
        }
        std::string error;
        const auto reader = Journal::open(journal, JournalAccess::Read, &error);
        if (!reader || reader->span({}).records != kRecords) {
            state.SkipWithError("records missing from the journal");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(HandOverWithJournal)->MinTime(2.0)->UseRealTime();

void reportRate(const std::vector<BenchRun>& runs, const char* name, const char* caption,
                double target) {
    const BenchRun* run = findRun(runs, name);
    const double rate = run != nullptr ? counter(*run, "items_per_second") : 0;
    report({caption, grouped(rate) + " /s", "≥ " + grouped(target) + " /s", rate >= target});
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<BenchRun> runs = runBenchmarks(argc, argv);
    reportRate(runs, "CommitOneAtATime", "10. Journal: records committed durably, one at a time",
               1'000);
    reportRate(runs, "HandOverWithJournal",
               "10. Journal: records handed to the disk writer back to back, until all are in "
               "their file and committed",
               50'000);
    return 0;
}
