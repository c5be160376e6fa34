#pragma once

#include "link/PeerAddress.h"

enum class LinkKind { Net, Serial };

// What the link is doing at one moment, as the operator may be shown it.
struct LinkStatus {
    LinkKind kind = LinkKind::Net;  // the link commands take
    unsigned serialPort = 0;        // COM number last chosen; 0 before any
    bool serialOpen = false;        // that port is open
    bool serialFailed = false;      // it stopped working (unplugged) while open
    bool udpOpen = false;           // the UDP socket exists
    bool udpBound = false;          // and listens on its port
    bool peerKnown = false;         // a datagram named the machine's address
    PeerAddress peer;               // the latest sender, once there was one

    bool operator==(const LinkStatus&) const = default;
};
