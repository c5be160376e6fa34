#include "common/ProcStats.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

long statusField(const std::filesystem::path& status, const std::string& key) {
    std::ifstream in(status);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + ":", 0) == 0) {
            return std::stol(line.substr(key.size() + 1));
        }
    }
    return 0;
}

std::string firstLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// schedstat counts in nanoseconds; stat only in clock ticks, the fallback.
std::uint64_t cpuTimeNs(const std::filesystem::path& task) {
    std::istringstream schedstat(firstLine(task / "schedstat"));
    std::uint64_t ns = 0;
    if (schedstat >> ns) {
        return ns;
    }
    const std::string stat = firstLine(task / "stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    std::uint64_t ticks = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14 || index == 15) {
            ticks += std::stoull(field);
        }
    }
    return ticks * 1'000'000'000ull / static_cast<std::uint64_t>(::sysconf(_SC_CLK_TCK));
}

}  // namespace

std::vector<ThreadSample> sampleThreads(pid_t pid) {
    std::vector<ThreadSample> samples;
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& entry : std::filesystem::directory_iterator(tasks, error)) {
        ThreadSample sample;
        sample.tid = static_cast<pid_t>(std::stol(entry.path().filename().string()));
        sample.name = firstLine(entry.path() / "comm");
        sample.voluntarySwitches = statusField(entry.path() / "status", "voluntary_ctxt_switches");
        sample.involuntarySwitches =
            statusField(entry.path() / "status", "nonvoluntary_ctxt_switches");
        sample.cpuNs = cpuTimeNs(entry.path());
        samples.push_back(sample);
    }
    return samples;
}

long residentKb(pid_t pid) {
    return statusField("/proc/" + std::to_string(pid) + "/status", "VmRSS");
}
