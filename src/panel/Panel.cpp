#include "panel/Panel.h"

#include "inbound/RecordSaver.h"
#include "panel/PlantSettingsAccess.h"
#include "plant/PlantLink.h"
#include "settings/SettingsStore.h"

Panel::Panel(SettingsStore& store, DiskWriter& writer, PanelSetup setup)
    : store_(store),
      setup_(std::move(setup)),
      link_(LinkSetup{setup_.environment.udpPort, setup_.ports},
            LinkHandlers{[this](const std::string& chunk) { controller_->takeChunk(chunk); },
                         [this](const LinkStatus&) { controller_->showLinkStatus(); },
                         [this] { controller_->refreshPorts(); }}),
      recordWake_([this] {
          controller_->takeRecordOutcomes();
          if (plant_) {
              plant_->recordsCommitted();
          }
      }),
      records_(std::make_unique<RecordSaver>(writer, recordWake_.signaller(), setup_.journalPath)),
      keepingWake_([this] { controller_->showSettingsKeeping(); }),
      clock_([this] {
          controller_->showClock();
          controller_->showLinkStatus();
      }) {
    if (!setup_.environment.serialPorts) {
        setup_.environment.serialPorts = [this] { return link_.serialPorts(); };
    }
    controller_ =
        std::make_unique<PanelController>(model_, store_, liveLink_, *records_, setup_.environment);
    store_.setKeepingChanged(keepingWake_.signaller());
}

Panel::~Panel() {
    stop();
    plant_.reset();
    store_.setKeepingChanged({});
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
    if (setup_.startThreads && !setup_.journalPath.empty()) {
        watchPlant();
    }
}

// The plant link empties the journal and follows the machine's state.
void Panel::watchPlant() {
    plantWake_ = std::make_unique<ThreadWake>(
        [this] { controller_->showPlantStatus(plant_->statusText()); });
    plant_ = std::make_unique<PlantLink>(setup_.journalPath, plantWake_->signaller());
    model_.listen([this](const ValueId& value, Origin origin) {
        if (origin == Origin::Machine || value == ValueId{OtherValue::LinkStatus}) {
            showMachineToPlant();
        }
    });
    plant_->start(storedPlantConfig(store_));
    showMachineToPlant();
}

void Panel::showMachineToPlant() {
    const DeviceState& state = controller_->mirroredState();
    PlantMachineState shown;
    shown.link = controller_->linkName();
    shown.known = model_.count().has_value();
    shown.framesArriving = model_.linkStatus().mark == LinkMark::Live;
    shown.count = model_.count().value_or(0);
    shown.function = state.function;
    shown.pitch = state.pitch;
    shown.speed = state.speed;
    shown.s1 = state.s1;
    shown.s2 = state.s2;
    shown.s3 = state.s3;
    shown.preset = state.preset;
    shown.presetOn = state.presetOn != 0;
    plant_->setMachineState(shown);
}

PlantConfig Panel::plantConfig() const {
    return storedPlantConfig(store_);
}

void Panel::setPlantConfig(const PlantConfig& config) {
    storePlantConfig(store_, config);
    if (plant_) {
        plant_->reconfigure(config);
    }
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
    if (plant_) {
        plant_->stop();
    }
}
