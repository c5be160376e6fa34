#pragma once

#include <memory>
#include <string>

#include "Link.h"
#include "NulSplitter.h"

// A pseudo-terminal offered to the panel as a COM port: the panel opens the
// terminal side through a link in its ports folder, the simulator works on the
// controlling side. The link is removed when the simulator ends.
class SerialLink : public Link {
  public:
    static std::unique_ptr<SerialLink> open(const std::string& comName, std::string& error);
    ~SerialLink() override;

    int fd() const override { return master_; }
    ssize_t send(std::string_view bytes) override;
    bool receive(std::vector<std::string>& commands) override;
    std::string takeIncomplete() override { return splitter_.takePending(); }
    void discardUnread() override;
    std::string describe() const override;

  private:
    SerialLink() = default;

    int master_ = -1;
    // Kept open so that the controlling side never sees a hang-up while the
    // panel has the port closed (it would otherwise poll as ready for ever).
    int slave_ = -1;
    std::string slavePath_;
    std::string folder_;
    std::string comName_;
    bool linked_ = false;
    sim::NulSplitter splitter_;
};
