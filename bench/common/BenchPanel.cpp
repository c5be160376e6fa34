#include "common/BenchPanel.h"
#include "common/Figures.h"
#include "support/Probes.h"

#include <QPlainTextEdit>
#include <QTimerEvent>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "ui/ControlTable.h"

BenchPanel::BenchPanel(std::chrono::milliseconds syncDelay)
    : udpPort(freeUdpPort()), writer_([delay = syncDelay](int fd, SyncKind kind) {
          if (delay.count() > 0) {
              std::this_thread::sleep_for(delay);
          }
          return syncToDisk(fd, kind);
      }) {
    std::filesystem::create_directories(home / "home");
    std::filesystem::create_directories(recordDir());
    ::setenv("HOME", (home / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    std::filesystem::create_directories(portsDir());
}

BenchPanel::~BenchPanel() {
    rig_.reset();
}

MainWindow& BenchPanel::open() {
    PanelSetup setup;
    setup.ports = portsOnlyIn(portsDir(), home.path());  // only the names linked by the benchmark
    setup.environment.udpPort = udpPort;
    setup.environment.frameHandled = [this](const DeviceReport& report) {
        if (frameHandled) {
            frameHandled(report);
        }
    };
    WindowEnvironment window;
    window.messageBox = [this](const QString& text) { messages.push_back(text); };
    window.selectFolder = [this] { return recordDir().string() + "/"; };
    rig_ = std::make_unique<PanelRig>(SettingsStore::defaultPath(), writer_, std::move(setup),
                                      std::move(window));
    rig_->panel().model().setText(TextValue::RecordFolder, recordDir().string() + "/",
                                  Origin::Panel);
    rig_->window().show();
    return rig_->window();
}

QWidget* BenchPanel::control(int id) const {
    return rig_->window().findChild<QWidget*>(QString::number(id));
}

DataWatcher::DataWatcher(BenchPanel& panel, std::function<void(long)> seen)
    : seen_(std::move(seen)) {
    auto* edit = static_cast<QPlainTextEdit*>(panel.control(ctl::kData));
    connect(edit, &QPlainTextEdit::textChanged, this, [this, edit] {
        const QString text = edit->toPlainText();
        if (text.startsWith(QLatin1String("data="))) {
            bool ok = false;
            const long count = text.mid(5).toLong(&ok);
            if (ok) {
                seen_(count);
            }
        }
    });
}

StallMeter::StallMeter() = default;

void StallMeter::start() {
    longest_ = longestEnd_ = std::chrono::duration<double, std::milli>(0);
    longGaps_ = 0;
    started_ = last_ = Clock::now();
    timer_ = startTimer(1, Qt::PreciseTimer);
}

void StallMeter::stop() {
    if (timer_ != 0) {
        killTimer(timer_);
        timer_ = 0;
    }
}

void StallMeter::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_) {
        tick();
    }
}

void StallMeter::tick() {
    const Clock::time_point now = Clock::now();
    const std::chrono::duration<double, std::milli> gap = now - last_;
    if (gap > longest_) {
        longest_ = gap;
        longestEnd_ = now - started_;
    }
    if (gap.count() > 20) {
        ++longGaps_;
    }
    last_ = now;
}

std::chrono::milliseconds syncDelayOption(int& argc, char** argv) {
    std::chrono::milliseconds delay(0);
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--slow-sync") == 0) {
            delay = std::chrono::milliseconds(50);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return delay;
}

std::string slowSyncNote(std::chrono::milliseconds syncDelay) {
    return syncDelay.count() > 0
               ? " (writer slowed: " + std::to_string(syncDelay.count()) + " ms per sync)"
               : std::string();
}

void preferOffscreen() {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
}

void prepareBenchProcess() {
    const char* trace = std::getenv("TOLVANE_BENCH_TRACE");
    sendTraceTo(trace != nullptr ? trace : "/dev/null");
    preferOffscreen();
}
