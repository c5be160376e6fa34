#include <QLabel>
#include <QSocketNotifier>
#include <QString>

#include <string>
#include <string_view>

#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "inbound/Calendar.h"
#include "inbound/RecordFile.h"
#include "inbound/RecordSaver.h"
#include "inbound/RecordText.h"
#include "os/WakeEvent.h"
#include "settings/SettingsStore.h"
#include "storage/DiskWriter.h"
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

// Hands one counting record to the disk writer and returns at once; edit 1021
// shows the path tried. Whether it was written comes back later, to
// showRecordOutcome().
void CTolvaneAppDlg::saveCountingRecord(const DeviceReport& report) {
    const std::string path = recordPathNow();
    std::string text = recordText(report, selectedEntryUtf8(ctl::kRecordFormat));
    setCtrlText(ctl::kRecordPath, decodeUtf8(path));
    recordSaver().save(path, std::move(text));
}

// Made with the first record. The writer tells the window's thread of an
// outcome through an eventfd its event loop watches: it never waits for the
// window, and the outcome itself travels under the saver's lock.
RecordSaver& CTolvaneAppDlg::recordSaver() {
    if (!records_) {
        DiskWriter* writer = store_.writer();
        if (writer == nullptr) {
            ownWriter_ = std::make_unique<DiskWriter>();
            writer = ownWriter_.get();
        }
        recordWake_ = std::make_unique<WakeEvent>();
        recordNotifier_ =
            std::make_unique<QSocketNotifier>(recordWake_->fd(), QSocketNotifier::Read);
        connect(recordNotifier_.get(), &QSocketNotifier::activated, this, [this] {
            recordWake_->drain();
            showRecordOutcome();
        });
        records_ =
            std::make_unique<RecordSaver>(*writer, [wake = recordWake_.get()] { wake->signal(); });
    }
    return *records_;
}

// A record that could not be written stays visible under its path until the
// next record is written.
void CTolvaneAppDlg::showRecordOutcome() {
    const std::optional<RecordWriteResult> latest = records_->takeLatest();
    if (!latest) {
        return;
    }
    auto* line = static_cast<QLabel*>(control(ctl::kRecordFailure));
    if (latest->written) {
        line->clear();
        line->setToolTip(QString());
        return;
    }
    const QString text = QStringLiteral("record NOT written: ") + decodeUtf8(latest->reason);
    line->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold"));
    line->setText(text);
    line->setToolTip(text);
}
