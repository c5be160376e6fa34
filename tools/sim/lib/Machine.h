#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "Command.h"
#include "Frame.h"

namespace sim {

// What one command or one stretch of counting did to the machine.
struct Outcome {
    bool stateChanged = false;  // the nine state values differ from before
    bool record = false;        // a counting record is due; it carries the state too
    std::string note;           // one line for the operator
};

// The counting machine as the panel sees it: the nine state values, whether it
// is counting, its clock and the settings it only stores (label template, Wi-Fi
// data, record format). Commands with a payload it cannot use change nothing.
class Machine {
  public:
    const MachineState& state() const { return state_; }
    bool counting() const { return counting_; }

    Outcome apply(const Command& command, std::time_t now);

    // Adds up to `counts` counts while counting. Stops, with a record, on
    // reaching an enabled preset; stops at the largest count a frame can carry.
    Outcome advance(std::int64_t counts);

    // The machine's clock as "YYYY-MM-DD hh:mm:ss" (local time, no comma, so it
    // fits a record's time field): the host's clock moved by the offset that the
    // last valid "kavrin_time:" set.
    std::string clockText(std::time_t now) const;

    const std::string& wifi() const { return wifi_; }
    const std::string& label() const { return label_; }
    int recordFormat() const { return recordFormat_; }

  private:
    bool presetReached() const;
    Outcome applyKey(CommandKind kind);
    Outcome applySetting(const Command& command, std::time_t now);

    MachineState state_;
    bool counting_ = false;
    std::time_t clockOffset_ = 0;
    std::string wifi_;
    std::string label_;
    int recordFormat_ = 0;
};

}  // namespace sim
