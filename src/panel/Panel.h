#pragma once

#include <QSocketNotifier>

#include <memory>

#include "link/Link.h"
#include "panel/ClockTicker.h"
#include "panel/LiveLink.h"
#include "panel/PanelController.h"
#include "panel/PanelModel.h"
#include "panel/ThreadWake.h"
#include "plant/PlantConfig.h"

class DiskWriter;
class PlantLink;
class RecordSaver;
class SettingsStore;

struct PanelSetup {
    PanelEnvironment environment;
    PortsEnvironment ports = defaultPortsEnvironment();  // where COM names live
    bool startThreads = true;  // receive threads and clock; tests run without
    std::string journalPath;   // the record journal; empty: none
};

// One panel without its window: the model, the controller, the link and its
// threads, the record saver and the clock, wired to the owner's event loop.
// Everything runs on the thread that made it, but for the link's receive
// threads and the disk writer, which hand over through event descriptors.
class Panel {
  public:
    Panel(SettingsStore& store, DiskWriter& writer, PanelSetup setup = {});
    ~Panel();
    Panel(const Panel&) = delete;
    Panel& operator=(const Panel&) = delete;

    // Start-up in its order, then the clock and the receive threads.
    void start();
    // Stops the clock and joins every thread of the link; idempotent.
    void stop();

    PanelModel& model() { return model_; }
    PanelController& controller() { return *controller_; }
    Link& link() { return link_; }
    SettingsStore& store() { return store_; }
    const std::string& journalPath() const { return setup_.journalPath; }

    // The plant link's configuration: stored, and taken at once by the link.
    PlantConfig plantConfig() const;
    void setPlantConfig(const PlantConfig& config);

  private:
    void watchLink();
    void watchPlant();
    void showMachineToPlant();

    SettingsStore& store_;
    PanelSetup setup_;
    PanelModel model_;
    Link link_;
    LiveLink liveLink_{link_};
    // The disk writer tells of record outcomes through this wake; declared in
    // this order, the saver goes first.
    ThreadWake recordWake_;
    std::unique_ptr<RecordSaver> records_;
    // The store tells from the disk writer's thread that the settings stopped
    // or started again reaching their file.
    ThreadWake keepingWake_;
    std::unique_ptr<PanelController> controller_;
    ClockTicker clock_;
    // The journal's records and the machine's state to the plant's broker, on
    // a thread of its own; null without a journal. It tells of a changed
    // status through its wake.
    std::unique_ptr<ThreadWake> plantWake_;
    std::unique_ptr<PlantLink> plant_;
    // Declared after the link, whose descriptor it watches: goes first.
    std::unique_ptr<QSocketNotifier> linkNotifier_;
};
