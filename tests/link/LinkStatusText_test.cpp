// The status line's words and mark for every state of the link.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cerrno>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "link/LinkStatusText.h"

namespace {

constexpr std::uint16_t kUdpPort = 39451;

LinkStatus net(bool bound, std::optional<PeerAddress> peer) {
    LinkStatus status;
    status.kind = LinkKind::Net;
    status.udpOpen = true;
    status.udpBound = bound;
    status.peerKnown = peer.has_value();
    status.peer = peer.value_or(PeerAddress{});
    return status;
}

LinkStatus serial(SerialState state, int error = 0) {
    LinkStatus status;
    status.kind = LinkKind::Serial;
    status.serialPort = 7;
    status.serial = state;
    status.serialOpen = state == SerialState::Open;
    status.serialError = error;
    status.serialDevice = state == SerialState::Open ? "/dev/ttyUSB0" : "";
    return status;
}

LinkStatus withLosses(LinkStatus status, std::uint64_t lost) {
    status.recentlyLost = lost;
    return status;
}

PeerAddress machine() {
    return PeerAddress{inet_addr("192.168.1.20"), htons(5000)};
}

struct StatusRow {
    const char* name;
    LinkStatus status;
    std::optional<long> frameAge;
    LinkMark mark;
    const char* text;
};

void PrintTo(const StatusRow& row, std::ostream* out) {
    *out << row.name;
}

const std::vector<StatusRow> kRows = {
    {"NetWaiting",
     net(true, {}),
     {},
     LinkMark::Silent,
     "NET · waiting for the machine on UDP port 39451"},
    {"NetMachineLive", net(true, machine()), 2, LinkMark::Live,
     "NET · machine 192.168.1.20:5000 · last frame 2 s ago"},
    {"NetMachineSilent", net(true, machine()), 3, LinkMark::Silent,
     "NET · machine 192.168.1.20:5000 · last frame 3 s ago"},
    {"NetMachineNoFrameSinceChosen",
     net(true, machine()),
     {},
     LinkMark::Silent,
     "NET · machine 192.168.1.20:5000 · no frame yet"},
    {"NetDatagramsLostLately", withLosses(net(true, machine()), 1993), 0, LinkMark::Failed,
     "NET · 1,993 datagrams lost while the panel was not reading"},
    {"NetOneDatagramLost", withLosses(net(true, machine()), 1), 0, LinkMark::Failed,
     "NET · 1 datagram lost while the panel was not reading"},
    {"NetPortTaken",
     net(false, {}),
     {},
     LinkMark::Failed,
     "NET · UDP port 39451 is used by another program · retrying"},
    {"SerialOpen", serial(SerialState::Open), 0, LinkMark::Live,
     "COM7 · open (/dev/ttyUSB0) · last frame 0 s ago"},
    {"SerialOpenSilent",
     serial(SerialState::Open),
     {},
     LinkMark::Silent,
     "COM7 · open (/dev/ttyUSB0) · no frame yet"},
    {"SerialNoPermission",
     serial(SerialState::CannotOpen, EACCES),
     {},
     LinkMark::Failed,
     "COM7 · cannot open: permission denied, add the user to the dialout group"},
    {"SerialLockedByOther",
     serial(SerialState::CannotOpen, EWOULDBLOCK),
     {},
     LinkMark::Failed,
     "COM7 · cannot open: in use by another program"},
    {"SerialExclusiveElsewhere",
     serial(SerialState::CannotOpen, EBUSY),
     {},
     LinkMark::Failed,
     "COM7 · cannot open: in use by another program"},
    {"SerialNoDevice",
     serial(SerialState::CannotOpen, ENOENT),
     {},
     LinkMark::Failed,
     "COM7 · cannot open: no such device"},
    {"SerialNotATerminal",
     serial(SerialState::CannotOpen, ENOTTY),
     {},
     LinkMark::Failed,
     "COM7 · cannot open: not a serial port"},
    {"SerialAway",
     serial(SerialState::Away),
     {},
     LinkMark::Failed,
     "COM7 · adapter unplugged · waiting for it"},
};

class LinkStatusText : public testing::TestWithParam<StatusRow> {};

TEST_P(LinkStatusText, SaysTheStateInWordsWithItsMark) {
    const StatusRow& row = GetParam();
    const LinkStatusLine line = describeLink(row.status, kUdpPort, row.frameAge);
    EXPECT_EQ(line.text.toStdString(), row.text);
    EXPECT_EQ(line.mark, row.mark);
}

INSTANTIATE_TEST_SUITE_P(EveryState, LinkStatusText, testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
