#include "plant/PlantLink.h"

#include <poll.h>

#include <utility>

#include "plant/PlantPublisher.h"

PlantLink::PlantLink(std::string journalPath, std::function<void()> statusChanged,
                     PlantTiming timing)
    : journalPath_(std::move(journalPath)),
      statusChanged_(std::move(statusChanged)),
      timing_(timing) {}

PlantLink::~PlantLink() {
    stop();
}

void PlantLink::start(const PlantConfig& config) {
    if (thread_.joinable()) {
        reconfigure(config);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
    }
    thread_ = std::thread([this, config] { run(config); });
}

void PlantLink::reconfigure(const PlantConfig& config) {
    {
        std::lock_guard lock(mutex_);
        newConfig_ = config;
    }
    wake_.signal();
}

void PlantLink::stop() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.signal();
    thread_.join();
}

void PlantLink::recordsCommitted() {
    {
        std::lock_guard lock(mutex_);
        if (recordsCommitted_) {
            return;  // the link has not taken the last one yet: it will see these too
        }
        recordsCommitted_ = true;
    }
    wake_.signal();
}

void PlantLink::setMachineState(const PlantMachineState& state) {
    {
        std::lock_guard lock(mutex_);
        if (state == machineState_) {
            return;
        }
        machineState_ = state;
        if (machineStateChanged_) {
            return;
        }
        machineStateChanged_ = true;
    }
    wake_.signal();
}

PlantStatus PlantLink::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

std::string PlantLink::statusText() const {
    return describePlantStatus(status());
}

void PlantLink::publishStatus(const PlantStatus& status) {
    {
        std::lock_guard lock(mutex_);
        status_ = status;
    }
    if (statusChanged_) {
        statusChanged_();
    }
}

void PlantLink::run(PlantConfig config) {
    PlantPublisher publisher(
        journalPath_, timing_, [this](const PlantStatus& status) { publishStatus(status); },
        [this] { recordsCommitted(); });
    publisher.configure(config);
    for (;;) {
        std::optional<PlantConfig> newConfig;
        std::optional<PlantMachineState> machineState;
        bool committed = false;
        {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                break;
            }
            newConfig.swap(newConfig_);
            committed = std::exchange(recordsCommitted_, false);
            if (std::exchange(machineStateChanged_, false)) {
                machineState = machineState_;
            }
        }
        if (newConfig) {
            publisher.configure(*newConfig);
        }
        if (committed) {
            publisher.recordsCommitted();
        }
        if (machineState) {
            publisher.machineState(*machineState);
        }
        publisher.work();

        pollfd entries[2] = {{wake_.fd(), POLLIN, 0}, {publisher.socket(), publisher.events(), 0}};
        const int ready = ::poll(entries, publisher.socket() >= 0 ? 2 : 1, publisher.timeoutMs());
        if (ready < 0) {
            continue;  // EINTR
        }
        if (entries[0].revents != 0) {
            wake_.drain();
        }
        publisher.service(entries[1].revents);
    }
    publisher.finish();
}
