// The live link on a running window: the port list follows the ports folder,
// a re-plugged adapter is reopened with no key pressed, and the status line
// says what the link does.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QStringList>

#include <chrono>
#include <filesystem>

#include "support/MachineFrame.h"
#include "support/PanelHarness.h"
#include "support/Probes.h"
#include "support/Pty.h"
#include "support/Wait.h"

namespace {

using namespace std::chrono_literals;

QStringList entries(PanelHarness& panel) {
    auto* list = static_cast<QComboBox*>(panel.control(ctl::kPort));
    QStringList all;
    for (int i = 0; i < list->count(); ++i) {
        all.append(list->itemText(i));
    }
    return all;
}

class LivePorts : public testing::Test {
  protected:
    LivePorts() : panel(true) {
        com7.linkAs(panel.portsDir(), "COM7");
        panel.open();
    }

    void choose(const QString& entry) {
        const int index = static_cast<int>(entries(panel).indexOf(entry));
        ASSERT_GE(index, 0) << entry.toStdString();
        panel.pick(ctl::kPort, index);
    }

    QString statusText() { return panel.statusLine().text; }

    PanelHarness panel;
    Pty com7;
};

// A name added after start is offered within a second and opens; removed, it
// leaves the list unless it is the operator's choice.
TEST_F(LivePorts, NamesAddedAndRemovedFollowTheListAndTheChoiceStays) {
    ASSERT_EQ(entries(panel), (QStringList{"NET", "COM7"}));
    Pty com4;
    const auto plugged = std::chrono::steady_clock::now();
    com4.linkAs(panel.portsDir(), "COM4");
    ASSERT_TRUE(waitUntil([&] { return entries(panel).contains("COM4"); }, 1000));
    EXPECT_LT(std::chrono::steady_clock::now() - plugged, 1s);
    EXPECT_EQ(entries(panel), (QStringList{"NET", "COM4", "COM7"}));
    EXPECT_EQ(panel.text(ctl::kPort), "NET") << "the selection is kept";

    choose("COM4");
    EXPECT_TRUE(panel.link().serialOpen);
    EXPECT_TRUE(panel.messages.empty());

    std::filesystem::remove(panel.portsDir() / "COM7");
    std::filesystem::remove(panel.portsDir() / "COM4");
    ASSERT_TRUE(waitUntil([&] { return !entries(panel).contains("COM7"); }, 1000));
    settle(50);
    EXPECT_EQ(entries(panel), (QStringList{"NET", "COM4"}));
    EXPECT_EQ(panel.text(ctl::kPort), "COM4");
    EXPECT_EQ(statusText(), "COM4 · adapter unplugged · waiting for it");
}

// The pty's master closed and a new pty linked under the same name: the
// window reopens it by itself, and a frame from the new one is mirrored.
TEST_F(LivePorts, ARepluggedAdapterIsReopenedAndItsFramesMirrored) {
    choose("COM7");
    ASSERT_TRUE(panel.link().serialOpen);
    EXPECT_EQ(statusText().toStdString(),
              "COM7 · open (" + std::filesystem::canonical(com7.slavePath()).string() +
                  ") · no frame yet");

    com7.unplug();
    ASSERT_TRUE(waitUntil([&] { return panel.link().serial == SerialState::Away; }));
    EXPECT_EQ(statusText(), "COM7 · adapter unplugged · waiting for it");
    EXPECT_EQ(entries(panel), (QStringList{"NET", "COM7"})) << "selected, so still listed";
    panel.click(ctl::kPrint);
    EXPECT_EQ(panel.messages,
              std::vector<QString>{QString::fromUtf8("写串口失败，请选择正确串口号!")});

    Pty replugged;
    const auto plugged = std::chrono::steady_clock::now();
    replugged.relinkAs(panel.portsDir(), "COM7");
    ASSERT_TRUE(waitUntil([&] { return panel.link().serialOpen; }, 1000));
    EXPECT_LT(std::chrono::steady_clock::now() - plugged, 1s);

    const QString shownBefore = panel.text(ctl::kData);
    replugged.write(countFrame(42));
    ASSERT_TRUE(waitUntil([&] { return panel.text(ctl::kData) != shownBefore; }));
    EXPECT_TRUE(statusText().endsWith("last frame 0 s ago")) << statusText().toStdString();
    EXPECT_EQ(panel.statusLine().mark, LinkMark::Live);
    panel.click(ctl::kPrint);
    EXPECT_EQ(replugged.read(30ms), withNul("kavrin_key:print"));
    EXPECT_EQ(panel.messages.size(), 1u);
}

// NET before any machine, then a machine that sends; the status line is not
// a tab stop and lies within the narrow window.
TEST_F(LivePorts, TheStatusLineNamesTheMachineAndStaysOutOfTheWay) {
    EXPECT_EQ(statusText(),
              QStringLiteral("NET · waiting for the machine on UDP port %1").arg(panel.udpPort));
    QWidget* line = nullptr;
    for (QWidget* child : panel.window().findChildren<QWidget*>()) {
        if (child->toolTip() == statusText()) {
            line = child;
        }
    }
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(line->width(), panel.window().width());
    EXPECT_EQ(line->geometry().bottom(), panel.window().height() - 1);
}

}  // namespace
