#include "os/OpenFilesLimit.h"

#include <dirent.h>
#include <sys/resource.h>

#include <cstdio>
#include <fstream>

namespace {

// The most the kernel lets a process open (fs.nr_open); a soft limit above it
// is refused.
rlim_t kernelCeiling() {
    std::ifstream file("/proc/sys/fs/nr_open");
    unsigned long long ceiling = 0;
    if (file >> ceiling && ceiling > 0) {
        return static_cast<rlim_t>(ceiling);
    }
    return RLIM_INFINITY;
}

// Descriptors open now; 0 when they cannot be counted.
unsigned long openNow() {
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr) {
        return 0;
    }
    unsigned long count = 0;
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_name[0] != '.') {
            ++count;
        }
    }
    ::closedir(folder);
    return count > 0 ? count - 1 : 0;  // less the folder's own descriptor
}

std::string limitText(rlim_t limit) {
    return limit == RLIM_INFINITY ? std::string("unlimited") : std::to_string(limit);
}

}  // namespace

OpenFilesOutcome raiseOpenFilesLimit(unsigned long needed) {
    OpenFilesOutcome outcome;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return outcome;  // nothing known: nothing refused
    }
    rlim_t wanted = limit.rlim_max;
    if (const rlim_t ceiling = kernelCeiling(); wanted > ceiling) {
        wanted = ceiling;
    }
    if (wanted > limit.rlim_cur) {
        rlimit raised = limit;
        raised.rlim_cur = wanted;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) {
            limit = raised;
        }
    }
    outcome.soft = limit.rlim_cur == RLIM_INFINITY ? static_cast<unsigned long>(-1)
                                                   : static_cast<unsigned long>(limit.rlim_cur);
    const unsigned long open = openNow();
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < open + needed) {
        outcome.enough = false;
        outcome.message = "too few open files allowed: the limit is " + limitText(limit.rlim_cur) +
                          " (hard limit " + limitText(limit.rlim_max) +
                          ", ulimit -n), and the panel needs " + std::to_string(open + needed) +
                          "; raise it and start again";
    }
    return outcome;
}
