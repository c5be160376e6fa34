#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Cuts the byte stream of a serial line into commands. The panel ends every
// command with one NUL and a serial read may hold several commands or part of
// one, so bytes are collected until a NUL arrives. Each returned command keeps
// its NUL, so it is exactly the bytes the panel wrote for it.
class NulSplitter {
  public:
    // A panel that never sends a NUL must not make the buffer grow without end:
    // once the pending bytes reach this size they are handed out as one
    // unterminated command.
    static constexpr std::size_t kMaxPending = 1 << 20;

    explicit NulSplitter(std::size_t maxPending = kMaxPending) : maxPending_(maxPending) {}

    std::vector<std::string> feed(std::string_view bytes);

    // The bytes after the last NUL, handed out when the link ends.
    std::string takePending();

    std::size_t pendingSize() const { return pending_.size(); }

  private:
    std::size_t maxPending_;
    std::string pending_;
};

}  // namespace sim
