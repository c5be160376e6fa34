#include "inbound/JournalRow.h"

#include <ctime>
#include <utility>

int localUtcOffsetSeconds(std::chrono::system_clock::time_point at) {
    const std::time_t t = std::chrono::system_clock::to_time_t(at);
    std::tm local{};
    if (::localtime_r(&t, &local) == nullptr) {
        return 0;
    }
    return static_cast<int>(local.tm_gmtoff);
}

JournalRecord journalRowOf(const DeviceReport& report, std::string link,
                           std::chrono::system_clock::time_point arrived) {
    JournalRecord row;
    row.arrivedUtcMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(arrived.time_since_epoch()).count();
    row.utcOffsetSeconds = localUtcOffsetSeconds(arrived);
    row.machineTime = report.time;
    row.count = report.state.data;
    row.slots = report.slots;
    row.link = std::move(link);
    return row;
}
