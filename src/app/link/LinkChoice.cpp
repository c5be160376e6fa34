#include "app/ControlTable.h"
#include "app/PortMessage.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"

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

// The operator picks "NET" or a serial port in the port list.
void CTolvaneAppDlg::onLinkChosen() {
    const std::string entry = selectedEntryUtf8(ctl::kPort);
    if (entry.compare(0, 3, "NET") == 0) {
        link_.chooseNet();
    } else if (!link_.chooseSerial(entryPortNumber(entry))) {
        showLinkStatus();  // the reason, before the message box holds the window
        messageBox(withPortName(tr("打开COM失败!"), QString::fromUtf8(entry)));
    }
    showLinkStatus();
}
