// The windows beside the main one: opened by a click and a shortcut without
// moving a control, and the label preview following the template edit.
#include <gtest/gtest.h>

#include <QTest>
#include <QToolButton>

#include "records/RecordsTableModel.h"
#include "settings/SettingsTable.h"
#include "support/MachineFrame.h"
#include "support/PanelHarness.h"
#include "support/TempDir.h"
#include "ui/SideWindows.h"
#include "ui/label/LabelPreview.h"
#include "ui/records/RecordsWindow.h"

namespace {

TEST(SideWindows, TheLabelPreviewOpensByClickAndShortcutAndFollowsTheTemplate) {
    PanelHarness panel;
    MainWindow& window = panel.open();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    std::vector<QRect> places;
    for (const ControlRow& row : controlTable()) {
        if (row.id != 0) {
            places.push_back(panel.control(row.id)->geometry());
        }
    }
    LabelPreview* preview = window.sideWindows().labelPreview();
    ASSERT_FALSE(preview->isVisible());

    QTest::keyClick(&window, Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(preview->isVisible());
    preview->hide();
    auto* button = window.findChild<QToolButton*>(QStringLiteral("labelPreviewButton"));
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_TRUE(preview->isVisible());

    // It goes where the main window goes, as far.
    const QPoint before = preview->pos();
    window.move(window.pos() + QPoint(40, 30));
    QTest::qWait(20);
    EXPECT_EQ(preview->pos(), before + QPoint(40, 30));

    // The template as typed is what the preview draws; its findings name lines.
    panel.showParameterPanel();
    panel.type(ctl::kTemplate, QStringLiteral("N\nq400\nQ200,24\nA10,10,0,3,1,1,N,\"LOT\"\nP1\n"));
    const auto drawn = [preview] {
        const auto label = preview->currentLabel();
        return label != nullptr && label->width == 400 && label->length == 200;
    };
    for (int waited = 0; !drawn() && waited < 5000; waited += 20) {
        QTest::qWait(20);
    }
    EXPECT_TRUE(drawn());

    std::size_t at = 0;
    for (const ControlRow& row : controlTable()) {
        if (row.id != 0) {
            EXPECT_EQ(panel.control(row.id)->geometry(), places[at++]) << row.id;
        }
    }
}

TEST(SideWindows, SampleValuesAreASettingOfThePanel) {
    PanelHarness panel;
    panel.open();
    LabelPreview* preview = panel.window().sideWindows().labelPreview();
    preview->setSampleSettings(QStringLiteral("@C=C0402"));
    Q_EMIT preview->sampleSettingsChanged(preview->sampleSettings());
    panel.restart();
    EXPECT_EQ(panel.storedString(setting::labelSamples),
              panel.window().sideWindows().labelPreview()->sampleSettings());
    EXPECT_FALSE(panel.storedString(setting::labelSamples).isEmpty());
}

// A record goes to its file and to the journal; the records window opened by
// Ctrl+R shows it, and the next one as it comes.
TEST(SideWindows, TheRecordsWindowShowsTheJournalAsRecordsCome) {
    TempDir records;
    PanelHarness panel;
    panel.open();
    panel.setRecordFolder(records.path().string() + "/");
    ASSERT_TRUE(panel.receive(countFrame(4, ",pt:T4,{a}")));
    panel.settleWrites();
    panel.window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel.window()));
    QTest::keyClick(&panel.window(), Qt::Key_R, Qt::ControlModifier);
    RecordsWindow* window = panel.window().sideWindows().recordsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->model().rowCount(), 1);

    ASSERT_TRUE(panel.receive(countFrame(5, ",pt:T5,{b}")));
    panel.settleWrites();
    EXPECT_EQ(window->model().rowCount(), 2);
}

}  // namespace
