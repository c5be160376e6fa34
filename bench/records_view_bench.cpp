// The records window on a journal of 1,000,000 records over 30 days, offscreen:
// how soon it shows its first page, how soon a day filter answers, how long a
// step of scrolling from top to bottom holds the window's thread (the thumb
// dragged down in 2,000 steps, unfiltered and under a slot text filter, and
// 2,000 pages down), and how much the process grows meanwhile.
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QScrollBar>
#include <QTableView>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Figures.h"
#include "common/ProcStats.h"
#include "common/ScratchDir.h"
#include "journal/Journal.h"
#include "records/RecordsTableModel.h"
#include "ui/records/RecordsWindow.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRecords = 1'000'000;
constexpr int kDays = 30;
constexpr std::int64_t kFirstDayMs = 1'794'268'800'000;  // 2026-11-10 00:00 UTC

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool buildJournal(const std::string& path) {
    std::string error;
    const auto journal = Journal::open(path, &error);
    if (!journal) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    const Clock::time_point start = Clock::now();
    const std::int64_t stepMs = std::int64_t{kDays} * 86'400'000 / kRecords;
    std::vector<JournalRecord> batch;
    for (int i = 0; i < kRecords; ++i) {
        JournalRecord& r = batch.emplace_back();
        r.arrivedUtcMs = kFirstDayMs + i * stepMs;
        r.utcOffsetSeconds = 3600;
        r.machineTime = "2026-11-10 08:03:04";
        r.count = 1 + i % 500;
        r.slots = {"R" + std::to_string(i % 997) + "-10K", i % 3 == 0 ? "LOT 49" : "LOT 50", ""};
        r.link = "NET 192.168.1.20:5000";
        r.file = "/home/op/kav20261110080304.xml";
        r.written = i % 1000 != 0;
        r.failure = r.written ? "" : "write: No space left on device";
        if (batch.size() == 100'000) {
            if (!journal->append(batch, &error)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return false;
            }
            batch.clear();
        }
    }
    std::fprintf(stderr, "journal of %d records made in %.1f s\n", kRecords, msSince(start) / 1000);
    return true;
}

void paint(RecordsWindow& window) {
    window.table().viewport()->repaint();
    QApplication::processEvents();
}

struct Steps {
    double worst = 0;
    double p99 = 0;
    int count = 0;
};

// Each step: the scroll bar moved, the table painted, events handled.
Steps scroll(RecordsWindow& window, const std::function<int(QScrollBar&, int step)>& valueAt,
             int steps) {
    QScrollBar& bar = *window.table().verticalScrollBar();
    std::vector<double> times;
    for (int step = 0; step < steps; ++step) {
        const Clock::time_point start = Clock::now();
        bar.setValue(valueAt(bar, step));
        paint(window);
        times.push_back(msSince(start));
    }
    return {*std::max_element(times.begin(), times.end()), percentile(times, 99),
            static_cast<int>(times.size())};
}

void reportSteps(const std::string& what, const Steps& steps) {
    report({"11. Records window, 1,000,000 records: scrolling, " + what + ", longest step",
            fixed(steps.worst, 1) + " ms (p99 " + fixed(steps.p99, 1) + " ms, " +
                grouped(steps.count) + " steps)",
            "≤ 20 ms", steps.worst <= 20});
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const ScratchDir folder;
    const std::string path = (folder / "records.sqlite").string();
    if (!buildJournal(path)) {
        report({"11. Records window", "the journal could not be made", "—", false});
        return 1;
    }
    // The main window is up when the records window is asked for: fonts and
    // styles are loaded by then.
    {
        QLabel main(QStringLiteral("TolvaneApp"));
        main.show();
        main.repaint();
        QApplication::processEvents();
    }
    const long before = residentKb(::getpid());
    long most = before;

    // First page: made, shown and painted.
    Clock::time_point start = Clock::now();
    RecordsWindowSetup setup;
    setup.journalPath = path;
    auto window = std::make_unique<RecordsWindow>(setup);
    window->show();
    paint(*window);
    const double firstPage = msSince(start);
    report({"11. Records window, 1,000,000 records: first page shown", fixed(firstPage, 1) + " ms",
            "< 300 ms", firstPage < 300});

    // One day, then back to everything; a week and a slot text for reference.
    start = Clock::now();
    window->setFilter({"2026-11-25", "2026-11-25", ""});
    paint(*window);
    const double oneDay = msSince(start);
    report({"11. Records window, 1,000,000 records: day filter (" +
                grouped(window->model().rowCount()) + " records) shown with its totals",
            fixed(oneDay, 1) + " ms", "< 200 ms", oneDay < 200});
    start = Clock::now();
    window->setFilter({"2026-11-20", "2026-11-26", ""});
    paint(*window);
    const double week = msSince(start);
    report({"11. Records window, 1,000,000 records: seven days (" +
                grouped(window->model().rowCount()) + " records)",
            fixed(week, 1) + " ms", "—", std::nullopt});
    start = Clock::now();
    window->setFilter({"", "", "lot 49"});
    paint(*window);
    const double text = msSince(start);
    report({"11. Records window, 1,000,000 records: slot text filter over all days (" +
                grouped(window->model().rowCount()) + " records)",
            fixed(text, 1) + " ms", "—", std::nullopt});
    most = std::max(most, residentKb(::getpid()));

    // Scrolling: the thumb dragged from top to bottom under the slot text
    // filter (ids every third: pages found from the nearest known one), then
    // unfiltered; then page after page from the top.
    const auto drag = [](QScrollBar& bar, int step) {
        return static_cast<int>(static_cast<long long>(bar.maximum()) * (step + 1) / 2000);
    };
    const Steps filtered = scroll(*window, drag, 2000);
    most = std::max(most, residentKb(::getpid()));
    window->setFilter({});
    paint(*window);
    const Steps dragged = scroll(*window, drag, 2000);
    most = std::max(most, residentKb(::getpid()));
    window->table().verticalScrollBar()->setValue(0);
    const Steps paged = scroll(
        *window, [](QScrollBar& bar, int) { return bar.value() + bar.pageStep(); }, 2000);
    most = std::max(most, residentKb(::getpid()));
    reportSteps("the thumb dragged top to bottom under a slot text filter", filtered);
    reportSteps("the thumb dragged top to bottom", dragged);
    reportSteps("page down from the top", paged);

    const double grownMiB = static_cast<double>(most - before) / 1024;
    report({"11. Records window, 1,000,000 records: the process grew by",
            fixed(grownMiB, 1) + " MiB (" + fixed(static_cast<double>(before) / 1024, 1) +
                " MiB before)",
            "< 50 MiB", grownMiB < 50});
    window.reset();
    return 0;
}
