#include "Simulator.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "Command.h"
#include "Escape.h"
#include "Frame.h"

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kQueueLimit = 256;  // frames beyond this are dropped
constexpr std::size_t kFillLimit = 64;    // script and flood wait below this
constexpr auto kStallTimeout = 2s;        // then a serial line drops what nobody read

// One line on stdout, flushed at once so that a test reading the pipe sees it.
void say(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void warn(const std::string& line) {
    std::fprintf(stderr, "tolvane-sim: %s\n", line.c_str());
}

// Time from a start at which event number `index` (from 0) is due, at `perSecond`
// events per second, rounded up to the nanosecond so a wake-up is never early.
Simulator::Clock::duration dueAfter(std::int64_t index, std::int64_t perSecond) {
    const __int128 ns = (static_cast<__int128>(index) * 1000000000 + perSecond - 1) / perSecond;
    return std::chrono::duration_cast<Simulator::Clock::duration>(
        std::chrono::nanoseconds(static_cast<std::int64_t>(ns)));
}

std::int64_t eventsSince(Simulator::Clock::duration elapsed, std::int64_t perSecond) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
    return static_cast<std::int64_t>(static_cast<__int128>(ns) * perSecond / 1000000000);
}

}  // namespace

Simulator::Simulator(const sim::Options& options, Link& link, int signalFd,
                     std::vector<sim::ScriptStep> script)
    : options_(options),
      link_(link),
      signalFd_(signalFd),
      gap_(std::chrono::milliseconds(
          options.gapMs.value_or(options.link == sim::LinkKind::Serial ? 20 : 0))),
      script_(std::move(script)) {}

int Simulator::run() {
    const auto start = Clock::now();
    say(link_.describe());
    if (options_.exitAfterMs) {
        exitAt_ = start + std::chrono::milliseconds(*options_.exitAfterMs);
    }
    switch (options_.mode) {
        case sim::Mode::Machine:
            if (options_.periodMs > 0) {
                nextPeriod_ = start + std::chrono::milliseconds(options_.periodMs);
            }
            sendMachineFrame(sim::stateFrame(machine_.state()), true);
            break;
        case sim::Mode::Once:
            sendMachineFrame(sim::stateFrame(machine_.state()), true);
            break;
        case sim::Mode::Script:
            scriptAt_ = start;
            break;
        case sim::Mode::Flood:
            floodStart_ = start;
            break;
    }

    int status = 0;
    for (;;) {
        auto now = Clock::now();
        if (exitAt_ && now >= *exitAt_) {
            break;
        }
        tickCounting(now);
        tickPeriod(now);
        tickScript(now);
        tickFlood(now);
        drain(now);
        if (finished()) {
            break;
        }

        pollfd fds[2] = {
            {link_.fd(), static_cast<short>(POLLIN | (waitWritable_ ? POLLOUT : 0)), 0},
            {signalFd_, POLLIN, 0},
        };
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (const auto wake = nextWake()) {
            const auto left = std::max(*wake - Clock::now(), Clock::duration::zero());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
            timeout.tv_nsec = static_cast<long>(ns % 1000000000);
            timeoutPtr = &timeout;
        }
        if (ppoll(fds, 2, timeoutPtr, nullptr) < 0) {
            if (errno == EINTR) {
                continue;
            }
            warn(std::string("poll failed: ") + std::strerror(errno));
            status = 1;
            break;
        }
        if (fds[1].revents & POLLIN) {
            signalfd_siginfo info{};
            [[maybe_unused]] const ssize_t n = read(signalFd_, &info, sizeof info);
            break;
        }
        const short events = fds[0].revents;
        if (events & POLLOUT) {
            waitWritable_ = false;
        }
        if (events & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) {
            std::vector<std::string> commands;
            const bool ok = link_.receive(commands);
            now = Clock::now();
            for (const auto& command : commands) {
                onCommand(command, now);
            }
            // A hang-up without data would wake the loop for ever: end instead.
            if (!ok || (events & POLLNVAL) || ((events & POLLHUP) && commands.empty())) {
                warn(std::string("the link failed: ") + (ok ? "hang-up" : std::strerror(errno)));
                status = 1;
                break;
            }
        }
    }
    finish();
    return status;
}

void Simulator::enqueue(std::string bytes, bool echo, bool flood) {
    if (queue_.size() >= kQueueLimit) {
        ++dropped_;
        return;
    }
    queue_.push_back({std::move(bytes), echo, flood, 0});
}

void Simulator::sendMachineFrame(std::string frame, bool echo, bool flood) {
    enqueue(std::move(frame), echo, flood);
    if (options_.malformed) {
        const auto kind = static_cast<sim::Malformed>(malformedNext_);
        malformedNext_ = (malformedNext_ + 1) % sim::kMalformedKinds;
        enqueue(sim::malformedFrame(kind, machine_.state()), echo);
    }
}

std::string Simulator::recordNow(const sim::MachineState& state) const {
    return sim::recordFrame(state, machine_.clockText(std::time(nullptr)), options_.slots);
}

void Simulator::report(const sim::Outcome& outcome) {
    if (!outcome.note.empty()) {
        say("model: " + outcome.note);
    }
    if (options_.mode != sim::Mode::Machine) {
        return;
    }
    // A record carries the state values as well, so it stands for the state frame.
    if (outcome.record) {
        sendMachineFrame(recordNow(machine_.state()), true);
    } else if (outcome.stateChanged) {
        sendMachineFrame(sim::stateFrame(machine_.state()), true);
    }
}

