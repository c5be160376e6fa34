#include "panel/Panel.h"

#include "inbound/RecordSaver.h"
#include "os/WakeEvent.h"

Panel::Panel(SettingsStore& store, DiskWriter& writer, PanelSetup setup)
    : store_(store),
      setup_(std::move(setup)),
      link_(LinkSetup{setup_.environment.udpPort, setup_.ports},
            LinkHandlers{[this](const std::string& chunk) { controller_->takeChunk(chunk); },
                         [this](const LinkStatus&) { controller_->showLinkStatus(); },
                         [this] { controller_->refreshPorts(); }}),
      recordWake_(std::make_unique<WakeEvent>()),
      recordNotifier_(std::make_unique<QSocketNotifier>(recordWake_->fd(), QSocketNotifier::Read)),
      records_(
          std::make_unique<RecordSaver>(writer, [wake = recordWake_.get()] { wake->signal(); })),
      clock_([this] {
          controller_->showClock();
          controller_->showLinkStatus();
      }) {
    if (!setup_.environment.serialPorts) {
        setup_.environment.serialPorts = [this] { return link_.serialPorts(); };
    }
    controller_ =
        std::make_unique<PanelController>(model_, store_, liveLink_, *records_, setup_.environment);
    QObject::connect(recordNotifier_.get(), &QSocketNotifier::activated, [this] {
        recordWake_->drain();
        if (const std::optional<RecordWriteResult> latest = records_->takeLatest()) {
            controller_->showRecordOutcome(*latest);
        }
    });
}

Panel::~Panel() {
    stop();
    records_->detach();
}

void Panel::start() {
    controller_->startUp([this] {
        if (setup_.startThreads) {
            clock_.start();
        }
    });
    if (setup_.startThreads) {
        link_.start();
        watchLink();
    }
    controller_->showLinkStatus();
}

// The link's threads queue what they receive, and its port watcher sees
// devices and port names come and go; its one event descriptor, watched by
// the event loop, has this thread take it all over.
void Panel::watchLink() {
    linkNotifier_ = std::make_unique<QSocketNotifier>(link_.eventFd(), QSocketNotifier::Read);
    QObject::connect(linkNotifier_.get(), &QSocketNotifier::activated, [this] {
        const auto before = link_.lastFrameAt();
        link_.pump();  // a changed status is shown by the link's handler
        // The line counts a frame's age in whole seconds, and the clock brings
        // it up to date every second. A frame changes what it shows only
        // after a second or more without one: under a flood the line is
        // not laid out again for every batch.
        const auto now = link_.lastFrameAt();
        if (now != before && (!before || *now - *before >= std::chrono::seconds(1))) {
            controller_->showLinkStatus();
        }
    });
}

void Panel::stop() {
    clock_.stop();
    link_.stop();
}
