// The parameter panel lock on a shown window: the password, the quick-click
// rule on the window's tick, and PASSWORD CHANGE across a restart.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "settings/SettingsTable.h"
#include "support/MachineFrame.h"
#include "support/PanelHarness.h"
#include "ui/MainWindow.h"

namespace {

struct LockRow {
    const char* name;
    std::optional<QString> newPassword;  // set with PASSWORD CHANGE before anything else
    bool restartAfterChange;
    QString typed;  // edit 1036 for every click
    std::uint32_t firstTick;
    std::vector<std::uint32_t> gaps;  // ms before each click after the first
    int opensOn;                      // the click that opens the panel, from 1; 0: none
};

void PrintTo(const LockRow& row, std::ostream* out) {
    *out << row.name;
}

std::vector<std::uint32_t> repeat(std::uint32_t gap, int times) {
    return std::vector<std::uint32_t>(static_cast<std::size_t>(times), gap);
}

std::vector<std::uint32_t> concat(std::vector<std::vector<std::uint32_t>> parts) {
    std::vector<std::uint32_t> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

const std::vector<LockRow> kRows = {
    {"DefaultPassword", {}, false, "teal", 100000, {}, 1},
    {"CaseDiffers", {}, false, "Teal", 100000, {}, 0},
    {"TrailingBlank", {}, false, "teal ", 100000, {}, 0},
    {"TenQuickFailedClicks", {}, false, "x", 100000, repeat(400, 9), 10},
    {"SlowSixthRestartsTheCount",
     {},
     false,
     "x",
     100000,
     concat({repeat(400, 4), {600}, repeat(400, 9)}),
     15},
    {"GapOfExactly500Counts", {}, false, "x", 100000, repeat(500, 9), 10},
    {"GapOf501Restarts",
     {},
     false,
     "x",
     100000,
     concat({repeat(500, 8), {501}, repeat(500, 9)}),
     19},
    // Soon after boot the first failed click is within 500 ms of tick 0.
    {"FirstClickSoonAfterBoot", {}, false, "x", 200, repeat(400, 9), 10},
    {"TickWrapsAround", {}, false, "x", 0xFFFFFC00u, repeat(400, 9), 10},
    {"EmptyNewPasswordOpensEmpty", QString(), false, "", 100000, {}, 1},
    {"NewPasswordOpens", QStringLiteral("n3w"), false, "n3w", 100000, {}, 1},
    {"OldPasswordNoLongerOpens", QStringLiteral("n3w"), false, "teal", 100000, {}, 0},
    {"NewPasswordOpensAfterRestart", QStringLiteral("n3w"), true, "n3w", 100000, {}, 1},
};

MainWindow& shown(MainWindow& dlg) {
    dlg.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    return dlg;
}

void expectPanel(PanelHarness& panel, const MainWindow& dlg, bool open, const std::string& when) {
    EXPECT_EQ(panel.model().flag(FlagValue::PanelOpen), open) << when;
    EXPECT_EQ(dlg.frameGeometry().width(),
              open ? dlg.fullRect().width() : narrowWidth(dlg.fullRect()))
        << when;
}

class PanelLock : public testing::TestWithParam<LockRow> {};

TEST_P(PanelLock, OpensOnlyOnTheExpectedClickAndClosesOnTheNext) {
    const LockRow& row = GetParam();
    PanelHarness panel;
    MainWindow* dlg = &shown(panel.open());
    if (row.newPassword) {
        panel.showParameterPanel();
        panel.type(ctl::kNewPassword, *row.newPassword);
        panel.click(ctl::kPasswordChange);
        EXPECT_EQ(panel.storedString(setting::panelPassword), *row.newPassword);
        panel.showParameterPanel(false);
        if (row.restartAfterChange) {
            dlg = &shown(panel.restart());
        }
    }
    panel.type(ctl::kPanelPassword, row.typed);
    panel.tick = row.firstTick;
    const int clicks = static_cast<int>(row.gaps.size()) + 1;
    for (int click = 1; click <= clicks; ++click) {
        if (click > 1) {
            panel.tick += row.gaps[static_cast<std::size_t>(click - 2)];
        }
        panel.click(ctl::kPanelToggle);
        expectPanel(panel, *dlg, click == row.opensOn, "click " + std::to_string(click));
        if (click == row.opensOn) {
            break;
        }
    }
    if (row.opensOn == 0) {
        return;
    }
    // A first click can only open through the password, which empties the
    // edit; the quick-click rule leaves the text where it is.
    EXPECT_EQ(panel.text(ctl::kPanelPassword), row.opensOn == 1 ? QString() : row.typed);

    panel.type(ctl::kPanelPassword, QStringLiteral("teal"));
    panel.tick += 100;
    panel.click(ctl::kPanelToggle);
    expectPanel(panel, *dlg, false, "closing click");
    EXPECT_EQ(panel.text(ctl::kPanelPassword), "teal");
}

INSTANTIATE_TEST_SUITE_P(Rows, PanelLock, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<LockRow>& info) {
                             return std::string(info.param.name);
                         });

// The count is kept across opening and closing: once it has reached ten, the
// next quick failed click opens the closed panel at once.
TEST(PanelLockCount, ReachedCountReopensOnTheNextQuickFailedClick) {
    PanelHarness panel;
    MainWindow& dlg = shown(panel.open());
    panel.type(ctl::kPanelPassword, QStringLiteral("x"));
    for (int click = 1; click <= 10; ++click) {
        panel.tick += 200;
        panel.click(ctl::kPanelToggle);
    }
    expectPanel(panel, dlg, true, "tenth failed click");
    panel.tick += 200;
    panel.click(ctl::kPanelToggle);
    expectPanel(panel, dlg, false, "closing click");
    panel.tick += 200;  // 400 ms after the last failed click
    panel.click(ctl::kPanelToggle);
    expectPanel(panel, dlg, true, "eleventh failed click");
}

}  // namespace

namespace {

// Closed, the parameter panel is out of reach: Tab and Shift+Tab move through
// the visible controls only, so nothing hidden can be typed into blind; the
// machine's values still reach it, and opening it brings it back in reach.
TEST(PanelLockReach, TabNeverReachesTheClosedPanel) {
    PanelHarness panel;
    MainWindow& window = panel.open();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const int narrow = window.width();
    for (const bool forward : {true, false}) {
        for (int step = 0; step < 60; ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                            forward ? Qt::NoModifier : Qt::ShiftModifier);
            QWidget* focused = QApplication::focusWidget();
            ASSERT_NE(focused, nullptr);
            EXPECT_LT(focused->mapTo(&window, QPoint(0, 0)).x(), narrow)
                << focused->objectName().toStdString();
        }
    }
    ASSERT_TRUE(panel.receive(frameText({.data = 1, .s2 = 77})));
    EXPECT_EQ(panel.text(ctl::kSpeed2), "77");
    panel.showParameterPanel();
    EXPECT_TRUE(panel.control(ctl::kSpeed2)->isEnabled());
}

}  // namespace
