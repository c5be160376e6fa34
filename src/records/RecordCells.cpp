#include "records/RecordCells.h"

#include <cstdlib>

#include "journal/LocalDay.h"
#include "text/TextConv.h"

namespace recordcells {

QString arrival(const JournalRecord& record) {
    return QString::fromStdString(localTimeOf(record.arrivedUtcMs, record.utcOffsetSeconds));
}

QString utcOffset(const JournalRecord& record) {
    const int offset = record.utcOffsetSeconds;
    const int minutes = std::abs(offset) / 60;
    return QStringLiteral("UTC%1%2:%3")
        .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString outcome(const JournalRecord& record) {
    return record.written ? QStringLiteral("written")
                          : QStringLiteral("not written: ") + decodeUtf8(record.failure);
}

QString text(const std::string& bytes) {
    return decodeUtf8(bytes);
}

}  // namespace recordcells
