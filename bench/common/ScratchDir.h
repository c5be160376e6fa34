#pragma once

#include <filesystem>
#include <string>

// A fresh folder on the local disk (under $TOLVANE_BENCH_DIR, else the
// temporary folder), removed with its contents at the end.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};
