#include "link/LinkStatusText.h"

#include <QCoreApplication>
#include <QLocale>

#include <cerrno>
#include <cstring>

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("LinkStatus", text);
}

// "last frame 2 s ago" marks the link live; older or none, silent.
LinkStatusLine withFrameAge(const QString& head, std::optional<long> frameAge) {
    if (!frameAge) {
        return {LinkMark::Silent, tr("%1 · no frame yet").arg(head)};
    }
    const LinkMark mark = *frameAge <= kLiveFrameSeconds ? LinkMark::Live : LinkMark::Silent;
    return {mark, tr("%1 · last frame %2 s ago").arg(head).arg(*frameAge)};
}

LinkStatusLine describeNet(const LinkStatus& status, std::uint16_t udpPort,
                           std::optional<long> frameAge) {
    if (!status.udpOpen) {
        return {LinkMark::Failed, tr("NET · no UDP socket")};
    }
    if (!status.udpBound) {
        return {LinkMark::Failed,
                tr("NET · UDP port %1 is used by another program · retrying").arg(udpPort)};
    }
    if (status.recentlyLost > 0) {
        // Written out as in "1,993" whatever the desktop's language.
        const QString lost = QLocale(QLocale::English, QLocale::UnitedStates)
                                 .toString(static_cast<qulonglong>(status.recentlyLost));
        return {LinkMark::Failed,
                status.recentlyLost == 1
                    ? tr("NET · 1 datagram lost while the panel was not reading")
                    : tr("NET · %1 datagrams lost while the panel was not reading").arg(lost)};
    }
    if (!status.peerKnown) {
        return {LinkMark::Silent, tr("NET · waiting for the machine on UDP port %1").arg(udpPort)};
    }
    return withFrameAge(tr("NET · machine %1").arg(QString::fromStdString(status.peer.text())),
                        frameAge);
}

LinkStatusLine describeSerial(const LinkStatus& status, std::optional<long> frameAge) {
    const QString port = QStringLiteral("COM%1").arg(status.serialPort);
    switch (status.serial) {
        case SerialState::Open:
            return withFrameAge(
                tr("%1 · open (%2)").arg(port, QString::fromStdString(status.serialDevice)),
                frameAge);
        case SerialState::Away:
            return {LinkMark::Failed, tr("%1 · adapter unplugged · waiting for it").arg(port)};
        case SerialState::CannotOpen:
        case SerialState::None:
            break;
    }
    return {LinkMark::Failed,
            tr("%1 · cannot open: %2").arg(port, openFailureReason(status.serialError))};
}

}  // namespace

QString openFailureReason(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return tr("permission denied, add the user to the dialout group");
        case EBUSY:
        case EWOULDBLOCK:
            return tr("in use by another program");
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case 0:
            return tr("no such device");
        case ENOTTY:
            return tr("not a serial port");
        default:
            return QString::fromLocal8Bit(std::strerror(error));
    }
}

LinkStatusLine describeLink(const LinkStatus& status, std::uint16_t udpPort,
                            std::optional<long> frameAge) {
    return status.kind == LinkKind::Net ? describeNet(status, udpPort, frameAge)
                                        : describeSerial(status, frameAge);
}
