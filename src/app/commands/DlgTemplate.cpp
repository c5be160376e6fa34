#include "app/ControlTable.h"
#include "app/ControlText.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "link/LinkState.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "text/TextConv.h"

namespace {

// The largest UDP payload over IPv4; the command and its NUL must fit in one.
constexpr std::size_t kMaxDatagram = 65507;

}  // namespace

void CTolvaneAppDlg::OnBnClickedPrinterSet() {
    std::string command = commands::templateCommand(GetCtrlText(*this, ctl::kTemplate));
    if (linkState.netMode && command.size() + 1 > kMaxDatagram) {
        // A cut template would print wrong labels: send nothing and say so.
        messageBox(QStringLiteral("The label template is too long to send over the network "
                                  "(%1 bytes, at most %2).")
                       .arg(command.size() + 1)
                       .arg(kMaxDatagram));
        return;
    }
    tmSendMsg(std::move(command));
}

void CTolvaneAppDlg::OnEnChangeFormat() {
    store_.WriteString(keys::format, AnsiToWide(GetCtrlText(*this, ctl::kTemplate)));
}
