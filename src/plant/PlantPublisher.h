#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plant/PlantConfig.h"
#include "plant/PlantMachineState.h"
#include "plant/PlantStatus.h"
#include "plant/PlantTiming.h"

class Journal;
class PlantSession;
class PublishedMarker;

// The plant link's work on its own thread: the journal as the outbox, one
// connection to the broker at a time, and the retained state. Records go out
// oldest first, QoS 1, at most kWindow unacknowledged at a time, read from the
// journal a page at a time: nothing waits in memory but those pages. A record
// counts as published once the broker acknowledged it and the journal holds
// that; a connection that ends, for whatever reason, starts the next one from
// the oldest record the journal still holds unpublished.
//
// Used by one thread only; PlantLink feeds it and polls for it.
class PlantPublisher {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kWindow = 100;  // records in flight
    static constexpr std::size_t kPage = 100;    // records read from the journal at once
    // Acknowledged records the journal has not stored as published yet (their
    // ids only); past this the link stops sending until it has.
    static constexpr std::size_t kMaxUnstored = 10'000;
    static constexpr auto kStateInterval = std::chrono::milliseconds(500);
    static constexpr auto kFirstRetry = std::chrono::seconds(1);
    static constexpr auto kLastRetry = std::chrono::seconds(30);
    // A connection that stayed up this long starts the waits from kFirstRetry again.
    static constexpr auto kSteadyConnection = std::chrono::seconds(10);

    using Report = std::function<void(const PlantStatus&)>;
    // `report` gets every new status; `stored` runs on another thread when
    // acknowledged records are stored as published, and must only make the
    // owner call recordsCommitted() soon.
    PlantPublisher(std::string journalPath, PlantTiming timing, Report report,
                   std::function<void()> stored);
    ~PlantPublisher();
    PlantPublisher(const PlantPublisher&) = delete;
    PlantPublisher& operator=(const PlantPublisher&) = delete;

    // A new configuration: the current connection says the station is offline
    // and closes, and the new one starts at once.
    void configure(const PlantConfig& config);
    void recordsCommitted();
    void machineState(const PlantMachineState& state);

    // Does what is due now: opens the journal, connects, publishes.
    void work();
    // What to poll: the broker's socket (-1: none) and its events.
    int socket() const;
    short events() const;
    void service(short revents);
    // Milliseconds until work() has something due; -1: nothing until an event.
    int timeoutMs() const;

    // Says the station is offline and closes the connection (at most 500 ms).
    void finish();

  private:
    struct InFlight {
        int mid;
        std::int64_t id;  // 0: the state message
        Clock::time_point sent;
    };

    void openJournal(Clock::time_point now);
    void connect(Clock::time_point now);
    // `closure` by value: it may be the session's own, which ends here.
    void connectionEnded(PlantStatus closure, Clock::time_point now);
    void closeConnection();
    void takeAcknowledged();
    void sendRecords(Clock::time_point now);
    void sendState(Clock::time_point now);
    void refreshWaiting(Clock::time_point now);
    void setStatus(PlantPhase phase, const std::string& reason);
    void report();

    std::string journalPath_;
    PlantTiming timing_;
    Report report_;
    PlantConfig config_;
    bool configured_ = false;
    std::string station_;
    std::string recordTopic_;
    std::string stateTopic_;

    std::unique_ptr<Journal> journal_;
    Clock::time_point journalRetryAt_{};
    std::unique_ptr<PlantSession> session_;
    bool announced_ = false;  // the state went out on this connection
    int failures_ = 0;        // connections in a row that failed or did not last
    Clock::time_point nextAttempt_{};

    std::deque<InFlight> inFlight_;
    std::int64_t lastSentId_ = 0;  // on this connection; 0: none yet
    bool journalMayHoldMore_ = true;
    Clock::time_point readRetryAt_{};  // a read of the journal failed: not before then
    std::unique_ptr<PublishedMarker> marker_;

    PlantMachineState machineState_;
    bool stateChanged_ = false;
    Clock::time_point lastStateSent_{};

    bool waitingChanged_ = true;
    Clock::time_point waitingRefreshAt_{};
    PlantStatus status_;
    PlantStatus reported_;
};
