// The operator's commands, end to end: each row is one operator action on a
// real window, the exact datagrams it puts on the loopback wire, what the
// settings file holds afterwards and what the next run shows. Every row runs
// on three links: a known peer, the state mirror's suppression, and NET before
// the machine has spoken. Only the first carries bytes; all three store the same.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "settings/SettingsTable.h"
#include "support/LoopbackWire.h"
#include "support/PanelHarness.h"

namespace {

using testing::EndsWith;
using testing::Matcher;

using Step = std::function<void(PanelHarness&)>;

struct Row {
    const char* name;
    Step prepare;  // runs before the link is up: nothing it sends reaches the wire
    Step act;
    std::vector<std::string> sent = {};  // command texts in order, each framed by one NUL
    // Stored values as storedValue() renders them: "7", "\"text\"", "<absent>".
    std::vector<std::pair<const char*, Matcher<std::string>>> stored = {};
    std::vector<std::pair<int, Matcher<std::string>>> shown = {};
    std::vector<std::pair<int, Matcher<std::string>>> afterRestart = {};
    std::size_t messageBoxes = 0;
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

enum class Link { Peer, NoPeer };

const char* linkName(Link link) {
    switch (link) {
        case Link::Peer:
            return "Peer";
        case Link::NoPeer:
            return "NoPeer";
    }
    return "";
}

void PrintTo(Link link, std::ostream* out) {
    *out << linkName(link);
}

Step type(int id, std::string text) {
    return [id, text](PanelHarness& p) { p.type(id, QString::fromStdString(text)); };
}
Step click(int id, int times = 1) {
    return [id, times](PanelHarness& p) {
        for (int i = 0; i < times; ++i) {
            p.click(id);
        }
    };
}
Step pick(int id, std::vector<int> indexes) {
    return [id, indexes](PanelHarness& p) {
        for (int index : indexes) {
            p.pick(id, index);
        }
    };
}
Step browse(std::string folder) {
    return [folder](PanelHarness& p) {
        p.folderChoice = folder;
        p.click(ctl::kBrowse);
    };
}
Step steps(std::vector<Step> all) {
    return [all](PanelHarness& p) {
        for (const Step& step : all) {
            step(p);
        }
    };
}

std::string quoted(const std::string& text) {
    return '"' + text + '"';
}

// A key as the next run finds it: a string quoted, an integer bare.
std::string storedValue(const PanelHarness& panel, const char* key) {
    const QString absent = QStringLiteral("\x01");
    const QString text = panel.storedString(key, absent);
    if (text != absent) {
        return quoted(text.toStdString());
    }
    const int value = panel.storedInt(key, 0);
    return value == panel.storedInt(key, 1) ? std::to_string(value) : "<absent>";
}

// The trace shows a command's CR and LF (the template's line ends, the only
// control bytes in these rows) as \x0d and \x0a.
std::string netTrace(const std::vector<std::string>& commands) {
    std::string trace;
    for (const std::string& command : commands) {
        trace += "D:[CTolvaneAppDlg::tmSendMsg,799]net cmd:\r\n";
        for (const char c : command) {
            trace += c == '\r' ? "\\x0d" : c == '\n' ? "\\x0a" : std::string(1, c);
        }
        trace += "\r\n";
    }
    return trace;
}

// The largest template whose command and NUL still fit in one UDP datagram.
constexpr std::size_t kLargestTemplate = 65507 - std::string_view("kavrin_cmd:").size() - 1;

const std::string kStamp = "20250305090307";

std::vector<Row> rows() {
    using namespace ctl;
    const std::string fullTemplate = defaultLabelTemplate();
    const std::string largest(kLargestTemplate, 'A');
    const std::string tooLong(kLargestTemplate + 1, 'A');
    return {
        // Keys: fixed texts; START is 15 characters, 16 bytes with its NUL.
        {"Rewind", {}, click(kRewind), {"kavrin_key:rewind"}},
        {"Stop", {}, click(kStop), {"kavrin_key:stop"}},
        {"Start", {}, click(kStart), {"kavrin_key:star"}},
        {"Print", {}, click(kPrint), {"kavrin_key:print"}},
        {"ClearHasNoColon", {}, click(kClear), {"kavrin_clear"}},
        {"TwoClicksSendTwo", {}, click(kStart, 2), {"kavrin_key:star", "kavrin_key:star"}},

        // Clock and Wi-Fi.
        {"Clock",
         {},
         steps({click(kTime), [](PanelHarness& p) { p.controller().showClock(); }}),
         {"kavrin_time:2025,03,05,09,03,07"},
         {},
         {{kClock, "2025-03-05 09:03:07"}}},
        {"WifiEmptyPassword",
         {},
         steps({type(kSsid, "lab"), type(kWifiPassword, ""), click(kWifiSet)}),
         {"kavrin_wifi:lab,,192.168.1.20,39451"},
         {{setting::wifiName.name, quoted("lab")}, {setting::wifiPassword.name, quoted("")}},
         {},
         {{kSsid, "lab"}, {kWifiPassword, ""}}},
        {"ClockBeyondTheCalendar",
         [](PanelHarness& p) { p.now = std::numeric_limits<std::time_t>::max(); },
         click(kTime),
         {"kavrin_time:0,00,00,-1,-1,-1"}},
        // Typed text goes out in the 8-bit encoding, UTF-8, byte for byte.
        {"WifiNameBeyondAscii",
         {},
         steps(
             {type(kSsid, "caf\xc3\xa9 \xe2\x82\xac"), type(kWifiPassword, "pw"), click(kWifiSet)}),
         {"kavrin_wifi:caf\xc3\xa9 \xe2\x82\xac,pw,192.168.1.20,39451"},
         {{setting::wifiName.name, quoted("caf\xc3\xa9 \xe2\x82\xac")}},
         {},
         {{kSsid, "caf\xc3\xa9 \xe2\x82\xac"}}},
        // Without an address of this computer the machine could not reach the
        // panel: nothing is sent or stored, one message box says why.
        {"WifiWithoutLocalAddress",
         {},
         steps({[](PanelHarness& p) { p.localIp.clear(); }, type(kSsid, "lab"),
                type(kWifiPassword, "pw"), click(kWifiSet)}),
         {},
         {{setting::wifiName.name, quoted("default")},
          {setting::wifiPassword.name, quoted("lantern")}},
         {},
         {},
         1},
        // A comma or a NUL would split the command wrongly: nothing is sent or
        // stored, one message box says why.
        {"WifiCommaInName",
         {},
         steps({type(kSsid, "Lab,2F"), type(kWifiPassword, "pw"), click(kWifiSet)}),
         {},
         {{setting::wifiName.name, quoted("default")},
          {setting::wifiPassword.name, quoted("lantern")}},
         {},
         {},
         1},
        {"WifiCommaInPassword",
         {},
         steps({type(kSsid, "lab"), type(kWifiPassword, "p,w,"), click(kWifiSet)}),
         {},
         {{setting::wifiName.name, quoted("default")},
          {setting::wifiPassword.name, quoted("lantern")}},
         {},
         {},
         1},
        {"WifiNulInPassword",
         {},
         steps({type(kSsid, "lab"), type(kWifiPassword, std::string("pw\0x", 4)), click(kWifiSet)}),
         {},
         {{setting::wifiPassword.name, quoted("lantern")}},
         {},
         {},
         1},

        // Function, pitch and speed step: only the speed step is remembered.
        {"Function",
         {},
         pick(kFunction, {1, 2}),
         {"kavrin_func:1", "kavrin_func:2"},
         {},
         {},
         {{kFunction, "standard"}}},
        {"PitchSendsTheValueNotTheIndex",
         {},
         pick(kPitch, {2, 14}),
         {"kavrin_pitch:8", "kavrin_pitch:56"},
         {},
         {},
         {{kPitch, "2"}}},
        {"SpeedStepS3",
         {},
         pick(kSpeedStep, {2}),
         {"kavrin_speed_sel:2"},
         {{setting::speedStep.name, "2"}},
         {},
         {{kSpeedStep, "S3"}}},
        {"SpeedStepS1",
         {},
         pick(kSpeedStep, {0}),
         {"kavrin_speed_sel:0"},
         {{setting::speedStep.name, "0"}},
         {},
         {{kSpeedStep, "S1"}}},

        // Preset: the count text goes out as typed, the stored value is signed.
        {"PositiveCount",
         {},
         type(kPresetCount, "250"),
         {"kavrin_preset:cnt,250"},
         {{setting::presetCount.name, "250"}},
         {},
         {{kPresetSign, "+"}, {kPresetCount, "250"}}},
        {"NegativeCount",
         click(kPresetSign),
         type(kPresetCount, "250"),
         {"kavrin_preset:cnt,-250"},
         {{setting::presetCount.name, "-250"}},
         {},
         {{kPresetSign, "-"}, {kPresetCount, "250"}}},
        {"SignClickFlipsAndSendsAtOnce",
         type(kPresetCount, "250"),
         click(kPresetSign, 2),
         {"kavrin_preset:cnt,-250", "kavrin_preset:cnt,250"},
         {{setting::presetCount.name, "250"}},
         {{kPresetSign, "+"}}},
        {"MinusZero",
         {},
         click(kPresetSign),
         {"kavrin_preset:cnt,-0"},
         {{setting::presetCount.name, "0"}},
         {{kPresetSign, "-"}},
         {{kPresetSign, "+"}, {kPresetCount, "0"}}},
        {"CountAsTyped",
         {},
         type(kPresetCount, "007"),
         {"kavrin_preset:cnt,007"},
         {{setting::presetCount.name, "7"}},
         {},
         {{kPresetCount, "7"}}},
        {"EmptyCount",
         {},
         steps({type(kPresetCount, ""), click(kPresetSign)}),
         {"kavrin_preset:cnt,", "kavrin_preset:cnt,-"},
         {{setting::presetCount.name, "0"}}},
        // The edit holds a count the machine can have: what is sent is what
        // is stored, and a count beyond it is refused whole.
        {"LargestCount",
         {},
         type(kPresetCount, "2147483647"),
         {"kavrin_preset:cnt,2147483647"},
         {{setting::presetCount.name, "2147483647"}},
         {},
         {{kPresetSign, "+"}, {kPresetCount, "2147483647"}}},
        {"CountBeyondThirtyTwoBits",
         type(kPresetCount, "12"),
         type(kPresetCount, "2147483648"),
         {},
         {{setting::presetCount.name, "12"}},
         {{kPresetCount, "12"}},
         {{kPresetSign, "+"}, {kPresetCount, "12"}}},
        {"PastedTwentyDigits",
         click(kPresetSign),
         type(kPresetCount, "12345678901234567890"),
         {},
         {{setting::presetCount.name, "0"}},
         {{kPresetCount, "0"}},
         {{kPresetSign, "+"}, {kPresetCount, "0"}}},
        {"PresetOnThenOff",
         type(kPresetCount, "100"),
         click(kPresetOn, 2),
         {"kavrin_preset:enable=1,100", "kavrin_preset:enable=0,100"},
         {{setting::presetCount.name, "100"}}},
        {"PresetOnWithMinus",
         steps({type(kPresetCount, "100"), click(kPresetSign)}),
         click(kPresetOn),
         {"kavrin_preset:enable=1,-100"},
         {{setting::presetCount.name, "-100"}}},

        // Speed values: all three go out, only the changed one is stored.
        {"S2PastedOver",
         [](PanelHarness& p) {
             p.store().setText(setting::speedValue1, QStringLiteral("kept"));
             p.store().setText(setting::speedValue3, QStringLiteral("kept"));
         },
         type(kSpeed2, "35"),
         {"kavrin_speed3:15,35,45"},
         {{setting::speedValue1.name, quoted("kept")},
          {setting::speedValue2.name, quoted("35")},
          {setting::speedValue3.name, quoted("kept")}}},
        {"S2Emptied",
         {},
         type(kSpeed2, ""),
         {"kavrin_speed3:15,,45"},
         {{setting::speedValue2.name, quoted("")}},
         {},
         {{kSpeed2, ""}}},
        {"S1WithComma",
         {},
         type(kSpeed1, "1,5"),
         {"kavrin_speed3:1,5,30,45"},
         {{setting::speedValue1.name, quoted("1,5")}}},

        // Label template: stored as edited, sent only by PRINTER SET.
        {"FirstRunTemplate",
         {},
         click(kPrinterSet),
         {"kavrin_cmd:" + fullTemplate},
         {{setting::labelTemplate.name, quoted(fullTemplate)}},
         {},
         {{kTemplate, fullTemplate}}},
        {"EmptyTemplate",
         {},
         steps({type(kTemplate, ""), click(kPrinterSet)}),
         {"kavrin_cmd:"},
         {{setting::labelTemplate.name, quoted("")}},
         {},
         {{kTemplate, ""}}},
        {"TemplateFillingOneDatagram",
         type(kTemplate, largest),
         click(kPrinterSet),
         {"kavrin_cmd:" + largest}},
        {"TemplateTooLongForOneDatagram",
         {},
         steps({type(kTemplate, tooLong), click(kPrinterSet)}),
         {},
         {{setting::labelTemplate.name, quoted(tooLong)}},
         {},
         {},
         1},

        // Record file settings.
        {"XmlFormat",
         {},
         pick(kRecordFormat, {1}),
         {"kavrin_f2name:1"},
         {{setting::recordFormat.name, "1"}},
         {{kRecordPath, EndsWith("/kav" + kStamp + ".xml")}},
         {{kRecordFormat, "xml"}}},
        {"CsvFormat",
         pick(kRecordFormat, {1}),
         pick(kRecordFormat, {0}),
         {"kavrin_f2name:0"},
         {{setting::recordFormat.name, "0"}},
         {{kRecordPath, EndsWith("/kav" + kStamp + ".csv")}}},
        {"ChosenFolder",
         {},
         browse("/data/x/"),
         {},
         {{setting::recordFolder.name, quoted("/data/x/")}},
         {{kRecordPath, "/data/x/kav" + kStamp + ".csv"}},
         {{kRecordPath, "/data/x/kav" + kStamp + ".csv"}}},
        {"CancelledFolder",
         browse("/data/x/"),
         browse(""),
         {},
         {{setting::recordFolder.name, quoted("/data/x/")}},
         {{kRecordPath, "kav" + kStamp + ".csv"}},
         {{kRecordPath, "/data/x/kav" + kStamp + ".csv"}}},
        {"EmptyFileName",
         {},
         type(kFileName, ""),
         {},
         {{setting::recordFileName.name, quoted("")}},
         {{kRecordPath, EndsWith("/" + kStamp + ".csv")}},
         {{kFileName, ""}}},
    };
}

class OperatorCommand : public testing::TestWithParam<std::tuple<Row, Link>> {};

TEST_P(OperatorCommand, SendsStoresAndSurvivesARestart) {
    const auto& [row, link] = GetParam();
    UtcTimeZone utc;
    LoopbackWire wire;
    PanelHarness panel;
    panel.now = kFixedInstant;
    panel.open();
    panel.showParameterPanel();  // every control within reach
    if (row.prepare) {
        row.prepare(panel);
    }
    wire.attach(panel.panel().link(), link != Link::NoPeer);

    testing::internal::CaptureStdout();
    row.act(panel);
    const std::string trace = testing::internal::GetCapturedStdout();

    std::vector<std::string> datagrams;
    if (link == Link::Peer) {
        for (const std::string& command : row.sent) {
            datagrams.push_back(command + '\0');
        }
    }
    EXPECT_EQ(wire.sent(), datagrams);
    EXPECT_EQ(trace, netTrace(row.sent));
    EXPECT_EQ(panel.messages.size(), row.messageBoxes);
    for (const auto& [id, text] : row.shown) {
        EXPECT_THAT(panel.text(id).toStdString(), text) << "control " << id;
    }
    for (const auto& [key, value] : row.stored) {
        EXPECT_THAT(storedValue(panel, key), value) << key;
    }

    panel.restart();
    for (const auto& [id, text] : row.afterRestart) {
        EXPECT_THAT(panel.text(id).toStdString(), text) << "control " << id << " after restart";
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, OperatorCommand,
                         testing::Combine(testing::ValuesIn(rows()),
                                          testing::Values(Link::Peer, Link::NoPeer)),
                         [](const testing::TestParamInfo<std::tuple<Row, Link>>& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    linkName(std::get<1>(info.param));
                         });

}  // namespace
