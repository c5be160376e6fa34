#include "panel/PanelController.h"

#include <QCoreApplication>

#include <algorithm>

#include <time.h>

#include <chrono>

#include "inbound/Calendar.h"
#include "inbound/JournalRow.h"
#include "inbound/RecordSaver.h"
#include "inbound/RecordText.h"
#include "link/LinkStatusText.h"
#include "link/LocalIp.h"
#include "link/SerialPortNames.h"
#include "panel/BoundValues.h"
#include "panel/FixedLists.h"
#include "panel/MachineLink.h"
#include "panel/PanelLock.h"
#include "panel/PanelModel.h"
#include "panel/SettingsAccess.h"
#include "records/JournalStatusText.h"
#include "settings/SettingsKeepingText.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsRules.h"
#include "settings/SettingsTable.h"
#include "text/TextConv.h"

namespace {

// The operator's texts, in the translation context of the panel.
QString panelText(const char* source) {
    return QCoreApplication::translate("Panel", source);
}

// A translated message may name the port as %1 ("Could not open %1."); the
// source texts name none and are shown exactly as they are.
QString withPortName(const QString& message, const std::string& port) {
    return message.contains(QLatin1String("%1")) ? message.arg(QString::fromStdString(port))
                                                 : message;
}

std::uint32_t monotonicTick() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

// A NUL (pasted into the name, or read from the settings file) would end the
// path the file system sees: each part ends at its first NUL instead.
std::string_view beforeNul(const std::string& text) {
    return std::string_view(text).substr(0, text.find('\0'));
}

// The port number of a "COM<n>" entry of the list, by the port names' own
// rule; 0, a port that never exists, otherwise.
unsigned entryPortNumber(const std::string& entry) {
    unsigned number = 0;
    return parseComName(entry, number) ? number : 0;
}

}  // namespace

PanelController::PanelController(PanelModel& model, SettingsStore& store, MachineLink& link,
                                 RecordSaver& records, PanelEnvironment environment)
    : model_(model), store_(store), link_(link), records_(records), env_(std::move(environment)) {
    model_.listen([this](const ValueId& value, Origin origin) {
        if (origin == Origin::Operator) {
            operatorChanged(value);
        }
    });
}

void PanelController::startUp(const std::function<void()>& startClock) {
    refreshPorts();
    PortEntries ports = model_.ports();
    ports.chosen = 0;  // NET
    model_.setPorts(std::move(ports), Origin::StartUp);
    model_.setChoice(ChoiceValue::Pitch, 0, Origin::StartUp);
    model_.setChoice(ChoiceValue::Function, 0, Origin::StartUp);
    if (startClock) {
        startClock();
    }

    applyFirstRunRule(store_);
    for (const BoundValue& bound : boundValues()) {
        fill(bound);
    }
    refreshRecordPath();
    showSettingsKeeping();
    model_.setFlag(FlagValue::PanelOpen, false, Origin::StartUp);
    showLinkStatus();
}

// Shows the stored value; a value shown as a single-line edit's text then
// reacts as to typing.
void PanelController::fill(const BoundValue& bound) {
    if (bound.load != nullptr) {
        bound.load(model_, store_);
    } else if (!bound.stored) {
        return;
    } else if (const auto* text = std::get_if<TextValue>(&bound.value)) {
        model_.setText(*text, storedText(store_, *bound.stored->text), Origin::StartUp);
    } else if (const auto* choice = std::get_if<ChoiceValue>(&bound.value)) {
        // A stored position outside the list (an older or edited file) shows
        // the default entry, never an empty selection.
        model_.setChoice(*choice, storedListIndex(store_, *bound.stored->integer, bound.listSize()),
                         Origin::StartUp);
    }
    if (bound.echoAtStartUp) {
        react(bound);
    }
}

void PanelController::operatorChanged(const ValueId& value) {
    if (value == ValueId{OtherValue::Ports}) {
        chooseLink();
    } else if (const BoundValue* bound = boundValueOf(value)) {
        react(*bound);
    }
}

