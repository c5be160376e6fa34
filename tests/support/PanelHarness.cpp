#include "support/PanelHarness.h"
#include "support/Probes.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <chrono>

namespace {
// Generous: a debug build under a sanitizer on a busy computer.
constexpr std::chrono::seconds kWriteWait{20};
}  // namespace

// The panel's home and config folder are the temporary folder, so records
// that go to the default folder (the home folder) never land in the real one.
PanelHarness::PanelHarness(bool threads) : threads_(threads) {}

PanelHarness::~PanelHarness() {
    close();
}

PanelSetup PanelHarness::setup() {
    if (udpPort == 0) {
        udpPort = freeUdpPort();
    }
    PanelSetup setup = folders_.panelSetup(udpPort, frameHandled);
    PanelEnvironment& env = setup.environment;
    env.now = [this] { return now; };
    env.tick = [this] { return tick; };
    env.localAddress = [this] { return localIp; };
    setup.startThreads = threads_;
    return setup;
}

MainWindow& PanelHarness::open() {
    WindowEnvironment env;
    env.messageBox = [this](const QString& text) { messages.push_back(text); };
    if (!realFolderChooser) {
        env.selectFolder = [this] { return folderChoice; };
    }
    rig_ = std::make_unique<PanelRig>(settingsFile(), writer_, setup(), env);
    return rig_->window();
}

MainWindow& PanelHarness::restart() {
    close();
    return open();
}

// As the program ends: the window goes, then everything handed over is written.
void PanelHarness::close() {
    rig_.reset();
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

QWidget* PanelHarness::control(int id) const {
    return rig_->control(id);
}

QString PanelHarness::text(int id) const {
    QWidget* widget = control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return edit->text();
    }
    if (auto* lines = qobject_cast<QPlainTextEdit*>(widget)) {
        QString plain = lines->toPlainText();
        plain.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        return plain;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text();
    }
    if (auto* list = qobject_cast<QComboBox*>(widget)) {
        return list->currentText();
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text();
    }
    return QString();
}

int PanelHarness::selection(int id) const {
    return static_cast<QComboBox*>(control(id))->currentIndex();
}

QString PanelHarness::entryText(int id, int index) const {
    return static_cast<QComboBox*>(control(id))->itemText(index);
}

bool PanelHarness::checked(int id) const {
    return static_cast<QCheckBox*>(control(id))->isChecked();
}

// The template edit hands its text over once typing pauses: a test's typing
// ends with that pause.
void PanelHarness::type(int id, const QString& text) {
    QWidget* widget = control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->selectAll();
        edit->insert(text);  // one change, as a paste over the old text
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        plain->selectAll();
        plain->insertPlainText(text);
        rig_->window().takeEdits();
    }
}

void PanelHarness::click(int id) {
    QTest::mouseClick(static_cast<QAbstractButton*>(control(id)), Qt::LeftButton);
}

void PanelHarness::pick(int id, int index) {
    auto* combo = static_cast<QComboBox*>(control(id));
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index);
}

void PanelHarness::showParameterPanel(bool open) {
    model().setFlag(FlagValue::PanelOpen, open, Origin::Operator);
}

void PanelHarness::setRecordFolder(const std::string& folder) {
    model().setText(TextValue::RecordFolder, folder, Origin::Panel);
}

void PanelHarness::setSelection(int id, int index) {
    model().setChoice(std::get<ChoiceValue>(controlValue(id)), index, Origin::Panel);
}

void PanelHarness::setPresetNegative(bool negative) {
    model().setFlag(FlagValue::PresetNegative, negative, Origin::Panel);
}

void PanelHarness::setWidgetText(int id, const QString& text) {
    QWidget* widget = control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
    } else if (auto* lines = qobject_cast<QPlainTextEdit*>(widget)) {
        lines->setPlainText(text);
    }
}

bool PanelHarness::receive(std::string_view chunk) {
    return controller().takeChunk(chunk);
}

ValueId controlValue(int id) {
    for (const ControlRow& row : controlTable()) {
        if (row.id == id && row.value) {
            return *row.value;
        }
    }
    ADD_FAILURE() << "control " << id << " shows no panel value";
    return OtherValue::Count;
}
