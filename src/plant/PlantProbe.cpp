#include "plant/PlantProbe.h"

#include <poll.h>

#include "plant/PlantSession.h"

PlantProbe::PlantProbe(const PlantConfig& config, Done done)
    : thread_([this, config, done = std::move(done)] { run(config, done); }) {}

PlantProbe::~PlantProbe() {
    cancel_.signal();
    thread_.join();
}

void PlantProbe::run(PlantConfig config, Done done) {
    PlantStatus outcome;
    auto session = PlantSession::open(config, "test", {}, &outcome);
    const auto deadline = PlantSession::Clock::now() + kTimeLimit;
    while (session && !session->closed() && !session->accepted()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - PlantSession::Clock::now());
        if (left.count() <= 0) {
            session->abandon("no answer in " + std::to_string(kTimeLimit.count()) + " s");
            break;
        }
        pollfd entries[2] = {
            {cancel_.fd(), POLLIN, 0},
            {session->socket(), static_cast<short>(POLLIN | (session->wantsWrite() ? POLLOUT : 0)),
             0}};
        if (::poll(entries, 2, static_cast<int>(left.count())) < 0) {
            continue;
        }
        if (entries[0].revents != 0) {
            return;  // cancelled: nobody waits for the outcome
        }
        session->service(entries[1].revents);
    }
    if (session) {
        if (session->accepted()) {
            outcome = session->closure();
            outcome.phase = PlantPhase::Connected;
            outcome.reason.clear();
            session->closeWith({}, {}, std::chrono::milliseconds(500));
        } else {
            outcome = session->closure();
        }
    }
    done(outcome);
}
