#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "plant/PlantConfig.h"
#include "plant/PlantMachineState.h"
#include "plant/PlantStatus.h"
#include "plant/PlantTiming.h"
#include "plant/PlantWake.h"

// The plant link: publishes every journal record, and the machine's state, to
// the plant's MQTT broker, from a thread of its own. Name look-ups,
// connecting, TLS, sending and the journal's reads and writes all run there;
// every call below returns at once (stop() waits for the thread, at most about
// half a second plus a name look-up under way).
//
// The journal is the outbox: records wait there, not in memory, while the
// broker cannot be reached or the panel is not running, and go out oldest
// first when the link is back.
class PlantLink {
  public:
    // `statusChanged` runs on the link's thread whenever status() changes; it
    // must only signal (post an event to the window), never wait.
    PlantLink(std::string journalPath, std::function<void()> statusChanged,
              PlantTiming timing = {});
    ~PlantLink();  // stop()
    PlantLink(const PlantLink&) = delete;
    PlantLink& operator=(const PlantLink&) = delete;

    // Starts the link's thread with `config` (off when its host is empty).
    void start(const PlantConfig& config);
    // Applies `config` at once, without a restart. Any thread.
    void reconfigure(const PlantConfig& config);
    // Says the station is offline, disconnects and joins the thread.
    void stop();

    // The disk writer committed new journal rows. Any thread; never waits.
    void recordsCommitted();
    // The window's view of the machine; published retained when it changed, at
    // most twice a second. Never waits.
    void setMachineState(const PlantMachineState& state);

    // Any thread.
    PlantStatus status() const;
    // "plant: broker.local:8883 · connected · 0 waiting"; empty when off.
    std::string statusText() const;

  private:
    void run(PlantConfig config);
    void publishStatus(const PlantStatus& status);

    const std::string journalPath_;
    const std::function<void()> statusChanged_;
    const PlantTiming timing_;
    PlantWake wake_;

    mutable std::mutex mutex_;  // guards what follows
    std::optional<PlantConfig> newConfig_;
    bool stopping_ = false;
    bool recordsCommitted_ = false;
    PlantMachineState machineState_;
    bool machineStateChanged_ = false;
    PlantStatus status_;

    std::thread thread_;
};
