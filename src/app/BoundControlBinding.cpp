// Start-up fill, change handler and state mirror of every control in the
// table of bound controls.
#include <QString>

#include "app/BoundControls.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "text/TextConv.h"

void CTolvaneAppDlg::fillBoundControls() {
    for (const BoundControl& bound : boundControls()) {
        if (bound.key == nullptr) {
            continue;
        }
        if (bound.value == BoundValue::Index) {
            // A stored position outside the list (an older or edited file)
            // shows the default entry, never an empty selection.
            setComboSelection(bound.id,
                              storedListIndex(store_, IntSetting{bound.key, bound.defaultIndex},
                                              comboEntryCount(bound.id)));
        } else {
            setCtrlText(bound.id, store_.text(TextSetting{bound.key, bound.defaultText}));
        }
    }
}

// The command goes out before the value is stored, so it never waits for
// the disk.
void CTolvaneAppDlg::boundControlChanged(const BoundControl& bound) {
    if (bound.command != nullptr) {
        if (std::string command = bound.command(*this, bound.id); !command.empty()) {
            sendCommand(std::move(command));
        }
    }
    if (bound.key != nullptr) {
        if (bound.value == BoundValue::Index) {
            store_.setInt(IntSetting{bound.key}, comboSelection(bound.id));
        } else {
            store_.setText(TextSetting{bound.key}, decodeUtf8(ctrlUtf8(bound.id)));
        }
    }
    if (bound.partOfRecordPath) {
        refreshRecordPath();
    }
}

// An edit shows the frame value unless its text already reads as that number.
void CTolvaneAppDlg::mirrorBoundControls(const DeviceState& state) {
    for (const BoundControl& bound : boundControls()) {
        if (bound.mirror == nullptr) {
            continue;
        }
        const int value = state.*bound.mirror;
        if (bound.value == BoundValue::Index) {
            const int shown = bound.shownFromFrame ? bound.shownFromFrame(value) : value;
            if (comboSelection(bound.id) != shown) {
                setComboSelection(bound.id, shown);
            }
        } else if (commands::leadingInt(ctrlUtf8(bound.id)) != value) {
            setCtrlText(bound.id, QString::number(value));
        }
    }
}
