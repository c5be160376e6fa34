#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "text/TextConv.h"

void CTolvaneAppDlg::onSendTemplateClicked() {
    std::string command = commands::templateCommand(ctrlUtf8(ctl::kTemplate));
    const bool net = link_.status().kind == LinkKind::Net;
    const std::size_t most = link_.longestCommand();
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
    sendCommand(std::move(command));
}
