#include <gtest/gtest.h>

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "os/UserFolders.h"
#include "settings/SettingsTable.h"
#include "support/PanelHarness.h"
#include "ui/AboutBox.h"

namespace {

QStringList entries(PanelHarness& panel, int id) {
    auto* combo = static_cast<QComboBox*>(panel.control(id));
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i) {
        texts << combo->itemText(i);
    }
    return texts;
}

TEST(Startup, FirstRunWritesDefaultsAndShowsThem) {
    UtcTimeZone utc;
    PanelHarness panel;
    panel.now = kFixedInstant;
    testing::internal::CaptureStdout();
    panel.open();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("D:[CTolvaneAppDlg::OnInitDialog,550]is first \r\n"), std::string::npos);

    EXPECT_EQ(panel.text(ctl::kTemplate), QString::fromStdString(defaultLabelTemplate()));
    EXPECT_EQ(panel.text(ctl::kSsid), "default");
    EXPECT_EQ(panel.text(ctl::kWifiPassword), "lantern");
    EXPECT_EQ(panel.text(ctl::kSpeed1), "15");
    EXPECT_EQ(panel.text(ctl::kSpeed2), "30");
    EXPECT_EQ(panel.text(ctl::kSpeed3), "45");
    EXPECT_EQ(panel.selection(ctl::kRecordFormat), 0);
    EXPECT_EQ(panel.text(ctl::kFileName), "kav");
    EXPECT_EQ(panel.text(ctl::kPresetCount), "0");
    EXPECT_EQ(panel.text(ctl::kPresetSign), "+");
    EXPECT_EQ(panel.selection(ctl::kSpeedStep), 1);
    EXPECT_EQ(panel.selection(ctl::kPort), 0);
    EXPECT_EQ(entries(panel, ctl::kPort), QStringList{"NET"});
    EXPECT_EQ(panel.selection(ctl::kPitch), 0);
    EXPECT_EQ(panel.selection(ctl::kFunction), 0);
    EXPECT_EQ(entries(panel, ctl::kFunction),
              (QStringList{"standard", "pocket checking", "transparent tape"}));
    const QString home = QString::fromStdString(userHomeFolder().string());
    EXPECT_EQ(panel.text(ctl::kRecordPath), home + "/kav20250305090307.csv");

    panel.close();
    EXPECT_EQ(panel.storedInt(setting::firstRunStamp), kFirstRunStamp);
    EXPECT_EQ(panel.storedString(setting::speedValue2), "30");
    EXPECT_EQ(panel.storedInt(setting::presetCount), 0);
    EXPECT_EQ(panel.storedString(setting::recordFolder), "<absent>");
    EXPECT_EQ(panel.storedString(setting::panelPassword), "<absent>");
}

TEST(Startup, StoredNegativePresetAndOutOfRangeIndexes) {
    PanelHarness panel;
    {
        SettingsStore store(panel.settingsFile());
        store.setInt(setting::firstRunStamp, kFirstRunStamp);
        store.setInt(setting::presetCount, -25);
        store.setInt(setting::recordFormat, 5);
        store.setInt(setting::speedStep, 7);
    }
    testing::internal::CaptureStdout();
    panel.open();
    EXPECT_EQ(testing::internal::GetCapturedStdout().find("is first"), std::string::npos);
    EXPECT_EQ(panel.text(ctl::kPresetSign), "-");
    EXPECT_EQ(panel.text(ctl::kPresetCount), "25");
    // Positions outside their lists read as the defaults, as wrong types do.
    EXPECT_EQ(panel.selection(ctl::kRecordFormat), setting::recordFormat.readDefault);
    EXPECT_EQ(panel.selection(ctl::kSpeedStep), setting::speedStep.readDefault);
    panel.close();
    EXPECT_EQ(panel.storedInt(setting::presetCount), -25);
}

TEST(Startup, AnotherVersionResetsSevenKeysAndKeepsTheRest) {
    PanelHarness panel;
    {
        SettingsStore store(panel.settingsFile());
        store.setInt(setting::firstRunStamp, kFirstRunStamp - 1);
        store.setText(setting::wifiName, "lab");
        store.setInt(setting::speedStep, 2);
        store.setInt(setting::presetCount, -40);
        store.setText(setting::speedValue2, "");
        store.setText(setting::recordFolder, "/data/");
        store.setText(setting::panelPassword, "secret");
    }
    panel.open();
    EXPECT_EQ(panel.text(ctl::kSsid), "default");
    EXPECT_EQ(panel.selection(ctl::kSpeedStep), 1);
    EXPECT_EQ(panel.text(ctl::kSpeed2), "");
    EXPECT_EQ(panel.text(ctl::kPresetCount), "40");
    EXPECT_EQ(panel.model().text(TextValue::RecordFolder), "/data/");
    panel.close();
    EXPECT_EQ(panel.storedInt(setting::presetCount), -40);
    EXPECT_EQ(panel.storedString(setting::speedValue2), "");
    EXPECT_EQ(panel.storedString(setting::panelPassword), "secret");
}

TEST(Startup, WindowIsNarrowedAndEnterDoesNotClose) {
    PanelHarness panel;
    MainWindow& dlg = panel.open();
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    const int fullWidth = dlg.fullRect().width();
    EXPECT_GT(fullWidth, 400);
    EXPECT_EQ(dlg.frameGeometry().width(), fullWidth / 2 - 35);
    EXPECT_FALSE(panel.model().flag(FlagValue::PanelOpen));

    QTest::keyClick(panel.control(ctl::kFileName), Qt::Key_Return);
    QTest::keyClick(&dlg, Qt::Key_Enter);
    EXPECT_TRUE(dlg.isVisible());
    panel.showParameterPanel();
    auto* templateEdit = static_cast<QPlainTextEdit*>(panel.control(ctl::kTemplate));
    templateEdit->setFocus();
    templateEdit->moveCursor(QTextCursor::End);
    QTest::keyClick(templateEdit, Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(panel.text(ctl::kTemplate).endsWith("P1,1\r\n\r\n"));

    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
}

}  // namespace

namespace {

TEST(Startup, EveryControlIsFoundByItsIdentifier) {
    PanelHarness panel;
    MainWindow& dlg = panel.open();
    for (const ControlRow& entry : controlTable()) {
        if (entry.id != 0) {
            QWidget* widget = panel.control(entry.id);
            ASSERT_NE(widget, nullptr) << entry.id;
            EXPECT_EQ(widget->objectName(), QString::number(entry.id));
        }
    }
    EXPECT_EQ(panel.text(ctl::kPresetSign), "+");
    EXPECT_EQ(panel.text(ctl::kPanelToggle), ">>");
    EXPECT_EQ(panel.text(ctl::kStart), "START");
    EXPECT_EQ(dlg.windowTitle(), "");
}

// The icon is built into the program and drawn without any image plugin.
TEST(Startup, IconIsBuiltIn) {
    const QIcon icon(QStringLiteral(":/TolvaneApp.png"));
    EXPECT_FALSE(icon.pixmap(32, 32).isNull());
}

TEST(Startup, AboutBoxNamesTheProgramAndItsVersion) {
    PanelHarness panel;
    AboutBox about(QIcon(), &panel.open());
    EXPECT_EQ(about.windowTitle(), QString::fromUtf8("关于 TolvaneApp"));
    EXPECT_EQ(about.findChild<QLabel*>("name")->text(), QString::fromUtf8("TolvaneApp，1.0 版"));
    EXPECT_EQ(about.findChild<QPushButton*>("1")->text(), QString::fromUtf8("确定"));
}

}  // namespace