void Simulator::onCommand(const std::string& raw, Clock::time_point now) {
    say(sim::commandLine(raw));
    // The machine reads a command as a C string: it ends at the first NUL.
    const std::string_view text(raw.c_str());
    const bool wasCounting = machine_.counting();
    const sim::Outcome outcome = machine_.apply(sim::parseCommand(text), std::time(nullptr));
    if (!wasCounting && machine_.counting()) {
        runStart_ = now;
        counted_ = 0;
    }
    report(outcome);
}

void Simulator::tickCounting(Clock::time_point now) {
    if (!machine_.counting()) {
        return;
    }
    const std::int64_t target = eventsSince(now - runStart_, options_.rate);
    if (target > counted_) {
        const sim::Outcome outcome = machine_.advance(target - counted_);
        counted_ = target;
        report(outcome);
    }
}

void Simulator::tickPeriod(Clock::time_point now) {
    if (!nextPeriod_ || now < *nextPeriod_) {
        return;
    }
    sendMachineFrame(sim::stateFrame(machine_.state()), false);
    const auto period = std::chrono::milliseconds(options_.periodMs);
    *nextPeriod_ += period;
    if (*nextPeriod_ <= now) {
        *nextPeriod_ = now + period;
    }
}

void Simulator::tickScript(Clock::time_point now) {
    while (scriptNext_ < script_.size() && now >= scriptAt_ && queue_.size() < kFillLimit) {
        const sim::ScriptStep& step = script_[scriptNext_];
        if (step.sleep) {
            // A pause counts from the moment the previous line has left.
            if (!queue_.empty()) {
                return;
            }
            scriptAt_ = now + std::chrono::milliseconds(step.sleepMs);
        } else {
            enqueue(step.bytes, true);
            ++scriptSent_;
        }
        ++scriptNext_;
    }
}

void Simulator::tickFlood(Clock::time_point now) {
    while (floodQueued_ < options_.floodCount && queue_.size() < kFillLimit &&
           now >= floodStart_ + dueAfter(floodQueued_, options_.floodRate)) {
        ++floodQueued_;
        sim::MachineState state = machine_.state();
        state.data = static_cast<std::int32_t>(floodQueued_);
        sendMachineFrame(floodQueued_ % 100 == 0 ? recordNow(state) : sim::stateFrame(state), false,
                         true);
    }
}

void Simulator::drain(Clock::time_point now) {
    if (waitWritable_) {
        if (!blockedSince_ || now - *blockedSince_ < kStallTimeout) {
            return;
        }
        warn("the panel has read nothing for 2 s, unread bytes on the line discarded");
        link_.discardUnread();
        waitWritable_ = false;
        blockedSince_ = now;
    }
    while (!queue_.empty()) {
        if (lastSent_ && now < *lastSent_ + gap_) {
            return;
        }
        Outgoing& head = queue_.front();
        const ssize_t n = link_.send(std::string_view(head.bytes).substr(head.written));
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            waitWritable_ = true;
            if (!blockedSince_) {
                blockedSince_ = now;
            }
            return;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            warn(std::string("send failed, frame dropped: ") + std::strerror(errno));
            ++dropped_;
            queue_.pop_front();
            continue;
        }
        blockedSince_.reset();
        head.written += static_cast<std::size_t>(n);
        if (head.written < head.bytes.size()) {
            waitWritable_ = true;
            blockedSince_ = now;
            return;
        }
        if (head.echo) {
            say("tx: " + sim::escapeBytes(head.bytes));
        }
        if (head.flood) {
            ++floodSent_;
        }
        lastSent_ = now;
        queue_.pop_front();
    }
}

bool Simulator::finished() const {
    switch (options_.mode) {
        case sim::Mode::Script:
            return scriptNext_ == script_.size() && queue_.empty();
        case sim::Mode::Flood:
            return floodQueued_ == options_.floodCount && queue_.empty();
        default:
            return false;
    }
}

std::optional<Simulator::Clock::time_point> Simulator::nextWake() const {
    std::optional<Clock::time_point> wake;
    const auto consider = [&wake](Clock::time_point t) {
        if (!wake || t < *wake) {
            wake = t;
        }
    };
    if (exitAt_) {
        consider(*exitAt_);
    }
    if (machine_.counting()) {
        consider(runStart_ + dueAfter(counted_ + 1, options_.rate));
    }
    if (nextPeriod_) {
        consider(*nextPeriod_);
    }
    const bool room = queue_.size() < kFillLimit;
    if (scriptNext_ < script_.size() && room && !(script_[scriptNext_].sleep && !queue_.empty())) {
        consider(scriptAt_);
    }
    if (floodQueued_ < options_.floodCount && room) {
        consider(floodStart_ + dueAfter(floodQueued_, options_.floodRate));
    }
    if (!queue_.empty()) {
        if (waitWritable_ && blockedSince_) {
            consider(*blockedSince_ + kStallTimeout);
        } else if (!waitWritable_ && lastSent_) {
            consider(*lastSent_ + gap_);
        }
    }
    return wake;
}

void Simulator::finish() {
    if (const std::string rest = link_.takeIncomplete(); !rest.empty()) {
        say(sim::commandLine(rest));
    }
    if (options_.mode == sim::Mode::Script && finished()) {
        say("script done " + std::to_string(scriptSent_));
    }
    if (options_.mode == sim::Mode::Flood && finished()) {
        say("flood done " + std::to_string(floodSent_));
    }
    if (dropped_ > 0) {
        warn(std::to_string(dropped_) + " frames dropped");
    }
}