// The command goes out before the value is stored, so it never waits for the disk.
void PanelController::react(const BoundValue& bound) {
    if (bound.command != nullptr) {
        if (std::string command = bound.command(model_); !command.empty()) {
            send(std::move(command));
        }
    }
    if (bound.storedOnChange) {
        storeValue(bound);
    }
    if (bound.partOfRecordPath) {
        refreshRecordPath();
    }
}

void PanelController::storeValue(const BoundValue& bound) {
    if (bound.save != nullptr) {
        bound.save(model_, store_);
    } else if (!bound.stored) {
        return;
    } else if (const auto* text = std::get_if<TextValue>(&bound.value)) {
        storeText(store_, *bound.stored->text, model_.text(*text));
    } else if (const auto* choice = std::get_if<ChoiceValue>(&bound.value)) {
        store_.setInt(*bound.stored->integer, model_.choice(*choice));
    }
}

// Shows the machine's settings, changing only what differs.
void PanelController::mirror(const DeviceState& state) {
    for (const BoundValue& bound : boundValues()) {
        bool changed = false;
        if (bound.mirrorFrame != nullptr) {
            changed = bound.mirrorFrame(model_, state);
        } else if (bound.mirror == nullptr) {
            continue;
        } else if (const auto* choice = std::get_if<ChoiceValue>(&bound.value)) {
            const int value = state.*bound.mirror;
            int shown = bound.shownFromFrame ? bound.shownFromFrame(value) : value;
            if (shown < 0 || shown >= bound.listSize()) {
                shown = -1;  // outside the list: no entry chosen
            }
            changed = model_.setChoice(*choice, shown, Origin::Machine);
        } else if (const auto* text = std::get_if<TextValue>(&bound.value)) {
            // A text that already reads as the machine's number stays as it is.
            const int value = state.*bound.mirror;
            if (commands::leadingInt(model_.text(*text)) != value) {
                changed = model_.setText(*text, std::to_string(value), Origin::Machine);
            }
        }
        if (changed && bound.storedFromMachine) {
            storeValue(bound);
        }
    }
}

void PanelController::send(std::string command) {
    if (link_.send(command) == SendResult::WriteFailed) {
        const PortEntries& ports = model_.ports();
        const std::string port = ports.chosen >= 0 ? ports.entries[ports.chosen] : std::string();
        tell(withPortName(panelText("写串口失败，请选择正确串口号!"), port));
    }
}

void PanelController::sendKey(std::string_view command) {
    send(std::string(command));
}

// The machine's clock set to this computer's: nothing read, nothing stored.
void PanelController::setMachineClock() {
    send(commands::timeCommand(formatClockCommandFields(localCalendar(now()))));
}

// Hands the machine the Wi-Fi credentials with this computer's address and
// port; the credentials are stored whether or not the command got through.
// Credentials the machine would split wrongly are refused: nothing is sent or
// stored, and the operator is told why.
void PanelController::sendWifi() {
    const std::string& ssid = model_.text(TextValue::WifiName);
    const std::string& password = model_.text(TextValue::WifiPassword);
    if (!commands::wifiFieldSendable(ssid) || !commands::wifiFieldSendable(password)) {
        tell(panelText("WIFI名称或密码含有逗号或空字符，未发送!"));
        return;
    }
    const std::string address = env_.localAddress ? env_.localAddress() : localNetworkAddress();
    if (address.empty()) {
        tell(panelText("未找到本机网络地址，设备无法连接面板，未发送!"));
        return;
    }
    send(commands::wifiCommand(ssid, password, address));
    storeText(store_, setting::wifiName, ssid);
    storeText(store_, setting::wifiPassword, password);
}

void PanelController::flipPresetSign() {
    model_.setFlag(FlagValue::PresetNegative, !model_.flag(FlagValue::PresetNegative),
                   Origin::Operator);
}

