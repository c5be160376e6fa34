// The plant link under load, against a real mosquitto on this computer:
//  - 1,000 records/s arriving for 10 s: a producer thread stamps each record
//    as it arrives, a writer thread appends what has queued up to the journal
//    in one transaction (synchronous=FULL, as the disk writer does) and tells
//    the link; a subscriber counts them and the time from arrival to delivery;
//  - 10,000 records waiting while the broker is away: the time from the
//    broker's start to the last one delivered, and from the link's reconnect;
//  - 10,000 records waiting in the journal when the panel starts.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include <QJsonDocument>
#include <QJsonObject>

#include "common/Figures.h"
#include "common/ScratchDir.h"
#include "journal/Journal.h"
#include "plant/PlantLink.h"
#include "support/MosquittoBroker.h"
#include "support/MqttSubscriber.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 1000;
constexpr int kSeconds = 10;
constexpr int kWaiting = 10'000;
constexpr double kTargetP99Ms = 50;
constexpr double kTargetCatchUpS = 10;

JournalRecord benchRecord(int sequence) {
    JournalRecord record;
    record.arrivedUtcMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    record.utcOffsetSeconds = 3600;
    record.machineTime = std::to_string(sequence);
    record.count = 2000 + sequence % 100;
    record.slots = {"R0402-10K", "", "LOT-2024-0506"};
    record.link = "NET 192.168.1.20:5000";
    record.file = "/home/operator/records/rec20240506140322.csv";
    record.written = true;
    return record;
}

int sequenceOf(const MqttMessage& message) {
    const auto json = QJsonDocument::fromJson(QByteArray::fromStdString(message.payload)).object();
    return json.value("machineTime").toString().toInt();
}

PlantConfig configFor(std::uint16_t port) {
    PlantConfig config;
    config.host = "127.0.0.1";
    config.port = port;
    config.station = "bench";
    return config;
}

// A status the link tells of, waited for on its callback.
class StatusWait {
  public:
    std::function<void()> callback() {
        return [this] {
            { std::lock_guard lock(mutex_); }
            changed_.notify_all();
        };
    }
    template <class Predicate>
    bool until(const PlantLink& link, Predicate done, std::chrono::seconds limit) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return done(link.status()); });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
};

void flood() {
    const ScratchDir folder;
    const std::string journalPath = (folder / "records.sqlite").string();
    MosquittoBroker broker(folder / "broker");
    MqttSubscriber subscriber(broker.port(), "tolvane/bench/record");
    StatusWait wait;
    PlantLink link(journalPath, wait.callback());
    link.start(configFor(broker.port()));
    wait.until(
        link, [](const PlantStatus& s) { return s.phase == PlantPhase::Connected; }, 10s);

    std::mutex mutex;
    std::condition_variable queued;
    std::deque<JournalRecord> queue;
    bool producing = true;
    std::vector<Clock::time_point> arrivals(kRate * kSeconds);
    std::vector<Clock::time_point> commits(kRate * kSeconds);
    std::size_t transactions = 0;

    std::thread writer([&] {
        auto journal = Journal::open(journalPath, nullptr);
        for (;;) {
            std::vector<JournalRecord> batch;
            {
                std::unique_lock lock(mutex);
                queued.wait(lock, [&] { return !queue.empty() || !producing; });
                if (queue.empty()) {
                    return;
                }
                batch.assign(queue.begin(), queue.end());
                queue.clear();
            }
            std::string error;
            if (!journal->append(batch, &error)) {
                std::fprintf(stderr, "append failed: %s\n", error.c_str());
            }
            ++transactions;
            const auto committed = Clock::now();
            for (const JournalRecord& record : batch) {
                commits[static_cast<std::size_t>(std::stoi(record.machineTime))] = committed;
            }
            link.recordsCommitted();
        }
    });
    const auto start = Clock::now();
    for (int sequence = 0; sequence < kRate * kSeconds; ++sequence) {
        std::this_thread::sleep_until(start + sequence * 1ms);
        arrivals[static_cast<std::size_t>(sequence)] = Clock::now();
        {
            std::lock_guard lock(mutex);
            queue.push_back(benchRecord(sequence));
        }
        queued.notify_one();
    }
    {
        std::lock_guard lock(mutex);
        producing = false;
    }
    queued.notify_one();
    writer.join();
    const double sendSeconds = std::chrono::duration<double>(Clock::now() - start).count();

    subscriber.waitFor([](const auto& m) { return m.size() >= kRate * kSeconds; }, 30s);
    const auto messages = subscriber.messages();
    const auto delivered = subscriber.arrivals();
    std::map<int, double> firstLatency;
    std::vector<double> toCommit;
    std::vector<double> fromCommit;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const int sequence = sequenceOf(messages[i]);
        if (sequence < 0 || sequence >= kRate * kSeconds || firstLatency.count(sequence) != 0) {
            continue;
        }
        const auto index = static_cast<std::size_t>(sequence);
        firstLatency[sequence] =
            std::chrono::duration<double, std::milli>(delivered[i] - arrivals[index]).count();
        toCommit.push_back(
            std::chrono::duration<double, std::milli>(commits[index] - arrivals[index]).count());
        fromCommit.push_back(
            std::chrono::duration<double, std::milli>(delivered[i] - commits[index]).count());
    }
    std::vector<double> latencies;
    for (const auto& [sequence, ms] : firstLatency) {
        latencies.push_back(ms);
    }
    const std::size_t all = static_cast<std::size_t>(kRate * kSeconds);
    std::fprintf(stderr,
                 "flood: %zu records in %.2f s, %zu journal transactions, %zu messages, %zu "
                 "distinct; latency p50 %.2f ms, p99 %.2f ms, max %.2f ms\n",
                 all, sendSeconds, transactions, messages.size(), firstLatency.size(),
                 median(latencies), percentile(latencies, 99), percentile(latencies, 100));
    std::fprintf(stderr,
                 "flood: arrival to commit p50 %.2f ms, p99 %.2f ms; commit to delivery p50 "
                 "%.2f ms, p99 %.2f ms\n",
                 median(toCommit), percentile(toCommit, 99), median(fromCommit),
                 percentile(fromCommit, 99));
    report({"9. Plant link: 1,000 records/s for 10 s, published",
            grouped(firstLatency.size()) + " of " + grouped(all), "all",
            firstLatency.size() == all});
    report({"9. Plant link: arrival to delivery to a subscriber on this computer",
            "p50 " + fixed(median(latencies), 2) + " ms, p99 " +
                fixed(percentile(latencies, 99), 2) + " ms, max " +
                fixed(percentile(latencies, 100), 2) + " ms",
            "< 50 ms at p99", percentile(latencies, 99) < kTargetP99Ms});
}

