#pragma once

#include <cstdint>
#include <string>

// Where the plant link stands, as the status line shows it.
enum class PlantPhase {
    Off,                   // no broker configured
    Connecting,            // connecting, or waiting to connect again
    Connected,             // the broker accepted the link
    Unreachable,           // no connection, or it was lost; `reason` says why
    NotAuthorised,         // the broker refused the user name or password
    Refused,               // the broker refused the link for another reason
    CertificateMismatch,   // the broker's certificate is for another host name
    CertificateUntrusted,  // the broker's certificate failed its check; `reason` says why
    Unusable,              // the configuration cannot be used; `reason` says why
    NoJournal,             // the journal cannot be opened; `reason` says why
};

struct PlantStatus {
    PlantPhase phase = PlantPhase::Off;
    std::string endpoint;  // "broker.local:8883"
    std::string host;      // "broker.local"
    std::string reason;
    std::int64_t waiting = -1;  // records not yet acknowledged; -1: not known yet

    bool operator==(const PlantStatus&) const = default;
};

// The status line's words: "plant: broker.local:8883 · connected · 0 waiting",
// "plant: cannot reach broker.local:8883 (connection refused) · 42 waiting",
// "plant: not authorised", "plant: certificate does not match broker.local".
// Empty when the link is off.
std::string describePlantStatus(const PlantStatus& status);
