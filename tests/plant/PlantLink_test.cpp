// The plant link against a real broker and a real journal: every record
// published with its JSON and marked in the journal, oldest first; the
// retained state; a new configuration at once; the status line's words.
#include "plant/PlantLinkFixture.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;

class PlantLinkRecords : public PlantLinkTest {
  protected:
    TempDir brokerFolder_;
    MosquittoBroker broker_{brokerFolder_.path()};
};

TEST_F(PlantLinkRecords, EachRecordIsPublishedAsJsonAndMarkedPublished) {
    MqttSubscriber subscriber(broker_.port(), "tolvane/line3-a/record");
    std::vector<JournalRecord> records(3);
    records[0] = numberedRecord(1);
    records[0].count = -120;
    records[0].machineTime = "2024-05-06 14:03:22";
    records[0].slots = {"R0402 \"10k\"", "", "LOT\xB5"};
    records[1] = numberedRecord(2);
    records[1].written = false;
    records[1].failure = "No space left on device";
    records[1].link = "COM7";
    records[2] = numberedRecord(3);
    records[2].slots = {"", "", ""};
    std::string error;
    ASSERT_TRUE(journal_->append(records, &error)) << error;

    PlantLink link(journalPath(), watch_.callback());
    link.start(configFor(broker_.port()));
    link.recordsCommitted();
    ASSERT_TRUE(subscriber.waitFor([](const auto& m) { return m.size() >= 3; }, 10s));
    const auto messages = subscriber.messages();

    const QJsonObject first = jsonOf(messages[0].payload);
    EXPECT_FALSE(messages[0].retained);
    EXPECT_EQ(first.value("station").toString(), "line3-a");
    EXPECT_EQ(first.value("id").toInteger(), records[0].id);
    EXPECT_EQ(first.value("arrived").toString(), "2024-05-06T14:03:22.518+02:00");
    EXPECT_EQ(first.value("machineTime").toString(), "2024-05-06 14:03:22");
    EXPECT_EQ(first.value("count").toInteger(), -120);
    EXPECT_EQ(first.value("quantity").toInteger(), 120);
    const QJsonObject slots = first.value("slots").toObject();
    EXPECT_EQ(slots.keys(), (QStringList{"S0", "S2"}));
    EXPECT_EQ(slots.value("S0").toString(), "R0402 \"10k\"");
    EXPECT_EQ(slots.value("S2").toString(), QString::fromUtf8("LOT\xEF\xBF\xBD"));
    EXPECT_EQ(first.value("link").toString(), "NET 192.168.1.20:5000");
    EXPECT_EQ(first.value("file").toString(), "/records/rec20240506140322.csv");
    EXPECT_TRUE(first.value("written").toBool());
    EXPECT_FALSE(first.contains("failure"));

    const QJsonObject second = jsonOf(messages[1].payload);
    EXPECT_FALSE(second.value("written").toBool());
    EXPECT_EQ(second.value("failure").toString(), "No space left on device");
    EXPECT_EQ(second.value("link").toString(), "COM7");
    EXPECT_TRUE(jsonOf(messages[2].payload).value("slots").toObject().isEmpty());

    EXPECT_TRUE(watch_.waitFor(link, connectedWithNoneWaiting, 10s)) << link.statusText();
    EXPECT_EQ(journal_->unpublishedCount(), 0);
    EXPECT_EQ(link.statusText(),
              "plant: 127.0.0.1:" + std::to_string(broker_.port()) + " · connected · 0 waiting");
}

TEST_F(PlantLinkRecords, RecordsWaitingBeforeTheStartGoOutOldestFirst) {
    MqttSubscriber subscriber(broker_.port(), "tolvane/+/record");
    // More than the link holds in flight and reads at once.
    const auto ids = append(350);
    PlantLink link(journalPath(), watch_.callback());
    link.start(configFor(broker_.port()));
    ASSERT_TRUE(subscriber.waitFor([](const auto& m) { return m.size() >= 350; }, 20s));
    EXPECT_EQ(recordIds(subscriber.messages()), ids);
    EXPECT_TRUE(watch_.waitFor(link, connectedWithNoneWaiting, 10s)) << link.statusText();

    // Then each new commit goes out as it comes.
    const auto more = append(5, 351);
    link.recordsCommitted();
    ASSERT_TRUE(subscriber.waitFor([](const auto& m) { return m.size() >= 355; }, 10s));
    EXPECT_EQ(recordIds(subscriber.messages()), idsFrom(ids.front(), more.back()));
}

