// The plant link when things go wrong: the broker stops in the middle of a
// stream, misbehaves, or the panel is killed. No record is ever lost, and the
// caller never waits.
#include "plant/PlantLinkFixture.h"

#include <signal.h>

#include <atomic>
#include <thread>

#include "e2e/ChildProcess.h"
#include "support/MisbehavingBroker.h"

namespace {

using namespace std::chrono_literals;

TEST_F(PlantLinkTest, BrokerStoppedMidStreamEveryRecordArrivesInOrder) {
    TempDir brokerFolder;
    MosquittoBroker broker(brokerFolder.path());
    MqttSubscriber subscriber(broker.port(), "tolvane/+/record");
    PlantLink link(journalPath(), watch_.callback());
    link.start(configFor(broker.port()));

    // The disk writer's part: 10 records every 20 ms for 3 s, on a thread of
    // its own, while the broker goes away for a second and comes back.
    std::atomic<std::int64_t> lastId{0};
    std::thread writer([&] {
        std::unique_ptr<Journal> journal = Journal::open(journalPath(), nullptr);
        for (int batch = 0; batch < 150; ++batch) {
            std::vector<JournalRecord> records;
            for (int n = 0; n < 10; ++n) {
                records.push_back(numberedRecord(batch * 10 + n));
            }
            journal->append(records, nullptr);
            lastId = records.back().id;
            link.recordsCommitted();
            std::this_thread::sleep_for(20ms);
        }
    });
    std::this_thread::sleep_for(1s);
    broker.stop();
    EXPECT_TRUE(watch_.waitFor(
        link, [](const PlantStatus& s) { return s.phase == PlantPhase::Unreachable; }, 5s))
        << link.statusText();
    std::this_thread::sleep_for(1s);
    broker.start();
    writer.join();

    ASSERT_TRUE(subscriber.waitFor(
        [&](const auto& m) { return firstArrivals(recordIds(m)).size() == 1500; }, 30s))
        << missing(subscriber.messages(), lastId) << "; " << link.statusText() << "\n"
        << broker.log();
    EXPECT_EQ(firstArrivals(recordIds(subscriber.messages())), idsFrom(1, lastId));
    EXPECT_TRUE(watch_.waitFor(link, connectedWithNoneWaiting, 10s)) << link.statusText();
    EXPECT_EQ(journal_->unpublishedCount(), 0);
}

struct MannerRow {
    const char* name;
    MisbehavingBroker::Manner manner;
    const char* reason;  // what the status says
};

void PrintTo(const MannerRow& row, std::ostream* out) {
    *out << row.name;
}

class MisbehavingBrokers : public PlantLinkTest, public testing::WithParamInterface<MannerRow> {};

TEST_P(MisbehavingBrokers, NeverStallTheCallerNorLoseARecord) {
    MisbehavingBroker bad(GetParam().manner);
    const auto ids = append(300);
    PlantTiming quick;
    quick.connectLimit = 1s;
    quick.ackLimit = 1s;
    auto link = std::make_unique<PlantLink>(journalPath(), watch_.callback(), quick);
    link->start(configFor(bad.port()));
    ASSERT_TRUE(watch_.waitFor(
        *link,
        [](const PlantStatus& s) { return s.phase == PlantPhase::Unreachable && s.waiting >= 0; },
        10s))
        << link->statusText();
    EXPECT_EQ(link->statusText(), "plant: cannot reach 127.0.0.1:" + std::to_string(bad.port()) +
                                      " (" + GetParam().reason + ") · 300 waiting");

    // Meanwhile every call the window makes returns at once.
    const auto before = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) {
        link->recordsCommitted();
        PlantMachineState state;
        state.count = i;
        link->setMachineState(state);
        (void)link->statusText();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);

    // A broker that never acknowledges gets no more than the window at a time.
    std::this_thread::sleep_for(2500ms);
    for (const int publishes : bad.publishesPerConnection()) {
        EXPECT_LE(publishes, 101);  // the records in flight and the state message
    }
    EXPECT_EQ(journal_->unpublishedCount(), 300);

    // Then a good broker gets every one of them.
    TempDir brokerFolder;
    MosquittoBroker good(brokerFolder.path());
    MqttSubscriber subscriber(good.port(), "tolvane/+/record");
    link->reconfigure(configFor(good.port()));
    ASSERT_TRUE(subscriber.waitFor(
        [](const auto& m) { return firstArrivals(recordIds(m)).size() == 300; }, 20s));
    EXPECT_EQ(firstArrivals(recordIds(subscriber.messages())), ids);
    EXPECT_TRUE(watch_.waitFor(*link, connectedWithNoneWaiting, 10s)) << link->statusText();

