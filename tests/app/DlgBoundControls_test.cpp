// The table of setting-bound controls against the window it binds: each row
// names a control that can hold its value and a key of the store, and every
// stored value goes through start-up and the operator's change unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "app/BoundControls.h"
#include "settings/SettingsTable.h"
#include "support/PanelHarness.h"

namespace {

const ControlRow* rowOf(int id) {
    for (const ControlRow& row : controlTable()) {
        if (row.id == id) {
            return &row;
        }
    }
    return nullptr;
}

bool holds(BoundValue value, ControlKind kind) {
    switch (value) {
        case BoundValue::Index:
            return kind == ControlKind::ListCombo || kind == ControlKind::EditCombo;
        case BoundValue::Text:
            return kind == ControlKind::Edit || kind == ControlKind::DigitsEdit ||
                   kind == ControlKind::PasswordEdit || kind == ControlKind::TemplateEdit;
    }
    return false;
}

TEST(BoundControls, EveryRowFitsItsControlAndItsKey) {
    std::set<int> ids;
    for (const BoundControl& bound : boundControls()) {
        SCOPED_TRACE(bound.id);
        EXPECT_TRUE(ids.insert(bound.id).second) << "bound twice";
        const ControlRow* row = rowOf(bound.id);
        ASSERT_NE(row, nullptr);
        EXPECT_TRUE(holds(bound.value, row->kind));
        if (bound.key != nullptr) {
            EXPECT_TRUE(settingNamed(bound.key).has_value());
        } else {
            EXPECT_NE(bound.command, nullptr)
                << "a row that neither stores nor sends binds nothing";
        }
        EXPECT_TRUE(bound.shownFromFrame == nullptr || bound.mirror != nullptr);
    }
}

// A value of its own for every stored row: the list entry 0 (no default
// selects it) or a text naming the control.
TEST(BoundControls, StoredValuesShowAtStartUpAndTheOperatorsChangesAreStored) {
    PanelHarness panel;
    {
        SettingsStore store(panel.settingsFile());
        store.setInt(setting::firstRunStamp, kFirstRunStamp);
        for (const BoundControl& bound : boundControls()) {
            if (bound.key == nullptr) {
                continue;
            }
            if (bound.value == BoundValue::Index) {
                ASSERT_NE(bound.defaultIndex, 0) << bound.id;
                store.setInt(IntSetting{bound.key}, 0);
            } else {
                store.setText(TextSetting{bound.key}, QStringLiteral("r%1").arg(bound.id));
            }
        }
    }
    panel.open();
    for (const BoundControl& bound : boundControls()) {
        if (bound.key == nullptr) {
            continue;
        }
        SCOPED_TRACE(bound.id);
        if (bound.value == BoundValue::Index) {
            EXPECT_EQ(panel.dlg().comboSelection(bound.id), 0);
            panel.pick(bound.id, 1);
            EXPECT_EQ(panel.storedInt(bound.key), 1);
        } else {
            EXPECT_EQ(panel.text(bound.id), QStringLiteral("r%1").arg(bound.id));
            panel.type(bound.id, QStringLiteral("n%1").arg(bound.id));
            EXPECT_EQ(panel.storedString(bound.key), QStringLiteral("n%1").arg(bound.id));
        }
    }
}

}  // namespace
