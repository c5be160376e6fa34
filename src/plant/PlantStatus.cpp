#include "plant/PlantStatus.h"

namespace {

std::string waitingPart(const PlantStatus& status) {
    if (status.waiting < 0) {
        return {};
    }
    return " \xC2\xB7 " + std::to_string(status.waiting) + " waiting";
}

std::string withReason(const std::string& text, const std::string& reason) {
    return reason.empty() ? text : text + " (" + reason + ")";
}

}  // namespace

std::string describePlantStatus(const PlantStatus& status) {
    switch (status.phase) {
        case PlantPhase::Off:
            return {};
        case PlantPhase::Connecting:
            return "plant: connecting to " + status.endpoint + waitingPart(status);
        case PlantPhase::Connected:
            return "plant: " + status.endpoint + " \xC2\xB7 connected" + waitingPart(status);
        case PlantPhase::Unreachable:
            return withReason("plant: cannot reach " + status.endpoint, status.reason) +
                   waitingPart(status);
        case PlantPhase::NotAuthorised:
            return "plant: not authorised";
        case PlantPhase::Refused:
            return withReason("plant: " + status.endpoint + " refused the link", status.reason) +
                   waitingPart(status);
        case PlantPhase::CertificateMismatch:
            return "plant: certificate does not match " + status.host;
        case PlantPhase::CertificateUntrusted:
            return withReason("plant: certificate of " + status.host + " not trusted",
                              status.reason);
        case PlantPhase::Unusable:
            return "plant: " + status.reason;
        case PlantPhase::NoJournal:
            return withReason("plant: journal not available", status.reason);
    }
    return {};
}
