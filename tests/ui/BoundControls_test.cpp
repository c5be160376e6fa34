// The control table against the panel values it binds: each control can show
// its value, and every plainly stored value goes through start-up and the
// operator's change unchanged.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTest>

#include <algorithm>
#include <string>
#include <vector>

#include "panel/BoundValues.h"
#include "settings/SettingsTable.h"
#include "support/PanelHarness.h"
#include "support/Wait.h"

namespace {

bool shows(const ValueId& value, ControlKind kind) {
    if (std::holds_alternative<ChoiceValue>(value)) {
        return kind == ControlKind::ListCombo || kind == ControlKind::EditCombo;
    }
    if (std::holds_alternative<FlagValue>(value)) {
        return kind == ControlKind::CheckBox || kind == ControlKind::Button;
    }
    if (std::holds_alternative<TextValue>(value)) {
        return kind != ControlKind::CheckBox && kind != ControlKind::Button &&
               kind != ControlKind::ListCombo && kind != ControlKind::EditCombo &&
               kind != ControlKind::PortList;
    }
    return kind == ControlKind::PortList || kind == ControlKind::DataEdit;
}

TEST(BoundControls, EveryControlShowsAValueOfItsKindOnce) {
    std::vector<ValueId> shown;
    for (const ControlRow& row : controlTable()) {
        if (!row.value) {
            continue;
        }
        SCOPED_TRACE(row.id);
        EXPECT_TRUE(shows(*row.value, row.kind));
        EXPECT_EQ(std::find(shown.begin(), shown.end(), *row.value), shown.end()) << "shown twice";
        shown.push_back(*row.value);
    }
}

// A row the control table and the panel's value table both name, stored the
// plain way: its key holds its value, read and written as it stands.
std::vector<std::pair<int, const BoundValue*>> plainlyStored() {
    std::vector<std::pair<int, const BoundValue*>> rows;
    for (const ControlRow& row : controlTable()) {
        if (!row.value) {
            continue;
        }
        const BoundValue* bound = boundValueOf(*row.value);
        if (bound != nullptr && bound->stored && bound->storedOnChange && bound->load == nullptr &&
            bound->save == nullptr) {
            rows.emplace_back(row.id, bound);
        }
    }
    return rows;
}

// A value of its own for every stored row: the list entry 0 (no default
// selects it) or a text naming the control.
TEST(BoundControls, StoredValuesShowAtStartUpAndTheOperatorsChangesAreStored) {
    PanelHarness panel;
    ASSERT_FALSE(plainlyStored().empty());
    {
        SettingsStore store(panel.settingsFile());
        store.setInt(setting::firstRunStamp, kFirstRunStamp);
        for (const auto& [id, bound] : plainlyStored()) {
            if (std::holds_alternative<ChoiceValue>(bound->value)) {
                ASSERT_NE(bound->stored->integer->readDefault, 0) << id;
                store.setInt(*bound->stored->integer, 0);
            } else {
                store.setText(*bound->stored->text, QStringLiteral("r%1").arg(id));
            }
        }
    }
    panel.open();
    panel.showParameterPanel();
    for (const auto& [id, bound] : plainlyStored()) {
        SCOPED_TRACE(id);
        if (std::holds_alternative<ChoiceValue>(bound->value)) {
            EXPECT_EQ(panel.selection(id), 0);
            panel.pick(id, 1);
            EXPECT_EQ(panel.storedInt(*bound->stored->integer), 1);
        } else {
            EXPECT_EQ(panel.text(id), QStringLiteral("r%1").arg(id));
            panel.type(id, QStringLiteral("n%1").arg(id));
            EXPECT_EQ(panel.storedString(*bound->stored->text), QStringLiteral("n%1").arg(id));
        }
    }
}

// Keys typed into the template reach the model and the settings file once
// typing pauses, with nothing else done: no PRINTER SET, no close.
TEST(BoundControls, TheTypedTemplateIsTakenAndStoredWhenTypingPauses) {
    PanelHarness panel;
    panel.open();
    panel.showParameterPanel();
    auto* edit = static_cast<QPlainTextEdit*>(panel.control(ctl::kTemplate));
    edit->setFocus();
    edit->moveCursor(QTextCursor::End);
    const std::string before = panel.model().text(TextValue::Template);
    QTest::keyClicks(edit, "P2");
    EXPECT_EQ(panel.model().text(TextValue::Template), before) << "taken before the pause";
    EXPECT_TRUE(waitUntil([&] { return panel.model().text(TextValue::Template) == before + "P2"; }))
        << panel.model().text(TextValue::Template);
    panel.settleWrites();
    EXPECT_EQ(panel.storedString(setting::labelTemplate), QString::fromStdString(before + "P2"));
}

}  // namespace
