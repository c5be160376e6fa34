#include <cstring>

#include "app/ControlTable.h"
#include "app/ControlText.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "link/LinkState.h"
#include "link/NetReceiver.h"
#include "link/SerialDevice.h"
#include "link/SerialReceiver.h"
#include "text/DebugTrace.h"

namespace {

// The port number of a "COM<n>" entry: the leading C, O and M characters are
// dropped (in any order), then the leading integer is read; 0, a port that
// never exists, when there is no positive number.
unsigned entryPortNumber(const std::string& entry) {
    const std::size_t start = entry.find_first_not_of("COM");
    const int number = start == std::string::npos
                           ? 0
                           : commands::leadingInt(std::string_view(entry).substr(start));
    return number > 0 ? static_cast<unsigned>(number) : 0;
}

}  // namespace

void CTolvaneAppDlg::closeSerialLink() {
    if (!linkState.serialOpen) {
        return;
    }
    const int fd = linkState.serialHandle;
    if (serialReceiver_) {
        serialReceiver_->setPort(-1);  // returns once the reader has let go of it
    }
    closeSerialPort(fd);
    linkState.serialOpen = false;
}

// The operator picks "NET" or a serial port in the port list.
void CTolvaneAppDlg::OnCbnSelchangeComnumCombo() {
    const std::string entry = GetComboText(*this, ctl::kPort);
    if (entry.compare(0, 3, "NET") == 0) {
        DebugTrace("CTolvaneAppDlg::OnCbnSelchangeComnumCombo", 939, "command by net");
        closeSerialLink();
        linkState.netMode = true;
        if (netReceiver_) {
            netReceiver_->wake();
        }
        return;
    }

    DebugTrace("CTolvaneAppDlg::OnCbnSelchangeComnumCombo", 943, "command by uart");
    linkState.netMode = false;
    if (netReceiver_) {
        netReceiver_->wake();
    }
    const std::string path = comPortPath(env_.ports, entryPortNumber(entry)).string();
    closeSerialLink();
    const SerialOpenResult opened = openSerialPort(path);
    linkState.serialHandle = opened.fd;
    if (opened.fd < 0) {
        DebugTrace("CTolvaneAppDlg::OnCbnSelchangeComnumCombo", 951, "open %s failed: %s%s",
                   path.c_str(), std::strerror(opened.error),
                   opened.error == EACCES ? " (is the user in the dialout group?)" : "");
        messageBox(QString::fromUtf8("打开COM失败!"));
        return;
    }
    configureSerialPort(opened.fd);
    linkState.serialOpen = true;
    if (serialReceiver_) {
        serialReceiver_->setPort(opened.fd);
    }
}
