#pragma once

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "journal/Journal.h"
#include "plant/PlantLink.h"
#include "support/MosquittoBroker.h"
#include "support/MqttSubscriber.h"
#include "support/TempDir.h"

// What the plant link tests share: a journal file of their own with a writer
// connection (the disk writer's part), a broker, and ways to wait for the link.

inline JournalRecord numberedRecord(int n) {
    JournalRecord record;
    record.arrivedUtcMs = 1714997002517 + n;
    record.utcOffsetSeconds = 7200;
    record.machineTime = "seq " + std::to_string(n);
    record.count = n;
    record.slots = {"R" + std::to_string(n), "", ""};
    record.link = "NET 192.168.1.20:5000";
    record.file = "/records/rec20240506140322.csv";
    record.written = true;
    return record;
}

inline QJsonObject jsonOf(const std::string& payload) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(payload)).object();
}

// The journal ids of the record messages, in the order they arrived.
inline std::vector<std::int64_t> recordIds(const std::vector<MqttMessage>& messages) {
    std::vector<std::int64_t> ids;
    for (const MqttMessage& message : messages) {
        if (message.topic.ends_with("/record")) {
            ids.push_back(jsonOf(message.payload).value("id").toInteger());
        }
    }
    return ids;
}

// Each id once, in the order of its first arrival.
inline std::vector<std::int64_t> firstArrivals(const std::vector<std::int64_t>& ids) {
    std::vector<std::int64_t> first;
    std::vector<std::int64_t> seen;
    for (const std::int64_t id : ids) {
        if (std::find(seen.begin(), seen.end(), id) == seen.end()) {
            seen.push_back(id);
            first.push_back(id);
        }
    }
    return first;
}

inline std::vector<std::int64_t> idsFrom(std::int64_t first, std::int64_t last) {
    std::vector<std::int64_t> ids;
    for (std::int64_t id = first; id <= last; ++id) {
        ids.push_back(id);
    }
    return ids;
}

// The link's status as the window would follow it: told by the callback,
// read with status().
class StatusWatch {
  public:
    std::function<void()> callback() {
        return [this] {
            {
                std::lock_guard lock(mutex_);
                ++changes_;
            }
            changed_.notify_all();
        };
    }
    template <class Predicate>
    bool waitFor(const PlantLink& link, Predicate done, std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return done(link.status()); });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int changes_ = 0;
};

inline bool connectedWithNoneWaiting(const PlantStatus& status) {
    return status.phase == PlantPhase::Connected && status.waiting == 0;
}

class PlantLinkTest : public testing::Test {
  protected:
    PlantLinkTest() {
        std::string error;
        journal_ = Journal::open(journalPath(), &error);
        EXPECT_TRUE(journal_) << error;
    }

    std::string journalPath() const { return (folder_ / "records.sqlite").string(); }

    PlantConfig configFor(std::uint16_t port, const std::string& station = "line3-a") const {
        PlantConfig config;
        config.host = "127.0.0.1";
        config.port = port;
        config.station = station;
        return config;
    }

    // Appends `count` numbered records in one transaction, as the disk writer
    // does; returns their ids.
    std::vector<std::int64_t> append(int count, int from = 1) {
        std::vector<JournalRecord> records;
        for (int n = from; n < from + count; ++n) {
            records.push_back(numberedRecord(n));
        }
        std::string error;
        EXPECT_TRUE(journal_->append(records, &error)) << error;
        std::vector<std::int64_t> ids;
        for (const JournalRecord& record : records) {
            ids.push_back(record.id);
        }
        return ids;
    }

    // For a test that misses records: which ones, and whether the broker had
    // acknowledged them (the journal holds them as published).
    std::string missing(const std::vector<MqttMessage>& messages, std::int64_t lastId) {
        const std::vector<std::int64_t> arrived = firstArrivals(recordIds(messages));
        std::vector<std::int64_t> lost;
        for (const std::int64_t id : idsFrom(1, lastId)) {
            if (std::find(arrived.begin(), arrived.end(), id) == arrived.end()) {
                lost.push_back(id);
            }
        }
        std::string text =
            std::to_string(arrived.size()) + " of " + std::to_string(lastId) + " arrived; missing:";
        for (const JournalRecord& record : journal_->records(lost)) {
            text += " " + std::to_string(record.id) + (record.published ? " (acknowledged)" : "");
        }
        return text;
    }

    TempDir folder_;
    std::unique_ptr<Journal> journal_;
    StatusWatch watch_;
};