// A cut template would print wrong labels: it is sent whole or not at all.
void PanelController::sendTemplate() {
    std::string command = commands::templateCommand(model_.text(TextValue::Template));
    const std::size_t most = link_.longestCommand();
    if (command.size() + 1 > most) {
        const bool net = link_.status().kind == LinkKind::Net;
        tell((net ? panelText("The label template is too long to send over the network "
                              "(%1 bytes, at most %2).")
                  : panelText("The label template is too long to send over the serial line "
                              "(%1 bytes, at most %2)."))
                 .arg(command.size() + 1)
                 .arg(most));
        return;
    }
    send(std::move(command));
}

// A cancelled chooser leaves the folder empty for this run; only a chosen
// folder is stored.
void PanelController::chooseRecordFolder(const std::string& folder) {
    model_.setText(TextValue::RecordFolder, folder, Origin::Operator);
    if (!folder.empty()) {
        storeText(store_, setting::recordFolder, folder);
    }
    refreshRecordPath();
}

void PanelController::togglePanel() {
    if (model_.flag(FlagValue::PanelOpen)) {
        model_.setFlag(FlagValue::PanelOpen, false, Origin::Operator);
        return;
    }
    const std::string password = storedText(store_, setting::panelPassword);
    if (model_.text(TextValue::PanelPassword) == password) {
        model_.setFlag(FlagValue::PanelOpen, true, Origin::Operator);
        model_.setText(TextValue::PanelPassword, std::string(), Origin::Panel);
        return;
    }
    if (countFailedClick(quickFailCount_, lastFailTick_, tick())) {
        model_.setFlag(FlagValue::PanelOpen, true, Origin::Operator);
    }
}

void PanelController::changePanelPassword() {
    storeText(store_, setting::panelPassword, model_.text(TextValue::NewPassword));
}

// "NET", then every serial port found, in ascending order. The chosen entry
// stays chosen, and stays listed while its device is away, so the list never
// changes the link under the operator.
void PanelController::refreshPorts() {
    const PortEntries& shown = model_.ports();
    const std::string chosen = shown.chosen >= 0 ? shown.entries[shown.chosen] : std::string();
    PortEntries ports;
    ports.entries.push_back("NET");
    const std::vector<unsigned> numbers =
        env_.serialPorts ? env_.serialPorts() : std::vector<unsigned>{};
    for (unsigned number : numbers) {
        ports.entries.push_back("COM" + std::to_string(number));
    }
    if (!chosen.empty() &&
        std::find(ports.entries.begin(), ports.entries.end(), chosen) == ports.entries.end()) {
        const unsigned chosenNumber = entryPortNumber(chosen);
        const auto later = std::find_if(
            ports.entries.begin() + 1, ports.entries.end(),
            [&](const std::string& entry) { return entryPortNumber(entry) > chosenNumber; });
        ports.entries.insert(later, chosen);
    }
    const auto at = std::find(ports.entries.begin(), ports.entries.end(), chosen);
    ports.chosen = chosen.empty() ? -1 : static_cast<int>(at - ports.entries.begin());
    model_.setPorts(std::move(ports), Origin::Panel);
}

void PanelController::chooseLink() {
    const PortEntries& ports = model_.ports();
    if (ports.chosen < 0) {
        return;
    }
    const std::string entry = ports.entries[ports.chosen];
    frames_.dropTail();  // a frame begun on the old link never ends
    if (entry.compare(0, 3, "NET") == 0) {
        link_.chooseNet();
    } else if (!link_.chooseSerial(entryPortNumber(entry))) {
        showLinkStatus();  // the reason, before the message box holds the window
        tell(withPortName(panelText("打开COM失败!"), entry));
    }
    showLinkStatus();
}

// A datagram is a whole unit; a serial burst may end inside a frame that the
// next burst finishes.
bool PanelController::takeChunk(std::string_view chunk) {
    const ChunkKind kind =
        link_.status().kind == LinkKind::Net ? ChunkKind::Datagram : ChunkKind::SerialBurst;
    const ChunkFrames taken = frames_.take(kind, chunk);
    for (const DeviceReport& report : taken.frames) {
        if (report.state != mirrored_) {
            mirror(report.state);
            mirrored_ = report.state;
        }
        if (report.isRecord) {
            saveRecord(report);
        }
        model_.setCount(report.state.data, Origin::Machine);
        if (env_.frameHandled) {
            env_.frameHandled(report);
        }
    }
    return !taken.frames.empty();
}

