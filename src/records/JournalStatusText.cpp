#include "records/JournalStatusText.h"

#include <QCoreApplication>

#include "text/TextConv.h"

QString describeJournal(const JournalStatus& status) {
    if (status.kept) {
        return {};
    }
    QString text = QCoreApplication::translate("JournalStatus", "Journal not kept: %1")
                       .arg(decodeUtf8(status.reason));
    if (status.waiting > 0) {
        text += QCoreApplication::translate("JournalStatus", "; %n records wait for it", nullptr,
                                            static_cast<int>(status.waiting));
    }
    if (status.lost > 0) {
        text += QCoreApplication::translate("JournalStatus", "; %n records will not be in it",
                                            nullptr, static_cast<int>(status.lost));
    }
    return text;
}