// Appends `count` records in transactions of 100, as a busy disk writer would.
void appendWaiting(const std::string& journalPath, int count) {
    auto journal = Journal::open(journalPath, nullptr);
    for (int first = 0; first < count; first += 100) {
        std::vector<JournalRecord> batch;
        for (int sequence = first; sequence < first + 100 && sequence < count; ++sequence) {
            batch.push_back(benchRecord(sequence));
        }
        journal->append(batch, nullptr);
    }
}

void brokerComesBack() {
    const ScratchDir folder;
    const std::string journalPath = (folder / "records.sqlite").string();
    MosquittoBroker broker(folder / "broker");
    MqttSubscriber subscriber(broker.port(), "tolvane/bench/record");
    StatusWait wait;
    PlantLink link(journalPath, wait.callback());
    link.start(configFor(broker.port()));
    wait.until(
        link, [](const PlantStatus& s) { return s.phase == PlantPhase::Connected; }, 10s);
    broker.stop();
    wait.until(
        link, [](const PlantStatus& s) { return s.phase == PlantPhase::Unreachable; }, 10s);
    appendWaiting(journalPath, kWaiting);
    link.recordsCommitted();
    wait.until(
        link, [](const PlantStatus& s) { return s.waiting == kWaiting; }, 10s);

    const auto back = Clock::now();
    broker.start();
    wait.until(
        link, [](const PlantStatus& s) { return s.phase == PlantPhase::Connected; }, 60s);
    const auto reconnected = Clock::now();
    const bool all = subscriber.waitFor([](const auto& m) { return m.size() >= kWaiting; }, 60s);
    const auto done = subscriber.arrivals().back();
    wait.until(
        link, [](const PlantStatus& s) { return s.waiting == 0; }, 30s);
    const double fromStart = std::chrono::duration<double>(done - back).count();
    const double fromConnect = std::chrono::duration<double>(done - reconnected).count();
    std::fprintf(stderr,
                 "broker back: %zu messages; last delivered %.2f s after the broker's start, "
                 "%.2f s after the link reconnected; %lld still waiting\n",
                 subscriber.count(), fromStart, fromConnect,
                 static_cast<long long>(link.status().waiting));
    report({"9. Plant link: 10,000 records waiting, broker back: last delivered after",
            fixed(fromStart, 2) + " s from the broker's start (" + fixed(fromConnect, 2) +
                " s from the reconnect)" + (all ? "" : ", NOT all delivered"),
            "< 10 s", all && fromStart < kTargetCatchUpS});
}

void panelStartsWithRecordsWaiting() {
    const ScratchDir folder;
    const std::string journalPath = (folder / "records.sqlite").string();
    MosquittoBroker broker(folder / "broker");
    MqttSubscriber subscriber(broker.port(), "tolvane/bench/record");
    appendWaiting(journalPath, kWaiting);
    StatusWait wait;
    const auto start = Clock::now();
    PlantLink link(journalPath, wait.callback());
    link.start(configFor(broker.port()));
    const bool all = subscriber.waitFor([](const auto& m) { return m.size() >= kWaiting; }, 60s);
    const double seconds =
        std::chrono::duration<double>(subscriber.arrivals().back() - start).count();
    std::fprintf(stderr, "start with waiting: %zu messages, last after %.2f s\n",
                 subscriber.count(), seconds);
    report({"9. Plant link: 10,000 records waiting when the panel starts: last delivered after",
            fixed(seconds, 2) + " s" + (all ? "" : ", NOT all delivered"), "< 10 s",
            all && seconds < kTargetCatchUpS});
}

}  // namespace

int main() {
    // The link's trace lines belong with the other trace lines, not in the table.
    const char* trace = std::getenv("TOLVANE_BENCH_TRACE");
    sendTraceTo(trace != nullptr ? trace : "/dev/null");
    flood();
    brokerComesBack();
    panelStartsWithRecordsWaiting();
    return 0;
}
