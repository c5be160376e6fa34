// What the plant's consumers read: valid JSON in valid UTF-8, whatever bytes
// the machine sent, and the state message's fields.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <limits>
#include <string>

#include "plant/JsonText.h"
#include "plant/RecordPayload.h"
#include "plant/StatePayload.h"

namespace {

std::string jsonString(std::string_view bytes) {
    std::string out;
    appendJsonString(out, bytes);
    return out;
}

QJsonObject parsed(const std::string& json) {
    QJsonParseError error{};
    const auto document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
    return document.object();
}

struct EscapeRow {
    const char* name;
    std::string bytes;
    std::string json;
};

void PrintTo(const EscapeRow& row, std::ostream* out) {
    *out << row.name;
}

class JsonStrings : public testing::TestWithParam<EscapeRow> {};

TEST_P(JsonStrings, AreValidJsonInValidUtf8) {
    const std::string json = jsonString(GetParam().bytes);
    EXPECT_EQ(json, GetParam().json);
    // Qt's parser takes nothing but valid JSON; wrapped, the string must come through.
    EXPECT_TRUE(parsed("{\"v\":" + json + "}").contains("v"));
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, JsonStrings,
    testing::Values(EscapeRow{"Plain", "R0402-10k", "\"R0402-10k\""},
                    EscapeRow{"QuoteAndBackslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
                    EscapeRow{"ControlCharacters", std::string("a\nb\r\t\x01\x7f", 7),
                              "\"a\\nb\\r\\t\\u0001\\u007f\""},
                    EscapeRow{"Nul", std::string("a\0b", 3), "\"a\\u0000b\""},
                    EscapeRow{"ValidUtf8KeptAsItIs", "批次 µ €", "\"批次 µ €\""},
                    EscapeRow{"LoneHighByte", "a\xB5z", "\"a\xEF\xBF\xBDz\""},
                    EscapeRow{"TruncatedSequence", "a\xE6\x89", "\"a\xEF\xBF\xBD\xEF\xBF\xBD\""},
                    EscapeRow{"Overlong", "\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
                    EscapeRow{"Surrogate", "\xED\xA0\x80",
                              "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
                    EscapeRow{"PastU10FFFF", "\xF4\x90\x80\x80",
                              "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
                    EscapeRow{"FourByteSequence", "\xF0\x9F\x93\xA6", "\"\xF0\x9F\x93\xA6\""}),
    [](const auto& info) { return std::string(info.param.name); });

struct TimeRow {
    std::int64_t utcMs;
    std::int32_t offsetSeconds;
    const char* text;
};

TEST(RecordPayload, ArrivalIsTheStationsLocalTimeWithItsOffset) {
    for (const TimeRow& row : {
             TimeRow{1714997002517, 7200, "2024-05-06T14:03:22.517+02:00"},
             TimeRow{1714997002517, 0, "2024-05-06T12:03:22.517+00:00"},
             TimeRow{1714997002005, -5 * 3600, "2024-05-06T07:03:22.005-05:00"},
             TimeRow{1714997002517, 19800, "2024-05-06T17:33:22.517+05:30"},
             TimeRow{1704067199999, 3600, "2024-01-01T00:59:59.999+01:00"},
             TimeRow{1704067199999, -3600, "2023-12-31T22:59:59.999-01:00"},
             TimeRow{-1, 0, "1969-12-31T23:59:59.999+00:00"},
             TimeRow{1709208000000, 0, "2024-02-29T12:00:00.000+00:00"},
         }) {
        EXPECT_EQ(isoLocalTime(row.utcMs, row.offsetSeconds), row.text) << row.utcMs;
    }
}

TEST(RecordPayload, CarriesTheRecordAsTheJournalKeepsIt) {
    JournalRecord record;
    record.id = 1234;
    record.arrivedUtcMs = 1714997002517;
    record.utcOffsetSeconds = 7200;
    record.machineTime = "2024-05-06 14:03:22";
    record.count = -120;
    record.slots = {"R0402-10K", "", "LOT-2024-0506"};
    record.link = "NET 192.168.1.20:5000";
    record.file = "/home/operator/records/rec20240506140322.csv";
    record.written = true;
    EXPECT_EQ(recordPayload(record, "line3-a"),
              R"({"station":"line3-a","id":1234,"arrived":"2024-05-06T14:03:22.517+02:00",)"
              R"("machineTime":"2024-05-06 14:03:22","count":-120,"quantity":120,)"
              R"("slots":{"S0":"R0402-10K","S2":"LOT-2024-0506"},"link":"NET 192.168.1.20:5000",)"
              R"("file":"/home/operator/records/rec20240506140322.csv","written":true})");

    // The most negative count has a magnitude too; a record not written says why.
    record.count = std::numeric_limits<std::int32_t>::min();
    record.written = false;
    record.failure = "No space left on device";
    record.slots = {"", "", ""};
    const QJsonObject json = parsed(recordPayload(record, "line3-a"));
    EXPECT_EQ(json.value("count").toInteger(), -2147483648LL);
    EXPECT_EQ(json.value("quantity").toInteger(), 2147483648LL);
    EXPECT_TRUE(json.value("slots").toObject().isEmpty());
    EXPECT_FALSE(json.value("written").toBool());
    EXPECT_EQ(json.value("failure").toString(), "No space left on device");
}

TEST(StatePayload, CarriesTheMachineAndItsLink) {
    PlantMachineState state;
    state.link = "NET 192.168.1.20:5000";
    state.framesArriving = true;
    state.known = true;
    state.count = -120;
    state.function = 2;
    state.pitch = 8;
    state.speed = 1;
    state.s1 = 10;
    state.s2 = 20;
    state.s3 = 30;
    state.preset = -500;
    state.presetOn = true;
    const std::string json = statePayload(state, "line3-a");
    EXPECT_EQ(json,
              R"({"station":"line3-a","online":true,"link":"NET 192.168.1.20:5000",)"
              R"("framesArriving":true,"count":-120,"function":2,"pitch":8,"speed":1,"s1":10,)"
              R"("s2":20,"s3":30,"preset":-500,"presetOn":true})");
    parsed(json);
}

TEST(StatePayload, MachineValuesAreNullUntilAFrameArrived) {
    PlantMachineState state;
    state.link = "COM7";
    const QJsonObject json = parsed(statePayload(state, "line3-a"));
    EXPECT_TRUE(json.value("online").toBool());
    EXPECT_EQ(json.value("link").toString(), "COM7");
    EXPECT_FALSE(json.value("framesArriving").toBool());
    for (const char* key :
         {"count", "function", "pitch", "speed", "s1", "s2", "s3", "preset", "presetOn"}) {
        EXPECT_TRUE(json.value(key).isNull()) << key;
    }
}

TEST(StatePayload, LastWillSaysOffline) {
    EXPECT_EQ(kOfflinePayload, R"({"online":false})");
}

}  // namespace
