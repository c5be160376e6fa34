#include <QString>

#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "inbound/FrameParser.h"
#include "text/DebugTrace.h"

// One chunk from the machine: mirror a changed state, write a counting record,
// then show the count. Only the first frame of a chunk counts.
bool CTolvaneAppDlg::receiveChunk(const char* chunk, std::size_t length) {
    const ParsedFrame frame = parseFrame(chunk, length);
    if (frame.status == FrameStatus::NoFrame) {
        return false;
    }
    if (frame.status == FrameStatus::BadState) {
        DebugTrace("CTolvaneAppDlg::tmRxFrame", 1093, "frame dropped: no nine state values");
        return false;
    }
    const DeviceReport& report = frame.report;
    if (report.state != lastReport) {
        mirrorMachineState(report);
        lastReport = report.state;
    }
    if (report.isRecord) {
        saveCountingRecord(report);
    }
    showCount(report.state.data);
    if (env_.frameHandled) {
        env_.frameHandled(report);
    }
    return true;
}

// Laying out the text of edit 1019 costs more than everything else a frame
// does, so the count is shown once per turn of the event loop, the latest
// count winning; every frame is still mirrored and its record written.
void CTolvaneAppDlg::showCount(int count) {
    countToShow_ = count;
    if (countPosted_) {
        return;
    }
    countPosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            countPosted_ = false;
            setCtrlText(ctl::kData, QStringLiteral("data=%1").arg(countToShow_));
        },
        Qt::QueuedConnection);
}
