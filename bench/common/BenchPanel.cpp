#include "common/BenchPanel.h"
#include "common/Figures.h"
#include "support/MosquittoBroker.h"
#include "support/MqttSubscriber.h"
#include "support/Probes.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTimerEvent>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <thread>

#include "journal/Journal.h"
#include "settings/SettingsTable.h"
#include "ui/ControlTable.h"

namespace {

constexpr const char* kStation = "bench";

}  // namespace

BenchPanel::BenchPanel(BenchSetup setup)
    : udpPort(freeUdpPort()),
      setup_(setup),
      writer_([delay = setup.syncDelay](int fd, SyncKind kind) {
          if (delay.count() > 0) {
              std::this_thread::sleep_for(delay);
          }
          return syncToDisk(fd, kind);
      }) {
    std::filesystem::create_directories(home / "home");
    std::filesystem::create_directories(recordDir());
    std::filesystem::create_directories(portsDir());
}

BenchPanel::~BenchPanel() {
    rig_.reset();
}

MainWindow& BenchPanel::open() {
    if (setup_.plantLink) {
        broker_ = std::make_unique<MosquittoBroker>(home / "broker");
        subscriber_ = std::make_unique<MqttSubscriber>(
            broker_->port(), std::string("tolvane/") + kStation + "/record");
        SettingsStore seed(SettingsStore::defaultPath());
        seed.setText(setting::plantHost, QStringLiteral("127.0.0.1"));
        seed.setInt(setting::plantPort, broker_->port());
        seed.setText(setting::plantStation, QString::fromLatin1(kStation));
    }
    PanelSetup setup = folders_.panelSetup(udpPort, frameHandled);
    WindowEnvironment window;
    window.messageBox = [this](const QString& text) { messages.push_back(text); };
    window.selectFolder = [this] { return recordDir().string() + "/"; };
    rig_ = std::make_unique<PanelRig>(SettingsStore::defaultPath(), writer_, std::move(setup),
                                      std::move(window));
    rig_->panel().model().setText(TextValue::RecordFolder, recordDir().string() + "/",
                                  Origin::Panel);
    rig_->window().show();
    if (setup_.plantLink) {
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (rig_->panel().model().plantStatus().find("connected") != std::string::npos) {
                loop.quit();
            }
        });
        QTimer::singleShot(10'000, &loop, &QEventLoop::quit);
        check.start(10);
        loop.exec();
        std::fprintf(stderr, "plant link: %s\n", rig_->panel().model().plantStatus().c_str());
    }
    return rig_->window();
}

long BenchPanel::journalRecords() const {
    std::unique_ptr<Journal> journal =
        Journal::open(journalFile().string(), JournalAccess::Read, nullptr);
    return journal ? static_cast<long>(journal->totals(JournalFilter{}).records) : 0;
}

long BenchPanel::journalRecordsPublished() const {
    std::unique_ptr<Journal> journal =
        Journal::open(journalFile().string(), JournalAccess::Read, nullptr);
    return journal ? static_cast<long>(journal->totals(JournalFilter{}).records -
                                       journal->unpublishedCount())
                   : 0;
}

long BenchPanel::recordsDelivered() const {
    if (!subscriber_) {
        return 0;
    }
    std::set<qint64> ids;
    for (const MqttMessage& message : subscriber_->messages()) {
        ids.insert(QJsonDocument::fromJson(QByteArray::fromStdString(message.payload))
                       .object()
                       .value("id")
                       .toInteger());
    }
    return static_cast<long>(ids.size());
}

QWidget* BenchPanel::control(int id) const {
    return rig_->control(id);
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

BenchSetup benchSetupOption(int& argc, char** argv) {
    BenchSetup setup;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--slow-sync") == 0) {
            setup.syncDelay = std::chrono::milliseconds(50);
        } else if (std::strcmp(argv[i], "--plant") == 0) {
            setup.plantLink = true;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return setup;
}

std::string setupNote(const BenchSetup& setup) {
    std::string note;
    if (setup.syncDelay.count() > 0) {
        note += " (writer slowed: " + std::to_string(setup.syncDelay.count()) + " ms per sync)";
    }
    if (setup.plantLink) {
        note += " (plant link on)";
    }
    return note;
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
