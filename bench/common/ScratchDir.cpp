#include "common/ScratchDir.h"

#include <cstdlib>

std::filesystem::path scratchBase() {
    const char* base = std::getenv("TOLVANE_BENCH_DIR");
    return base != nullptr && base[0] == '/' ? std::filesystem::path(base)
                                             : std::filesystem::temp_directory_path();
}
