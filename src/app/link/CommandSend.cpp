#include "app/ControlTable.h"
#include "app/PortMessage.h"
#include "app/TolvaneAppDlg.h"

// The one road of every command to the machine.
void CTolvaneAppDlg::sendCommand(std::string text) {
    if (link_.send(text) == SendResult::WriteFailed) {
        messageBox(withPortName(tr("写串口失败，请选择正确串口号!"), ctrlText(ctl::kPort)));
    }
}
