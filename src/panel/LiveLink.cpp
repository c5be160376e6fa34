#include "panel/LiveLink.h"

#include "link/SerialDevice.h"

std::size_t LiveLink::longestCommand() const {
    return link_.status().kind == LinkKind::Net ? Link::kMaxDatagram : kLongestSerialWrite;
}
