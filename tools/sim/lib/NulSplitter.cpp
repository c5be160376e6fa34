#include "NulSplitter.h"

namespace sim {

std::vector<std::string> NulSplitter::feed(std::string_view bytes) {
    std::vector<std::string> commands;
    for (char c : bytes) {
        pending_ += c;
        if (c == '\0' || pending_.size() >= maxPending_) {
            commands.push_back(std::move(pending_));
            pending_.clear();
        }
    }
    return commands;
}

std::string NulSplitter::takePending() {
    std::string rest = std::move(pending_);
    pending_.clear();
    return rest;
}

}  // namespace sim
