#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include "plant/PlantConfig.h"
#include "plant/PlantStatus.h"
#include "plant/PlantWake.h"

// "Test connection": one attempt to reach and log in to the broker of a
// configuration, on a thread of its own, so that name look-ups and connecting
// never hold up the window. It publishes nothing and leaves no last will.
class PlantProbe {
  public:
    static constexpr std::chrono::seconds kTimeLimit{10};
    // Called once, on the probe's thread, with the outcome: phase Connected when
    // the broker accepted the log-in, else why not. Not called when the probe
    // is destroyed before it has an outcome.
    using Done = std::function<void(const PlantStatus& outcome)>;

    PlantProbe(const PlantConfig& config, Done done);
    ~PlantProbe();  // cancels and joins (a name look-up under way ends first)
    PlantProbe(const PlantProbe&) = delete;
    PlantProbe& operator=(const PlantProbe&) = delete;

  private:
    void run(PlantConfig config, Done done);

    PlantWake cancel_;
    std::thread thread_;  // last: starts once the members it uses exist
};
