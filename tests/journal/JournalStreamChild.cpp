// A stream of counting records into a journal, until killed: the child the
// kill test starts. Prints "<count>\n" for every record once it counts as
// kept, so the test knows what must survive.
//   journal_stream_child journal <path>   batches straight into the journal
//   journal_stream_child saver <path> <record folder>
//                                         records through the disk writer, as
//                                         the panel saves them
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "inbound/RecordSaver.h"
#include "journal/Journal.h"
#include "storage/DiskWriter.h"

namespace {

JournalRecord recordNumber(int n) {
    JournalRecord r;
    r.arrivedUtcMs = 1'796'860'800'000 + n;
    r.utcOffsetSeconds = 3600;
    r.machineTime = "T" + std::to_string(n);
    r.count = n;
    r.slots = {"S" + std::to_string(n), "", std::string(static_cast<std::size_t>(n % 200), 'p')};
    r.link = "COM7";
    return r;
}

int streamIntoJournal(const char* path) {
    std::string error;
    const std::unique_ptr<Journal> journal = Journal::open(path, &error);
    if (!journal) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    for (int n = 0, batch = 0;; ++batch) {
        std::vector<JournalRecord> records;
        for (int i = 0; i < 1 + batch % 5; ++i) {
            records.push_back(recordNumber(n++));
        }
        if (!journal->append(records, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 3;
        }
        for (const JournalRecord& r : records) {
            std::printf("%d\n", r.count);
        }
        std::fflush(stdout);
    }
}

int streamThroughSaver(const char* path, const std::string& folder) {
    DiskWriter writer;
    RecordSaver saver(
        writer, [] {}, path);
    for (int n = 0, round = 0;; ++round) {
        const int first = n;
        for (int i = 0; i < 1 + round % 3; ++i, ++n) {
            saver.save(folder + "/kav.csv", "time=T,data=" + std::to_string(n), recordNumber(n));
        }
        // Once the writer ran every job handed over, their records are in
        // their file and committed to the journal.
        if (!writer.drain(std::chrono::seconds(30))) {
            std::fprintf(stderr, "the disk writer did not finish\n");
            return 3;
        }
        if (const std::optional<JournalStatus> status = saver.takeJournalStatus();
            status && !status->kept) {
            std::fprintf(stderr, "journal not kept: %s\n", status->reason.c_str());
            return 3;
        }
        for (int k = first; k < n; ++k) {
            std::printf("%d\n", k);
        }
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "journal") == 0) {
        return streamIntoJournal(argv[2]);
    }
    if (argc == 4 && std::strcmp(argv[1], "saver") == 0) {
        return streamThroughSaver(argv[2], argv[3]);
    }
    std::fprintf(stderr, "usage: %s journal <path> | saver <path> <folder>\n", argv[0]);
    return 1;
}