    const auto stopping = std::chrono::steady_clock::now();
    link.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 2s);
}

INSTANTIATE_TEST_SUITE_P(
    PlantLink, MisbehavingBrokers,
    testing::Values(
        MannerRow{"Silent", MisbehavingBroker::Manner::Silent, "no answer in 1 s"},
        MannerRow{"Garbage", MisbehavingBroker::Manner::Garbage, "the broker's answer is not MQTT"},
        MannerRow{"Reset", MisbehavingBroker::Manner::Reset, "connection reset by peer"},
        MannerRow{"NoAcks", MisbehavingBroker::Manner::NoAcks, "no answer in 1 s"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlantLinkTest, WaitsGrowBetweenAttempts) {
    MisbehavingBroker bad(MisbehavingBroker::Manner::Reset);
    PlantLink link(journalPath(), watch_.callback());
    link.start(configFor(bad.port()));
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (bad.accepted().size() < 4 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    const auto attempts = bad.accepted();
    ASSERT_GE(attempts.size(), 4u);
    // 1 s, 2 s, 4 s, ... up to 30 s.
    for (std::size_t i = 1; i < 4; ++i) {
        const auto wait = attempts[i] - attempts[i - 1];
        const auto expected = std::chrono::seconds(1LL << (i - 1));
        EXPECT_GE(wait, expected - 100ms) << "wait " << i;
        EXPECT_LT(wait, expected + 900ms) << "wait " << i;
    }
}

// The link in a process of its own, to be killed.
class HeldLink {
  public:
    HeldLink(const std::string& journal, std::uint16_t port)
        : process_(SpawnOptions{
              {TOLVANE_PLANT_HOLDER_PATH, journal, "127.0.0.1", std::to_string(port), "line3-a"},
              {},
              {},
              {}}) {}
    bool waitForStatus(const std::string& part, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            output_ += process_.takeOutput();
            if (output_.find(part) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    void kill() {
        ::kill(process_.pid(), SIGKILL);
        process_.waitExit(5s);
    }
    const std::string& output() const { return output_; }

  private:
    ChildProcess process_;
    std::string output_;
};

TEST_F(PlantLinkTest, LastWillTellsAKilledStationIsOffline) {
    TempDir brokerFolder;
    MosquittoBroker broker(brokerFolder.path());
    MqttSubscriber dashboard(broker.port(), "tolvane/line3-a/state");
    HeldLink held(journalPath(), broker.port());
    ASSERT_TRUE(held.waitForStatus("connected", 10s)) << held.output();
    ASSERT_TRUE(dashboard.waitFor(
        [](const auto& m) {
            return !m.empty() && jsonOf(m.back().payload).value("online").toBool();
        },
        10s));
    held.kill();
    ASSERT_TRUE(dashboard.waitFor(
        [](const auto& m) { return m.back().payload == R"({"online":false})"; }, 10s));
    MqttSubscriber later(broker.port(), "tolvane/line3-a/state");
    ASSERT_TRUE(later.waitFor([](const auto& m) { return !m.empty(); }, 10s));
    EXPECT_TRUE(later.messages().front().retained);
    EXPECT_EQ(later.messages().front().payload, R"({"online":false})");
}

TEST_F(PlantLinkTest, RecordsWaitingWhenThePanelWasKilledArriveWhenItRunsAgain) {
    TempDir brokerFolder;
    MosquittoBroker broker(brokerFolder.path());
    MqttSubscriber subscriber(broker.port(), "tolvane/+/record");
    const auto first = append(20);
    {
        HeldLink held(journalPath(), broker.port());
        ASSERT_TRUE(subscriber.waitFor([](const auto& m) { return m.size() >= 20; }, 10s));
        broker.stop();
        ASSERT_TRUE(held.waitForStatus("cannot reach", 10s)) << held.output();
        append(30, 21);
        held.kill();
    }
    EXPECT_EQ(journal_->unpublishedCount(), 30);
    broker.start();
    HeldLink again(journalPath(), broker.port());
    ASSERT_TRUE(subscriber.waitFor(
        [](const auto& m) { return firstArrivals(recordIds(m)).size() == 50; }, 20s));
    EXPECT_EQ(firstArrivals(recordIds(subscriber.messages())), idsFrom(first.front(), 50));
    EXPECT_TRUE(again.waitForStatus("connected · 0 waiting", 10s)) << again.output();
    EXPECT_EQ(journal_->unpublishedCount(), 0);
}

}  // namespace
