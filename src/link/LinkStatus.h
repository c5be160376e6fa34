#pragma once

#include <cstdint>
#include <string>

#include "link/PeerAddress.h"

enum class LinkKind { Net, Serial };

// The chosen serial port, from the operator's choice on.
enum class SerialState {
    None,        // no port chosen yet
    Open,        // open and served
    CannotOpen,  // the last attempt to open it failed (serialError says why)
    Away,        // its device went away while open; reopened when it is back
};

// What the link is doing at one moment, as the operator may be shown it.
struct LinkStatus {
    LinkKind kind = LinkKind::Net;  // the link commands take
    unsigned serialPort = 0;        // COM number last chosen; 0 before any
    SerialState serial = SerialState::None;
    bool serialOpen = false;   // that port is open
    int serialError = 0;       // errno of the failed open, with CannotOpen
    std::string serialDevice;  // the device the open port's name leads to
    bool udpOpen = false;      // the UDP socket exists
    bool udpBound = false;     // and listens on its port
    bool peerKnown = false;    // a datagram named the machine's address
    PeerAddress peer;          // the latest sender of a frame, once there was one
    // Datagrams the kernel dropped from the socket's full queue in the latest
    // episode of losses, while it is recent (10 s); 0 otherwise.
    std::uint64_t recentlyLost = 0;

    bool operator==(const LinkStatus&) const = default;
};
