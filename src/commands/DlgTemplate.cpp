#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "link/LinkState.h"
#include "link/SerialDevice.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "text/ControlText.h"
#include "text/TextConv.h"

namespace {

// The largest UDP payload over IPv4; the command and its NUL must fit in one.
constexpr std::size_t kMaxDatagram = 65507;

}  // namespace

void CTolvaneAppDlg::OnBnClickedPrinterSet() {
    std::string command = commands::templateCommand(GetCtrlText(*this, ctl::kTemplate));
    const bool net = linkState.netMode;
    const std::size_t most = net ? kMaxDatagram : kLongestSerialWrite;
    if (command.size() + 1 > most) {
        // A cut template would print wrong labels: send nothing and say so.
        messageBox((net ? tr("The label template is too long to send over the network "
                              "(%1 bytes, at most %2).")
                         : tr("The label template is too long to send over the serial line "
                              "(%1 bytes, at most %2)."))
                       .arg(command.size() + 1)
                       .arg(most));
        return;
    }
    tmSendMsg(std::move(command));
}

void CTolvaneAppDlg::OnEnChangeFormat() {
    store_.WriteString(keys::format, AnsiToWide(GetCtrlText(*this, ctl::kTemplate)));
}
