#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "inbound/RecordSaver.h"
#include "link/LinkStatusText.h"
#include "panel/PanelValues.h"

// The port list as the operator sees it: "NET", then "COM<n>" entries.
struct PortEntries {
    std::vector<std::string> entries;
    int chosen = -1;  // position of the chosen entry; -1: none
    bool operator==(const PortEntries&) const = default;
};

// The state of the panel: every setting, every value mirrored from the
// machine and what the window shows of the link, each of one type. A change
// is told to every listener, in the order they listen, with its origin. A
// value set to what it holds tells nobody, unless the operator set it: picking
// the list entry that is already chosen sends it to the machine again.
class PanelModel {
  public:
    using Listener = std::function<void(const ValueId& value, Origin origin)>;

    PanelModel();

    void listen(Listener listener);

    const std::string& text(TextValue value) const { return texts_[index(value)]; }
    int choice(ChoiceValue value) const { return choices_[index(value)]; }
    bool flag(FlagValue value) const { return flags_[index(value)]; }
    // The count of the latest frame; none before the first.
    std::optional<int> count() const { return count_; }
    const PortEntries& ports() const { return ports_; }
    const LinkStatusLine& linkStatus() const { return linkStatus_; }
    // Empty while the settings reach the disk; else why they do not.
    const std::string& settingsProblem() const { return settingsProblem_; }
    // Counts up whenever the journal took records or changed their outcomes.
    std::uint64_t recordsRevision() const { return recordsRevision_; }
    // Empty while the journal is kept; else what the status line says of it.
    const std::string& journalProblem() const { return journalProblem_; }
    const WriteAgainOutcome& writeAgainOutcome() const { return writeAgain_; }
    // The plant link's words for the status line; empty while it is off.
    const std::string& plantStatus() const { return plantStatus_; }

    // Each returns true when the change was told.
    bool setText(TextValue value, std::string text, Origin origin);
    bool setChoice(ChoiceValue value, int position, Origin origin);
    bool setFlag(FlagValue value, bool on, Origin origin);
    bool setCount(int count, Origin origin);
    bool setPorts(PortEntries ports, Origin origin);
    bool setLinkStatus(LinkStatusLine line, Origin origin);
    bool setSettingsProblem(std::string problem, Origin origin);
    void recordsChanged(Origin origin);
    bool setJournalProblem(std::string problem, Origin origin);
    bool setPlantStatus(std::string text, Origin origin);
    // Told every time, as an event: the same counts may come twice.
    void setWriteAgainOutcome(WriteAgainOutcome outcome, Origin origin);

  private:
    template <typename Enum>
    static std::size_t index(Enum value) {
        return static_cast<std::size_t>(value);
    }
    template <typename T>
    bool change(T& slot, T value, const ValueId& id, Origin origin);
    void tell(const ValueId& id, Origin origin);

    std::array<std::string, kTextValues> texts_;
    std::array<int, kChoiceValues> choices_{};
    std::array<bool, kFlagValues> flags_{};
    std::optional<int> count_;
    PortEntries ports_;
    LinkStatusLine linkStatus_;
    std::string settingsProblem_;
    std::uint64_t recordsRevision_ = 0;
    std::string journalProblem_;
    WriteAgainOutcome writeAgain_;
    std::string plantStatus_;
    std::vector<Listener> listeners_;
};
