#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <vector>

// Waits for files written by other processes to reach a state, waking on
// changes in the watched folders instead of looking again and again. A folder
// that does not exist yet is watched from when it appears, provided its parent
// is watched too.
class FileWatch {
  public:
    explicit FileWatch(std::vector<std::filesystem::path> folders);
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // Waits until `done()` holds or `limit` passes; a readable descriptor in
    // `stopFds` (a child's exit, say) ends the wait early. Returns done().
    bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
                   const std::vector<int>& stopFds = {});

  private:
    void watchExisting();
    void drain();

    std::vector<std::filesystem::path> folders_;
    int fd_;
};
