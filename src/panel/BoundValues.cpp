#include "panel/BoundValues.h"

#include <array>

#include "commands/CommandSet.h"
#include "panel/FixedLists.h"
#include "panel/PanelModel.h"
#include "panel/PresetValue.h"
#include "panel/SettingsAccess.h"
#include "text/TextConv.h"

namespace {

template <std::span<const char* const> (*list)()>
int sizeOf() {
    return static_cast<int>(list().size());
}

template <std::string (*build)(int), ChoiceValue choice>
std::string choiceCommand(const PanelModel& model) {
    return build(model.choice(choice));
}

// Any speed value sends all three, in the order S1, S2, S3.
std::string speedsCommand(const PanelModel& model) {
    return commands::speedsCommand(model.text(TextValue::Speed1), model.text(TextValue::Speed2),
                                   model.text(TextValue::Speed3));
}

// The pitch list shows pitches; the command carries the pitch, not its place.
std::string pitchCommand(const PanelModel& model) {
    const int index = model.choice(ChoiceValue::Pitch);
    if (index < 0 || index >= static_cast<int>(commands::pitchTable.size())) {
        return {};  // no entry chosen: there is no pitch to send
    }
    return commands::pitchCommand(commands::pitchTable[static_cast<std::size_t>(index)]);
}

std::string presetCountCommand(const PanelModel& model) {
    return commands::presetCountCommand(model.flag(FlagValue::PresetNegative),
                                        model.text(TextValue::PresetCount));
}

std::string presetEnableCommand(const PanelModel& model) {
    return commands::presetEnableCommand(model.flag(FlagValue::PresetOn) ? 1 : 0,
                                         model.flag(FlagValue::PresetNegative),
                                         model.text(TextValue::PresetCount));
}

// Until the operator chooses a folder, records go to the home folder.
void loadRecordFolder(PanelModel& model, const SettingsStore& store) {
    model.setText(TextValue::RecordFolder, storedText(store, setting::recordFolder),
                  Origin::StartUp);
}

int pitchCount() {
    return static_cast<int>(commands::pitchTable.size());
}

BoundValue speedValue(TextValue value, const TextSetting& stored,
                      std::int32_t DeviceState::*mirror) {
    return {.value = value,
            .stored = stored,
            .echoAtStartUp = true,
            .command = speedsCommand,
            .mirror = mirror,
            .storedFromMachine = true};
}

const std::array kBoundValues = {
    BoundValue{
        .value = TextValue::Template, .stored = setting::labelTemplate, .echoAtStartUp = true},
    BoundValue{.value = TextValue::WifiName, .stored = setting::wifiName, .storedOnChange = false},
    BoundValue{
        .value = TextValue::WifiPassword, .stored = setting::wifiPassword, .storedOnChange = false},
    speedValue(TextValue::Speed1, setting::speedValue1, &DeviceState::s1),
    speedValue(TextValue::Speed2, setting::speedValue2, &DeviceState::s2),
    speedValue(TextValue::Speed3, setting::speedValue3, &DeviceState::s3),
    BoundValue{.value = ChoiceValue::RecordFormat,
               .stored = setting::recordFormat,
               .listSize = sizeOf<recordFormatNames>,
               .command = choiceCommand<commands::recordFormatCommand, ChoiceValue::RecordFormat>,
               .partOfRecordPath = true},
    BoundValue{.value = TextValue::RecordName,
               .stored = setting::recordFileName,
               .echoAtStartUp = true,
               .partOfRecordPath = true},
    BoundValue{.value = TextValue::PresetCount,
               .echoAtStartUp = true,
               .command = presetCountCommand,
               .storedFromMachine = true,
               .load = loadPreset,
               .save = savePreset,
               .mirrorFrame = mirrorPreset},
    BoundValue{
        .value = FlagValue::PresetNegative, .command = presetCountCommand, .save = savePreset},
    BoundValue{.value = FlagValue::PresetOn, .command = presetEnableCommand, .save = savePreset},
    BoundValue{.value = ChoiceValue::SpeedStep,
               .stored = setting::speedStep,
               .listSize = sizeOf<speedNames>,
               .command = choiceCommand<commands::speedSelectCommand, ChoiceValue::SpeedStep>,
               .mirror = &DeviceState::speed},
    BoundValue{.value = ChoiceValue::Function,
               .listSize = sizeOf<functionNames>,
               .command = choiceCommand<commands::functionCommand, ChoiceValue::Function>,
               .mirror = &DeviceState::function},
    BoundValue{.value = ChoiceValue::Pitch,
               .listSize = pitchCount,
               .command = pitchCommand,
               .mirror = &DeviceState::pitch,
               .shownFromFrame = commands::pitchPosition},
    BoundValue{.value = TextValue::LabelSamples, .stored = setting::labelSamples},
    BoundValue{.value = TextValue::RecordFolder,
               .storedOnChange = false,
               .partOfRecordPath = true,
               .load = loadRecordFolder},
};

}  // namespace

std::span<const BoundValue> boundValues() {
    return kBoundValues;
}

const BoundValue* boundValueOf(const ValueId& value) {
    for (const BoundValue& bound : kBoundValues) {
        if (bound.value == value) {
            return &bound;
        }
    }
    return nullptr;
}
