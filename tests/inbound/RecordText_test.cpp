#include "inbound/RecordText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

DeviceReport record(int32_t data, std::string time, std::array<std::string, 3> slots) {
    DeviceReport report;
    report.state.data = data;
    report.isRecord = true;
    report.time = std::move(time);
    report.slots = std::move(slots);
    return report;
}

struct TextCase {
    const char* name;
    DeviceReport report;
    std::string csv;
    std::string xml;
};

const TextCase kTextCases[] = {
    {"SlotsByPosition", record(12, "T", {"a", "", "c"}), "time=T,data=12,S0=a,S2=c",
     "<time>T</time>\r\n<data>12</data>\r\n<S0>a</S0>\r\n<S2>c</S2>\r\n"},
    {"AllSlots", record(7, "10:00", {"a", "b", "c"}), "time=10:00,data=7,S0=a,S1=b,S2=c",
     "<time>10:00</time>\r\n<data>7</data>\r\n<S0>a</S0>\r\n<S1>b</S1>\r\n<S2>c</S2>\r\n"},
    {"OnlySecondSlot", record(3, "T", {"", "b", ""}), "time=T,data=3,S1=b",
     "<time>T</time>\r\n<data>3</data>\r\n<S1>b</S1>\r\n"},
    {"NoSlots", record(12, "T", {}), "time=T,data=12", "<time>T</time>\r\n<data>12</data>\r\n"},
    {"NegativeCountAsMagnitude", record(-5, "T", {}), "time=T,data=5",
     "<time>T</time>\r\n<data>5</data>\r\n"},
    {"MostNegativeCount", record(std::numeric_limits<int32_t>::min(), "T", {}),
     "time=T,data=2147483648", "<time>T</time>\r\n<data>2147483648</data>\r\n"},
    {"LargestCount", record(std::numeric_limits<int32_t>::max(), "T", {}), "time=T,data=2147483647",
     "<time>T</time>\r\n<data>2147483647</data>\r\n"},
    {"ZeroCountEmptyTime", record(0, "", {}), "time=,data=0",
     "<time></time>\r\n<data>0</data>\r\n"},
    {"TextsWrittenAsReceived", record(1, "a=b", {"x,y", "<z>", ""}),
     "time=a=b,data=1,S0=x,y,S1=<z>",
     "<time>a=b</time>\r\n<data>1</data>\r\n<S0>x,y</S0>\r\n<S1><z></S1>\r\n"},
};

class RecordTextTable : public ::testing::TestWithParam<TextCase> {};

TEST_P(RecordTextTable, CsvAndXmlBytes) {
    const TextCase& c = GetParam();
    EXPECT_EQ(csvRecord(c.report), c.csv);
    EXPECT_EQ(xmlRecord(c.report), c.xml);
    EXPECT_EQ(recordText(c.report, "csv"), c.csv);
    EXPECT_EQ(recordText(c.report, "xml"), c.xml);
}

INSTANTIATE_TEST_SUITE_P(Records, RecordTextTable, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RecordText, OtherFormatsGiveEmptyText) {
    const DeviceReport report = record(12, "T", {"a", "", ""});
    for (const char* format : {"", "CSV", "Xml", "csv ", " xml", "txt", "cs"}) {
        EXPECT_EQ(recordText(report, format), "") << "format '" << format << "'";
    }
}

}  // namespace
