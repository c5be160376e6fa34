#include "plant/PlantPublisher.h"

#include <poll.h>

#include <algorithm>
#include <optional>

#include "journal/Journal.h"
#include "plant/PlantSession.h"
#include "plant/PublishedMarker.h"
#include "plant/RecordPayload.h"
#include "plant/StatePayload.h"
#include "text/TraceSites.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kJournalRetry = 5s;
constexpr auto kWaitingRefresh = 250ms;
constexpr auto kReadRetry = 100ms;
constexpr auto kFarewellLimit = 500ms;

// "15 s", "1.5 s"
std::string seconds(std::chrono::milliseconds span) {
    const long long ms = span.count();
    std::string text = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        text += "." + std::to_string(ms % 1000 / 100);
    }
    return text + " s";
}

}  // namespace

PlantPublisher::PlantPublisher(std::string journalPath, PlantTiming timing, Report report,
                               std::function<void()> stored)
    : journalPath_(std::move(journalPath)),
      timing_(timing),
      report_(std::move(report)),
      marker_(std::make_unique<PublishedMarker>(journalPath_, std::move(stored))) {}

PlantPublisher::~PlantPublisher() = default;

void PlantPublisher::configure(const PlantConfig& config) {
    if (configured_ && config == config_) {
        return;
    }
    closeConnection();
    configured_ = true;
    config_ = config;
    station_ = stationName(config);
    recordTopic_ = recordTopic(config);
    stateTopic_ = stateTopic(config);
    failures_ = 0;
    nextAttempt_ = Clock::now();
    status_.endpoint = brokerEndpoint(config);
    status_.host = config.host;
    if (!plantLinkOn(config)) {
        journal_.reset();
        status_.waiting = -1;
        setStatus(PlantPhase::Off, {});
        return;
    }
    waitingChanged_ = true;
    setStatus(PlantPhase::Connecting, {});
}

void PlantPublisher::recordsCommitted() {
    journalMayHoldMore_ = true;
    waitingChanged_ = true;
}

void PlantPublisher::machineState(const PlantMachineState& state) {
    if (state != machineState_) {
        machineState_ = state;
        stateChanged_ = true;
    }
}

void PlantPublisher::work() {
    if (!plantLinkOn(config_)) {
        return;
    }
    const auto now = Clock::now();
    if (!journal_) {
        if (now < journalRetryAt_) {
            return;
        }
        openJournal(now);
        if (!journal_) {
            return;
        }
    }
    if (!session_ && now >= nextAttempt_) {
        connect(now);
    }
    if (session_ && !session_->closed()) {
        if (session_->accepted()) {
            takeAcknowledged();
            if (!inFlight_.empty() && now - inFlight_.front().sent >= timing_.ackLimit) {
                session_->abandon("no answer in " + seconds(timing_.ackLimit));
            } else {
                if (!announced_) {
                    announced_ = true;
                    stateChanged_ = true;
                    lastStateSent_ = {};
                    setStatus(PlantPhase::Connected, {});
                }
                sendState(now);
                sendRecords(now);
            }
        } else if (now - session_->openedAt() >= timing_.connectLimit) {
            session_->abandon("no answer in " + seconds(timing_.connectLimit));
        }
    }
    if (session_ && session_->closed()) {
        connectionEnded(session_->closure(), now);
    }
    refreshWaiting(now);
}

int PlantPublisher::socket() const {
    return session_ ? session_->socket() : -1;
}

short PlantPublisher::events() const {
    return static_cast<short>(POLLIN | (session_ && session_->wantsWrite() ? POLLOUT : 0));
}

void PlantPublisher::service(short revents) {
    if (!session_) {
        return;
    }
    if (revents != 0) {
        session_->service(revents);
    } else if (Clock::now() >= session_->keepAliveDue()) {
        session_->keepAlive();
    }
}

