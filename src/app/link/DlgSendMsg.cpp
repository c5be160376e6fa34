#include <sys/socket.h>

#include <cstring>

#include "app/TolvaneAppDlg.h"
#include "link/LinkState.h"
#include "link/SerialDevice.h"
#include "text/DebugTrace.h"

// The one road of every command to the machine: the text and one NUL, as one
// datagram to the machine's last address or one write to the open port.
void CTolvaneAppDlg::tmSendMsg(std::string text) {
    if (linkState.sendSuppressed) {
        return;
    }
    const std::size_t size = std::strlen(text.c_str()) + 1;  // up to the first NUL, and it

    if (linkState.netMode) {
        DebugTrace("CTolvaneAppDlg::tmSendMsg", 799, "net cmd:\r\n%s", text.c_str());
        const int socket = linkState.udpSocket;
        if (linkState.peerKnown && socket >= 0) {
            const sockaddr_in to = linkState.peer().toSockaddr();
            sendto(socket, text.c_str(), size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to),
                   sizeof to);
        }
        return;
    }

    if (linkState.serialOpen && !writeSerial(linkState.serialHandle, text.c_str(), size)) {
        messageBox(QString::fromUtf8("写串口失败，请选择正确串口号!"));
    }
    DebugTrace("CTolvaneAppDlg::tmSendMsg", 807, "uart cmd:\r\n%s", text.c_str());
}