PlantMachineState machine(std::int32_t count) {
    PlantMachineState state;
    state.link = "NET 192.168.1.20:5000";
    state.framesArriving = true;
    state.known = true;
    state.count = count;
    state.function = 1;
    state.pitch = 8;
    state.speed = 2;
    state.s1 = 10;
    state.s2 = 20;
    state.s3 = 30;
    state.preset = -500;
    state.presetOn = true;
    return state;
}

TEST_F(PlantLinkRecords, StateIsRetainedFollowsChangesAtMostTwiceASecondAndEndsOffline) {
    const std::string topic = "tolvane/line3-a/state";
    auto link = std::make_unique<PlantLink>(journalPath(), watch_.callback());
    link->setMachineState(machine(1));
    link->start(configFor(broker_.port()));
    ASSERT_TRUE(watch_.waitFor(*link, connectedWithNoneWaiting, 10s)) << link->statusText();

    // A dashboard that comes later gets the state the broker kept (once the
    // broker has it: a first subscriber sees it pass).
    {
        MqttSubscriber first(broker_.port(), topic);
        ASSERT_TRUE(first.waitFor([](const auto& m) { return !m.empty(); }, 10s));
    }
    {
        MqttSubscriber late(broker_.port(), topic);
        ASSERT_TRUE(late.waitFor([](const auto& m) { return !m.empty(); }, 10s));
        const auto message = late.messages().front();
        EXPECT_TRUE(message.retained);
        const QJsonObject state = jsonOf(message.payload);
        EXPECT_TRUE(state.value("online").toBool());
        EXPECT_EQ(state.value("station").toString(), "line3-a");
        EXPECT_EQ(state.value("link").toString(), "NET 192.168.1.20:5000");
        EXPECT_TRUE(state.value("framesArriving").toBool());
        EXPECT_EQ(state.value("count").toInt(), 1);
        EXPECT_EQ(state.value("function").toInt(), 1);
        EXPECT_EQ(state.value("pitch").toInt(), 8);
        EXPECT_EQ(state.value("speed").toInt(), 2);
        EXPECT_EQ(state.value("s3").toInt(), 30);
        EXPECT_EQ(state.value("preset").toInt(), -500);
        EXPECT_TRUE(state.value("presetOn").toBool());
    }

    // Fifty changes within a second: the last one arrives, and no more than
    // two or three messages carry them.
    MqttSubscriber dashboard(broker_.port(), topic);
    ASSERT_TRUE(dashboard.waitFor([](const auto& m) { return !m.empty(); }, 10s));
    const auto start = std::chrono::steady_clock::now();
    for (int count = 2; count <= 51; ++count) {
        link->setMachineState(machine(count));
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(dashboard.waitFor(
        [](const auto& m) { return jsonOf(m.back().payload).value("count").toInt() == 51; }, 5s));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const auto messages = dashboard.messages();
    const auto halfSeconds = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed) / 500ms;
    EXPECT_LE(messages.size() - 1, static_cast<std::size_t>(halfSeconds + 1)) << messages.size();
    EXPECT_GE(messages.size(), 3u);

    // A station that closes says so.
    link.reset();
    ASSERT_TRUE(dashboard.waitFor(
        [](const auto& m) { return m.back().payload == R"({"online":false})"; }, 5s));
    MqttSubscriber afterwards(broker_.port(), topic);
    ASSERT_TRUE(afterwards.waitFor([](const auto& m) { return !m.empty(); }, 10s));
    EXPECT_EQ(afterwards.messages().front().payload, R"({"online":false})");
    EXPECT_TRUE(afterwards.messages().front().retained);
}

