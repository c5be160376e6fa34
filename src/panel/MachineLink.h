#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "link/Link.h"

// What the panel asks of its link to the machine: the link's choice, the send
// path and what the status line tells. Link is the real one; tests put a
// stand-in in its place to see every command.
class MachineLink {
  public:
    virtual ~MachineLink() = default;

    virtual SendResult send(const std::string& text) = 0;
    virtual void chooseNet() = 0;
    // False when the port cannot be opened.
    virtual bool chooseSerial(unsigned port) = 0;
    virtual LinkStatus status() const = 0;
    // The longest command, its NUL included, that the chosen link carries whole.
    virtual std::size_t longestCommand() const = 0;
    virtual std::optional<std::chrono::steady_clock::time_point> lastFrameAt() const = 0;
};
