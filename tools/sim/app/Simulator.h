#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "Link.h"
#include "Machine.h"
#include "Options.h"
#include "Script.h"

// The event loop: one poll over the link and the signal descriptor, with a
// time-out that is the nearest deadline (counting, period, script, flood,
// gap between frames, end). Every frame goes through one bounded queue, so a
// panel that does not read holds the frames back instead of the loop spinning.
class Simulator {
  public:
    using Clock = std::chrono::steady_clock;

    Simulator(const sim::Options& options, Link& link, int signalFd,
              std::vector<sim::ScriptStep> script);

    // Runs until the end condition of the mode, --exit-after or a signal.
    // Returns the process's exit status.
    int run();

  private:
    struct Outgoing {
        std::string bytes;
        bool echo = false;   // print as "tx:" once written
        bool flood = false;  // counts toward "flood done"
        std::size_t written = 0;
    };

    void enqueue(std::string bytes, bool echo, bool flood = false);
    void sendMachineFrame(std::string frame, bool echo, bool flood = false);
    void report(const sim::Outcome& outcome);
    std::string recordNow(const sim::MachineState& state) const;

    void onCommand(const std::string& raw, Clock::time_point now);
    void tickCounting(Clock::time_point now);
    void tickPeriod(Clock::time_point now);
    void tickScript(Clock::time_point now);
    void tickFlood(Clock::time_point now);
    void drain(Clock::time_point now);
    bool finished() const;
    std::optional<Clock::time_point> nextWake() const;
    void finish();

    const sim::Options& options_;
    Link& link_;
    int signalFd_;
    sim::Machine machine_;
    Clock::duration gap_;

    std::deque<Outgoing> queue_;
    bool waitWritable_ = false;
    std::optional<Clock::time_point> blockedSince_;
    std::optional<Clock::time_point> lastSent_;
    std::uint64_t dropped_ = 0;
    int malformedNext_ = 0;

    std::optional<Clock::time_point> exitAt_;
    std::optional<Clock::time_point> nextPeriod_;

    Clock::time_point runStart_{};
    std::int64_t counted_ = 0;

    std::vector<sim::ScriptStep> script_;
    std::size_t scriptNext_ = 0;
    Clock::time_point scriptAt_{};
    std::uint64_t scriptSent_ = 0;

    Clock::time_point floodStart_{};
    std::int64_t floodQueued_ = 0;
    std::int64_t floodSent_ = 0;
};