int PlantPublisher::timeoutMs() const {
    if (!plantLinkOn(config_)) {
        return -1;
    }
    std::optional<Clock::time_point> due;
    const auto consider = [&](Clock::time_point at) {
        if (!due || at < *due) {
            due = at;
        }
    };
    if (!journal_) {
        consider(journalRetryAt_);
    } else if (!session_) {
        consider(nextAttempt_);
    } else {
        consider(session_->keepAliveDue());
        if (!session_->accepted()) {
            consider(session_->openedAt() + timing_.connectLimit);
        } else {
            if (stateChanged_) {
                consider(lastStateSent_ + kStateInterval);
            }
            if (!inFlight_.empty()) {
                consider(inFlight_.front().sent + timing_.ackLimit);
            }
            if (journalMayHoldMore_ && readRetryAt_ > Clock::now()) {
                consider(readRetryAt_);
            }
        }
    }
    if (journal_ && waitingChanged_) {
        consider(waitingRefreshAt_);
    }
    if (!due) {
        return -1;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - Clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 60'000));
}

void PlantPublisher::finish() {
    closeConnection();
}

void PlantPublisher::openJournal(Clock::time_point now) {
    std::string error;
    journal_ = Journal::open(journalPath_, JournalAccess::Write, &error);
    if (!journal_) {
        journalRetryAt_ = now + kJournalRetry;
        setStatus(PlantPhase::NoJournal, error);
        return;
    }
    waitingChanged_ = true;
    journalMayHoldMore_ = true;
    if (status_.phase == PlantPhase::NoJournal) {
        setStatus(session_ && session_->accepted() ? PlantPhase::Connected : PlantPhase::Connecting,
                  {});
    }
}

void PlantPublisher::connect(Clock::time_point now) {
    // The status keeps the last failure while the link tries again.
    PlantStatus failure;
    session_ = PlantSession::open(config_, "link", stateTopic_, &failure);
    if (!session_) {
        connectionEnded(failure, now);
        return;
    }
    inFlight_.clear();
    lastSentId_ = 0;
    announced_ = false;
    journalMayHoldMore_ = true;
}

void PlantPublisher::connectionEnded(PlantStatus closure, Clock::time_point now) {
    const bool lasted =
        session_ && session_->accepted() && now - session_->acceptedAt() >= kSteadyConnection;
    failures_ = lasted ? 1 : failures_ + 1;
    const auto wait = std::min<std::chrono::seconds>(
        kLastRetry, kFirstRetry * (1LL << std::min(failures_ - 1, 5)));
    nextAttempt_ = now + wait;
    if (session_) {
        takeAcknowledged();
        session_.reset();
    }
    inFlight_.clear();
    waitingChanged_ = true;
    setStatus(closure.phase, closure.reason);
}

void PlantPublisher::closeConnection() {
    if (session_) {
        session_->closeWith(stateTopic_, std::string(kOfflinePayload), kFarewellLimit);
        takeAcknowledged();
        session_.reset();
    }
    inFlight_.clear();
}

void PlantPublisher::takeAcknowledged() {
    std::vector<std::int64_t> acknowledged;
    for (const int mid : session_->takeAcknowledged()) {
        const auto found = std::find_if(inFlight_.begin(), inFlight_.end(),
                                        [mid](const InFlight& entry) { return entry.mid == mid; });
        if (found == inFlight_.end()) {
            continue;
        }
        if (found->id != 0) {
            acknowledged.push_back(found->id);
        }
        inFlight_.erase(found);
    }
    marker_->hand(acknowledged);
}

void PlantPublisher::sendRecords(Clock::time_point now) {
    while (journalMayHoldMore_ && now >= readRetryAt_ && session_ && !session_->closed() &&
           inFlight_.size() < kWindow && marker_->pending() < kMaxUnstored) {
        const std::size_t wanted = std::min(kWindow - inFlight_.size(), kPage);
        // A new connection starts from the oldest record not yet published;
        // then it goes on by id, whatever the journal has stored as published
        // meanwhile, never again from the oldest unpublished one.
        std::optional<std::vector<JournalRecord>> records =
            lastSentId_ == 0 ? journal_->unpublished(wanted)
                             : journal_->recordsAfter(lastSentId_, wanted);
        if (journal_->damaged()) {
            // The disk writer keeps a damaged journal aside; this connection
            // opens the new one later.
            journal_.reset();
            journalRetryAt_ = now + kJournalRetry;
            setStatus(PlantPhase::NoJournal, "the journal is damaged");
            return;
        }
        if (!records) {
            // Busy or failing for a moment: the same read again shortly.
            readRetryAt_ = now + kReadRetry;
            return;
        }
        journalMayHoldMore_ = records->size() == wanted;
        for (const JournalRecord& record : *records) {
            if (!record.published) {  // else another panel on the same journal published it
                const int mid =
                    session_->publish(recordTopic_, recordPayload(record, station_), false);
                if (mid < 0) {
                    return;
                }
                inFlight_.push_back({mid, record.id, now});
            }
            lastSentId_ = record.id;
        }
    }
}

void PlantPublisher::sendState(Clock::time_point now) {
    if (!stateChanged_ || now < lastStateSent_ + kStateInterval) {
        return;
    }
    const int mid = session_->publish(stateTopic_, statePayload(machineState_, station_), true);
    if (mid < 0) {
        return;
    }
    inFlight_.push_back({mid, 0, now});
    lastStateSent_ = now;
    stateChanged_ = false;
}

void PlantPublisher::refreshWaiting(Clock::time_point now) {
    if (!journal_ || !waitingChanged_ || now < waitingRefreshAt_) {
        return;
    }
    waitingChanged_ = false;
    waitingRefreshAt_ = now + kWaitingRefresh;
    status_.waiting = journal_->unpublishedCount();
    report();
}

void PlantPublisher::setStatus(PlantPhase phase, const std::string& reason) {
    const bool changed = phase != status_.phase || reason != status_.reason;
    status_.phase = phase;
    status_.reason = reason;
    if (changed) {
        // The count changes with every record; the trace gets the state alone.
        PlantStatus traced = status_;
        traced.waiting = -1;
        trace<sites::plantStatus>(phase == PlantPhase::Off ? "plant: off"
                                                           : describePlantStatus(traced).c_str());
    }
    report();
}

void PlantPublisher::report() {
    if (status_ != reported_) {
        reported_ = status_;
        report_(status_);
    }
}
