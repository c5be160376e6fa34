#include <QString>

#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "inbound/Calendar.h"
#include "inbound/RecordFile.h"
#include "inbound/RecordText.h"
#include "text/ControlText.h"
#include "text/DebugTrace.h"
#include "text/TextConv.h"

// The path a record arriving now goes to: folder, name, local time to the
// second, ".", format. One clock reading per call.
std::string CTolvaneAppDlg::tmRecordPath() {
    return composeRecordPath(recordFolder, GetCtrlText(*this, ctl::kFileName), localCalendar(now()),
                             GetComboText(*this, ctl::kRecordFormat));
}

// Appends one counting record to its file; edit 1021 shows the path tried.
bool CTolvaneAppDlg::tmSaveRecord(const DeviceReport& report) {
    const std::string path = tmRecordPath();
    const std::string text = recordText(report, GetComboText(*this, ctl::kRecordFormat));
    setCtrlText(ctl::kRecordPath, AnsiToWide(path));
    const RecordWriteResult result = appendRecord(path, text);
    if (!result.written) {
        DebugTrace("CTolvaneAppDlg::tmSaveRecord", 1154, "record not written to %s: %s",
                   path.c_str(), result.reason.c_str());
    }
    return result.written;
}
