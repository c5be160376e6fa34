#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "common/ScratchDir.h"
#include "settings/SettingsStore.h"
#include "storage/DiskWriter.h"
#include "support/PanelRig.h"

class MosquittoBroker;
class MqttSubscriber;

// How a benchmark's panel runs, as asked for on its command line.
struct BenchSetup {
    // "--slow-sync": how long the disk writer waits before each sync, as on
    // a disk that is slow to answer.
    std::chrono::milliseconds syncDelay{0};
    // "--plant": the plant link on, to a broker of the benchmark's own on
    // 127.0.0.1, and a subscriber counting the records it delivers.
    bool plantLink = false;
};

// The whole panel as the operator has it: the real window with its receive
// threads and clock, its disk writer and its record journal, real time, shown
// offscreen, in a scratch home of its own (settings, ports folder, record
// folder, journal) and on a free UDP port.
class BenchPanel {
  public:
    explicit BenchPanel(BenchSetup setup = {});
    ~BenchPanel();

    // Builds and shows the window; link pseudo-terminals into portsDir() first.
    // With the plant link, returns once it is connected (or after 10 s).
    MainWindow& open();
    MainWindow& window() { return rig_->window(); }
    Panel& panel() { return rig_->panel(); }
    // A control by its identifier.
    QWidget* control(int id) const;

    std::filesystem::path portsDir() const { return folders_.portsDir(); }
    std::filesystem::path recordDir() const { return home / "records"; }
    std::filesystem::path journalFile() const { return folders_.journalFile(); }

    // Records in the journal, and of them those the broker has acknowledged,
    // read from the file as another reader would.
    long journalRecords() const;
    long journalRecordsPublished() const;
    // Records the subscriber has received, each journal id once; 0 without
    // the plant link.
    long recordsDelivered() const;
    bool plantLinkOn() const { return setup_.plantLink; }

    ScratchDir home;
    std::uint16_t udpPort;
    std::vector<QString> messages;
    // Called on the window's thread with every frame dispatched.
    std::function<void(const DeviceReport&)> frameHandled;

  private:
    ScratchFolders folders_{home.path(), home / "home", home / "config"};
    BenchSetup setup_;
    DiskWriter writer_;
    std::unique_ptr<MosquittoBroker> broker_;
    std::unique_ptr<MqttSubscriber> subscriber_;
    std::unique_ptr<PanelRig> rig_;
};

// Calls `seen` with the count each time edit 1019 shows "data=<count>", on
// the window's thread, at the moment the text changes.
class DataWatcher : public QObject {
  public:
    DataWatcher(BenchPanel& panel, std::function<void(long)> seen);

  private:
    std::function<void(long)> seen_;
};

// The longest gap between turns of the window's event loop, seen by a timer
// asking to run every millisecond.
class StallMeter : public QObject {
  public:
    StallMeter();
    void start();
    void stop();
    double longestGapMs() const { return longest_.count(); }
    // When the longest gap ended, in ms after start().
    double longestGapEndMs() const { return longestEnd_.count(); }
    // Gaps longer than 20 ms.
    int longGaps() const { return longGaps_; }

  private:
    void tick();

    using Clock = std::chrono::steady_clock;
    int timer_ = 0;
    Clock::time_point started_{};
    Clock::time_point last_{};
    std::chrono::duration<double, std::milli> longest_{0};
    std::chrono::duration<double, std::milli> longestEnd_{0};
    int longGaps_ = 0;

  protected:
    void timerEvent(QTimerEvent* event) override;
};

// The setup asked for on the command line ("--slow-sync" is 50 ms per sync,
// "--plant" the plant link on); takes those options out of argv.
BenchSetup benchSetupOption(int& argc, char** argv);
// " (writer slowed: 50 ms per sync)", " (plant link on)", both or neither:
// added to the names of a run's figures.
std::string setupNote(const BenchSetup& setup);

// Sets QT_QPA_PLATFORM to offscreen unless the caller chose a platform.
void preferOffscreen();

// What every in-process panel benchmark does first: the panel's trace lines
// go to $TOLVANE_BENCH_TRACE (else nowhere), and the window is offscreen.
void prepareBenchProcess();
