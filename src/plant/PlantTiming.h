#pragma once

#include <chrono>

// How long the plant link waits for the broker before it gives a connection
// up and starts another.
struct PlantTiming {
    std::chrono::milliseconds connectLimit{10'000};  // from connecting to the CONNACK
    std::chrono::milliseconds ackLimit{15'000};      // from a publish to its PUBACK
};