TEST_F(PlantLinkRecords, NewConfigurationTakesEffectAtOnce) {
    MqttSubscriber subscriber(broker_.port(), "#");
    PlantLink link(journalPath(), watch_.callback());
    link.start(PlantConfig{});
    append(2);
    link.recordsCommitted();
    ASSERT_TRUE(watch_.waitFor(
        link, [](const PlantStatus& s) { return s.phase == PlantPhase::Off; }, 5s));
    EXPECT_EQ(link.statusText(), "");
    EXPECT_EQ(subscriber.count(), 0u);

    link.reconfigure(configFor(broker_.port(), "line3-a"));
    ASSERT_TRUE(watch_.waitFor(link, connectedWithNoneWaiting, 10s)) << link.statusText();
    ASSERT_TRUE(subscriber.waitFor([](const auto& m) { return recordIds(m).size() == 2; }, 5s));

    PlantConfig renamed = configFor(broker_.port(), "line3-b");
    renamed.prefix = "plant7";
    link.reconfigure(renamed);
    ASSERT_TRUE(subscriber.waitFor(
        [](const auto& m) {
            bool oldOffline = false;
            bool newOnline = false;
            for (const MqttMessage& message : m) {
                oldOffline = oldOffline || (message.topic == "tolvane/line3-a/state" &&
                                            message.payload == R"({"online":false})");
                newOnline = newOnline || (message.topic == "plant7/line3-b/state" &&
                                          jsonOf(message.payload).value("online").toBool());
            }
            return oldOffline && newOnline;
        },
        10s));
    append(1, 3);
    link.recordsCommitted();
    ASSERT_TRUE(subscriber.waitFor(
        [](const auto& m) { return m.back().topic == "plant7/line3-b/record"; }, 5s));
    EXPECT_EQ(jsonOf(subscriber.messages().back().payload).value("station").toString(), "line3-b");
}

// Standard output, where trace lines go, caught in a file for a while.
class CapturedOutput {
  public:
    explicit CapturedOutput(const std::filesystem::path& file) : file_(file) {
        std::fflush(stdout);
        saved_ = ::dup(1);
        std::FILE* target = std::fopen(file.c_str(), "w");
        ::dup2(::fileno(target), 1);
        std::fclose(target);
    }
    ~CapturedOutput() { release(); }
    std::string release() {
        if (saved_ >= 0) {
            std::fflush(stdout);
            ::dup2(saved_, 1);
            ::close(saved_);
            saved_ = -1;
        }
        return readFile(file_);
    }

  private:
    std::filesystem::path file_;
    int saved_ = -1;
};

TEST_F(PlantLinkTest, StatusTellsWhyAndTheTraceNeverShowsThePassword) {
    TempDir brokerFolder;
    BrokerOptions options;
    options.users = {{"line3", "correct-horse-battery"}};
    MosquittoBroker broker(brokerFolder.path(), options);
    append(42);

    CapturedOutput trace(folder_ / "trace.txt");
    PlantLink link(journalPath(), watch_.callback());
    PlantConfig config = configFor(broker.port());
    config.user = "line3";
    config.password = "wrong-horse-battery";
    link.start(config);
    EXPECT_TRUE(watch_.waitFor(
        link, [](const PlantStatus& s) { return s.phase == PlantPhase::NotAuthorised; }, 10s));
    EXPECT_EQ(link.statusText(), "plant: not authorised");

    const std::uint16_t closed = freeTcpPort();
    PlantConfig nobody = config;
    nobody.port = closed;
    link.reconfigure(nobody);
    EXPECT_TRUE(watch_.waitFor(
        link,
        [](const PlantStatus& s) { return s.phase == PlantPhase::Unreachable && s.waiting == 42; },
        10s));
    EXPECT_EQ(link.statusText(), "plant: cannot reach 127.0.0.1:" + std::to_string(closed) +
                                     " (connection refused) · 42 waiting");

    config.password = "correct-horse-battery";
    link.reconfigure(config);
    EXPECT_TRUE(watch_.waitFor(link, connectedWithNoneWaiting, 10s)) << link.statusText();
    link.stop();
    const std::string lines = trace.release();
    EXPECT_NE(lines.find("plant: not authorised"), std::string::npos) << lines;
    EXPECT_EQ(lines.find("horse-battery"), std::string::npos) << lines;
}

TEST_F(PlantLinkTest, AJournalThatCannotBeOpenedIsTold) {
    TempDir brokerFolder;
    MosquittoBroker broker(brokerFolder.path());
    writeFile(folder_ / "not-a-folder", "");
    PlantLink link((folder_ / "not-a-folder" / "records.sqlite").string(), watch_.callback());
    link.start(configFor(broker.port()));
    ASSERT_TRUE(watch_.waitFor(
        link, [](const PlantStatus& s) { return s.phase == PlantPhase::NoJournal; }, 10s));
    EXPECT_EQ(link.statusText().rfind("plant: journal not available (", 0), 0u)
        << link.statusText();
}

}  // namespace
