#pragma once

#include <sys/stat.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "link/LinkTransport.h"
#include "link/SerialCommandWriter.h"
#include "link/SerialDevice.h"
#include "link/SerialPortNames.h"

class SerialReceiver;

// The serial link: one chosen port COM<n>, opened raw at 2,000,000 bit/s,
// and its receive thread. A port whose device goes away is closed and
// reopened by itself as soon as a device is back under its name.
class SerialTransport final : public LinkTransport {
  public:
    SerialTransport(PortsEnvironment ports, TransportEvents events);
    ~SerialTransport() override;

    void start() override;
    // Closes the port and joins the receive thread.
    void stop() override;
    SendResult send(std::string_view command) override;
    std::size_t longestCommand() const override { return kLongestSerialWrite; }
    void describe(LinkStatus& status) const override;

    // Closes any open port, then opens COM<number>. False when it cannot be
    // opened (traced with the reason).
    bool choose(unsigned number);
    // Closes any open port; no port is chosen afterwards.
    void release();
    // On the owner's thread, after the receive thread reported a failure:
    // the port went away.
    void takeFailure();
    // After port events: closes a port whose name no longer leads to its
    // device, reopens one that waits for its device.
    void lookAtPort();

  private:
    // What the open port's name led to, so that only that device is reopened
    // by itself.
    struct OpenedDevice {
        ino_t linkInode = 0;   // the name's link: a link made anew has another
        timespec linkMade{};   // ... inode or change time
        std::string linkText;  // what the link holds
        dev_t number = 0;      // the device's number
        bool pseudoTerminal = false;
        bool stableName = false;  // the link leads through <dev>/serial/by-id/
    };
    OpenedDevice describeOpened(const std::string& path) const;
    // Whether the name leads to the device that went away (or, for a
    // pseudo-terminal, was linked anew).
    bool leadsToTheDeviceThatWentAway() const;

    void close();
    bool openChosenPort(int& error);
    void wentAway();
    void changed() const;

    PortsEnvironment ports_;
    TransportEvents events_;
    std::atomic<bool> failed_{false};  // set by the receive thread
    int fd_ = -1;
    unsigned number_ = 0;
    SerialState state_ = SerialState::None;
    int error_ = 0;
    std::string device_;
    OpenedDevice opened_;
    bool otherDeviceTraced_ = false;  // while away: "not reopened" said once
    SerialCommandWriter writer_;      // what the line owes survives a port switch
    std::unique_ptr<SerialReceiver> receiver_;
};
