// The status line's words for every state of the plant link.
#include <gtest/gtest.h>

#include "plant/PlantStatus.h"

namespace {

PlantStatus status(PlantPhase phase, std::string reason = {}, std::int64_t waiting = -1) {
    return PlantStatus{phase, "broker.local:8883", "broker.local", std::move(reason), waiting};
}

struct TextRow {
    const char* name;
    PlantStatus status;
    const char* text;
};

void PrintTo(const TextRow& row, std::ostream* out) {
    *out << row.name;
}

class PlantStatusText : public testing::TestWithParam<TextRow> {};

TEST_P(PlantStatusText, Reads) {
    EXPECT_EQ(describePlantStatus(GetParam().status), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    PlantStatus, PlantStatusText,
    testing::Values(
        TextRow{"Off", status(PlantPhase::Off), ""},
        TextRow{"Connected", status(PlantPhase::Connected, {}, 0),
                "plant: broker.local:8883 · connected · 0 waiting"},
        TextRow{"ConnectedBeforeTheJournalIsRead", status(PlantPhase::Connected),
                "plant: broker.local:8883 · connected"},
        TextRow{"Connecting", status(PlantPhase::Connecting, {}, 3),
                "plant: connecting to broker.local:8883 · 3 waiting"},
        TextRow{"Unreachable", status(PlantPhase::Unreachable, "connection refused", 42),
                "plant: cannot reach broker.local:8883 (connection refused) · 42 waiting"},
        TextRow{"NotAuthorised", status(PlantPhase::NotAuthorised, {}, 42),
                "plant: not authorised"},
        TextRow{"Refused", status(PlantPhase::Refused, "identifier rejected", 1),
                "plant: broker.local:8883 refused the link (identifier rejected) · 1 waiting"},
        TextRow{"CertificateMismatch", status(PlantPhase::CertificateMismatch, {}, 5),
                "plant: certificate does not match broker.local"},
        TextRow{"CertificateUntrusted",
                status(PlantPhase::CertificateUntrusted, "certificate has expired"),
                "plant: certificate of broker.local not trusted (certificate has expired)"},
        TextRow{"Unusable", status(PlantPhase::Unusable, "a password needs a user name"),
                "plant: a password needs a user name"},
        TextRow{"NoJournal", status(PlantPhase::NoJournal, "disk full"),
                "plant: journal not available (disk full)"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
