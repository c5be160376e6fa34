#include "cli/StartGuard.h"

#include <cstdio>
#include <new>
#include <system_error>

int runGuarded(const char* program, const std::function<int()>& body) {
    try {
        return body();
    } catch (const std::system_error& failure) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: cannot go on: %s\n", program, failure.what());
    } catch (const std::bad_alloc&) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: cannot go on: out of memory (ulimit -v?)\n", program);
    }
    return 1;
}
