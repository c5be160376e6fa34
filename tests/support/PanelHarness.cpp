#include "support/PanelHarness.h"
#include "support/Probes.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <time.h>

#include <chrono>
#include <cstdlib>

namespace {
// Generous: a debug build under a sanitizer on a busy computer.
constexpr std::chrono::seconds kWriteWait{20};
}  // namespace

static std::string swapEnvironment(const char* name, const std::string& value) {
    const char* old = std::getenv(name);
    std::string saved = old != nullptr ? old : "";
    if (value.empty()) {
        unsetenv(name);
    } else {
        setenv(name, value.c_str(), 1);
    }
    return saved;
}

// The panel's home is the temporary folder, so records that go to the
// default folder (the home folder) never land in the real one.
PanelHarness::PanelHarness(bool threads) : threads_(threads) {
    savedHome_ = swapEnvironment("HOME", home.path().string());
    savedConfig_ = swapEnvironment("XDG_CONFIG_HOME", home.path().string());
}

PanelHarness::~PanelHarness() {
    close();
    swapEnvironment("HOME", savedHome_);
    swapEnvironment("XDG_CONFIG_HOME", savedConfig_);
}

DlgEnvironment PanelHarness::environment() {
    DlgEnvironment env;
    env.now = [this] { return now; };
    env.tick = [this] { return tick; };
    env.messageBox = [this](const QString& text) { messages.push_back(text); };
    if (!realFolderChooser) {
        env.selectFolder = [this] { return folderChoice; };
    }
    env.localIp = [this] { return localIp; };
    env.ports.portsDir = portsDir();
    env.ports.devRoot = home / "no-dev";
    env.ports.sysRoot = home / "no-sys";
    if (udpPort == 0) {
        udpPort = freeUdpPort();
    }
    env.udpPort = udpPort;
    env.startThreads = threads_;
    env.frameHandled = [this](const DeviceReport& report) {
        if (frameHandled) {
            frameHandled(report);
        }
    };
    return env;
}

CTolvaneAppDlg& PanelHarness::open() {
    store_ = std::make_unique<SettingsStore>(settingsFile(), &writer_);
    dialog_ = std::make_unique<CTolvaneAppDlg>(*store_, environment());
    return *dialog_;
}

CTolvaneAppDlg& PanelHarness::restart() {
    close();
    return open();
}

// As the program ends: the window goes, then everything handed over is written.
void PanelHarness::close() {
    dialog_.reset();
    store_.reset();
    writer_.drain(kWriteWait);
}

void PanelHarness::settleWrites() {
    writer_.drain(kWriteWait);
    QCoreApplication::processEvents();
}

void PanelHarness::setSync(SyncCall sync) {
    const std::lock_guard<std::mutex> lock(syncMutex_);
    sync_ = std::move(sync);
}

int PanelHarness::sync(int fd, SyncKind kind) {
    SyncCall call;
    {
        const std::lock_guard<std::mutex> lock(syncMutex_);
        call = sync_;
    }
    return call ? call(fd, kind) : syncToDisk(fd, kind);
}

int PanelHarness::storedInt(const char* key, int fallback) const {
    writer_.drain(kWriteWait);
    return SettingsStore(settingsFile()).intValue({key, fallback});
}

QString PanelHarness::storedString(const char* key, const QString& fallback) const {
    writer_.drain(kWriteWait);
    const std::string absent = fallback.toStdString();
    return SettingsStore(settingsFile()).text({key, absent.c_str()});
}

void PanelHarness::type(int id, const QString& text) {
    QWidget* widget = dialog_->control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->selectAll();
        edit->insert(text);  // one change, as a paste over the old text
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        plain->selectAll();
        plain->insertPlainText(text);
    }
}

void PanelHarness::click(int id) {
    QTest::mouseClick(static_cast<QAbstractButton*>(dialog_->control(id)), Qt::LeftButton);
}

void PanelHarness::pick(int id, int index) {
    auto* combo = static_cast<QComboBox*>(dialog_->control(id));
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index);
}

UtcTimeZone::UtcTimeZone() {
    const char* current = std::getenv("TZ");
    had_ = current != nullptr;
    saved_ = had_ ? current : "";
    setenv("TZ", "UTC", 1);
    tzset();
}

UtcTimeZone::~UtcTimeZone() {
    if (had_) {
        setenv("TZ", saved_.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}
