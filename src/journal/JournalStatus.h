#pragma once

#include <cstddef>
#include <string>

// Whether the journal holds every record handed over to be put in it.
struct JournalStatus {
    bool kept = true;         // it does (or no journal was asked for)
    std::string reason;       // why not, when not kept
    std::size_t waiting = 0;  // records held to go in once the journal takes them again
    std::size_t lost = 0;     // records that will never be in it (too many waited)

    bool operator==(const JournalStatus&) const = default;
};
