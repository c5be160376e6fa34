#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// What /proc tells about one thread of a process.
struct ThreadSample {
    pid_t tid = 0;
    std::string name;
    long voluntarySwitches = 0;    // times it blocked and was woken again
    long involuntarySwitches = 0;  // times it was preempted
    std::uint64_t cpuNs = 0;       // time on a CPU
};

std::vector<ThreadSample> sampleThreads(pid_t pid);

// Resident memory (VmRSS) of the process in KiB; 0 when unknown.
long residentKb(pid_t pid);
