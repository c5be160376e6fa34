#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// A fresh folder <prefix>-XXXXXX below `base` (made when missing), removed with
// everything in it at the end, even where a test took its permissions away.
class TempDir {
  public:
    explicit TempDir(const std::filesystem::path& base = std::filesystem::temp_directory_path(),
                     std::string_view prefix = "tolvane-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& bytes);
