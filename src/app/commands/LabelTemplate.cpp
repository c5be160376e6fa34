#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "text/TextConv.h"

void CTolvaneAppDlg::onSendTemplateClicked() {
    std::string command = commands::templateCommand(ctrlUtf8(ctl::kTemplate));
    if (link_.status().kind == LinkKind::Net && command.size() + 1 > Link::kMaxDatagram) {
        // A cut template would print wrong labels: send nothing and say so.
        messageBox(QStringLiteral("The label template is too long to send over the network "
                                  "(%1 bytes, at most %2).")
                       .arg(command.size() + 1)
                       .arg(Link::kMaxDatagram));
        return;
    }
    sendCommand(std::move(command));
}
