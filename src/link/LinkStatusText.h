#pragma once

#include <QString>

#include <cstdint>
#include <optional>

#include "link/LinkStatus.h"

// The state mark in front of the status line.
enum class LinkMark {
    Live,    // frames are arriving
    Silent,  // the link is up, but nothing arrived lately (or ever)
    Failed,  // the link cannot carry anything now
};

struct LinkStatusLine {
    LinkMark mark = LinkMark::Silent;
    QString text;
    bool operator==(const LinkStatusLine&) const = default;
};

// Frames this recent (in seconds) count as arriving.
inline constexpr long kLiveFrameSeconds = 2;

// The one line the window shows about its link: which link, whether and where
// the machine is reachable, when it last sent a frame (`frameAge`, whole
// seconds; none when nothing arrived since the link was chosen) or why the
// link fails. Texts are translatable, in the "LinkStatus" context.
LinkStatusLine describeLink(const LinkStatus& status, std::uint16_t udpPort,
                            std::optional<long> frameAge);

// Why a port could not be opened, in the operator's words.
QString openFailureReason(int error);
