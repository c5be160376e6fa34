#include "common/ScratchDir.h"

#include <stdlib.h>

#include <cstdlib>
#include <stdexcept>

ScratchDir::ScratchDir() {
    const char* base = std::getenv("TOLVANE_BENCH_DIR");
    const std::filesystem::path folder = base != nullptr && base[0] == '/'
                                             ? std::filesystem::path(base)
                                             : std::filesystem::temp_directory_path();
    std::filesystem::create_directories(folder);
    std::string pattern = (folder / "tolvane-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp " + pattern);
    }
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}
