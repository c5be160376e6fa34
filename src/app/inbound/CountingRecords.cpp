#include <QString>

#include <string>
#include <string_view>

#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "inbound/Calendar.h"
#include "inbound/RecordFile.h"
#include "inbound/RecordText.h"
#include "text/DebugTrace.h"
#include "text/TextConv.h"

namespace {

// A NUL (pasted into the name, or read from the settings file) would end the
// path the file system sees: the record would go to a file without time stamp
// or extension, other than the one edit 1021 names. Each part ends at its
// first NUL instead, as a window text does.
std::string_view beforeNul(const std::string& text) {
    return std::string_view(text).substr(0, text.find('\0'));
}

}  // namespace

// The path a record arriving now goes to: folder, name, local time to the
// second, ".", format. One clock reading per call.
std::string CTolvaneAppDlg::recordPathNow() {
    const std::string name = ctrlUtf8(ctl::kFileName);
    const std::string format = selectedEntryUtf8(ctl::kRecordFormat);
    return composeRecordPath(beforeNul(recordFolder), beforeNul(name), localCalendar(now()),
                             beforeNul(format));
}

// Appends one counting record to its file; edit 1021 shows the path tried.
bool CTolvaneAppDlg::saveCountingRecord(const DeviceReport& report) {
    const std::string path = recordPathNow();
    const std::string text = recordText(report, selectedEntryUtf8(ctl::kRecordFormat));
    setCtrlText(ctl::kRecordPath, decodeUtf8(path));
    const RecordWriteResult result = appendRecord(path, text);
    if (!result.written) {
        DebugTrace("CTolvaneAppDlg::tmSaveRecord", 1154, "record not written to %s: %s",
                   path.c_str(), result.reason.c_str());
    }
    return result.written;
}
