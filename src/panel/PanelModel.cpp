#include "panel/PanelModel.h"

PanelModel::PanelModel() {
    choices_.fill(-1);
}

void PanelModel::listen(Listener listener) {
    listeners_.push_back(std::move(listener));
}

template <typename T>
bool PanelModel::change(T& slot, T value, const ValueId& id, Origin origin) {
    if (slot == value && origin != Origin::Operator) {
        return false;
    }
    slot = std::move(value);
    tell(id, origin);
    return true;
}

void PanelModel::tell(const ValueId& id, Origin origin) {
    for (const Listener& listener : listeners_) {
        listener(id, origin);
    }
}

bool PanelModel::setText(TextValue value, std::string text, Origin origin) {
    return change(texts_[index(value)], std::move(text), value, origin);
}

bool PanelModel::setChoice(ChoiceValue value, int position, Origin origin) {
    return change(choices_[index(value)], position < -1 ? -1 : position, value, origin);
}

bool PanelModel::setFlag(FlagValue value, bool on, Origin origin) {
    // std::array<bool> hands out plain references: no proxy to bind.
    return change(flags_[index(value)], on, value, origin);
}

bool PanelModel::setCount(int count, Origin origin) {
    return change(count_, std::optional<int>(count), OtherValue::Count, origin);
}

bool PanelModel::setPorts(PortEntries ports, Origin origin) {
    return change(ports_, std::move(ports), OtherValue::Ports, origin);
}

bool PanelModel::setLinkStatus(LinkStatusLine line, Origin origin) {
    return change(linkStatus_, std::move(line), OtherValue::LinkStatus, origin);
}

bool PanelModel::setSettingsProblem(std::string problem, Origin origin) {
    return change(settingsProblem_, std::move(problem), OtherValue::SettingsKept, origin);
}

void PanelModel::recordsChanged(Origin origin) {
    ++recordsRevision_;
    tell(OtherValue::Records, origin);
}

bool PanelModel::setJournalProblem(std::string problem, Origin origin) {
    return change(journalProblem_, std::move(problem), OtherValue::JournalKept, origin);
}

void PanelModel::setWriteAgainOutcome(WriteAgainOutcome outcome, Origin origin) {
    writeAgain_ = std::move(outcome);
    tell(OtherValue::WriteAgain, origin);
}

bool PanelModel::setPlantStatus(std::string text, Origin origin) {
    return change(plantStatus_, std::move(text), OtherValue::PlantStatus, origin);
}
