#pragma once

#include "panel/MachineLink.h"

// The panel's link to the machine as the panel asks for it.
class LiveLink : public MachineLink {
  public:
    explicit LiveLink(Link& link) : link_(link) {}

    SendResult send(const std::string& text) override { return link_.send(text); }
    void chooseNet() override { link_.chooseNet(); }
    bool chooseSerial(unsigned port) override { return link_.chooseSerial(port); }
    LinkStatus status() const override { return link_.status(); }
    std::size_t longestCommand() const override { return link_.longestCommand(); }
    std::optional<std::chrono::steady_clock::time_point> lastFrameAt() const override {
        return link_.lastFrameAt();
    }

  private:
    Link& link_;
};