std::string PanelController::recordPathNow() const {
    const std::string format =
        entryAt(recordFormatNames(), model_.choice(ChoiceValue::RecordFormat));
    return composeRecordPath(beforeNul(model_.text(TextValue::RecordFolder)),
                             beforeNul(model_.text(TextValue::RecordName)), localCalendar(now()),
                             beforeNul(format));
}

// Hands one counting record to the disk writer and returns at once; the path
// tried is shown. Whether it was written comes back later.
void PanelController::saveRecord(const DeviceReport& report) {
    const std::string path = recordPathNow();
    std::string text =
        recordText(report, entryAt(recordFormatNames(), model_.choice(ChoiceValue::RecordFormat)));
    model_.setText(TextValue::RecordPath, path, Origin::Panel);
    records_.save(path, std::move(text),
                  journalRowOf(report, linkName(), std::chrono::system_clock::now()));
}

// The link a record came over, as the journal keeps it.
std::string PanelController::linkName() const {
    const LinkStatus status = link_.status();
    if (status.kind == LinkKind::Net) {
        return status.peerKnown ? "NET " + status.peer.text() : std::string("NET");
    }
    return "COM" + std::to_string(status.serialPort);
}

void PanelController::takeRecordOutcomes() {
    bool changed = false;
    if (const std::optional<RecordWriteResult> latest = records_.takeLatest()) {
        showRecordOutcome(*latest);
        changed = true;
    }
    if (const std::optional<JournalStatus> journal = records_.takeJournalStatus()) {
        model_.setJournalProblem(encodeUtf8(describeJournal(*journal)), Origin::Panel);
        changed = true;
    }
    if (std::optional<WriteAgainOutcome> rewritten = records_.takeWriteAgain()) {
        model_.setWriteAgainOutcome(std::move(*rewritten), Origin::Panel);
        changed = true;
    }
    if (changed) {
        model_.recordsChanged(Origin::Panel);
    }
}

void PanelController::writeAgain(std::vector<std::int64_t> ids) {
    records_.writeAgain(std::move(ids), recordPathNow(),
                        entryAt(recordFormatNames(), model_.choice(ChoiceValue::RecordFormat)));
}

void PanelController::refreshRecordPath() {
    model_.setText(TextValue::RecordPath, recordPathNow(), Origin::Panel);
}

// A record that could not be written stays visible until the next one is written.
void PanelController::showRecordOutcome(const RecordWriteResult& outcome) {
    model_.setText(TextValue::RecordFailure, outcome.written ? std::string() : outcome.reason,
                   Origin::Panel);
}

void PanelController::showLinkStatus() {
    std::optional<long> frameAge;
    if (const auto last = link_.lastFrameAt()) {
        frameAge = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(
                                         std::chrono::steady_clock::now() - *last)
                                         .count());
    }
    model_.setLinkStatus(describeLink(link_.status(), env_.udpPort, frameAge), Origin::Panel);
}

void PanelController::showSettingsKeeping() {
    model_.setSettingsProblem(encodeUtf8(settingsNotSavedLine(store_.keeping())), Origin::Panel);
}

void PanelController::showPlantStatus(const std::string& text) {
    model_.setPlantStatus(text, Origin::Panel);
}

void PanelController::showClock() {
    model_.setText(TextValue::Clock, formatClockDisplay(localCalendar(now())), Origin::Panel);
}

void PanelController::tell(const QString& text) {
    if (notice_) {
        notice_(text);
    }
}

std::time_t PanelController::now() const {
    return env_.now ? env_.now() : std::time(nullptr);
}

std::uint32_t PanelController::tick() const {
    return env_.tick ? env_.tick() : monotonicTick();
}
