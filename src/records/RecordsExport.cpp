#include "records/RecordsExport.h"

#include <fcntl.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <QStringList>

#include <cerrno>
#include <system_error>

#include "journal/LocalDay.h"
#include "os/WriteAll.h"
#include "records/CsvText.h"
#include "records/RecordCells.h"
#include "storage/DiskSync.h"
#include "storage/FileSizeSignal.h"

namespace {

const char* const kHeader[] = {"Id", "Arrived", "UTC offset", "Machine time", "Count", "S0",
                               "S1", "S2",      "Link",       "Outcome",      "File"};
constexpr int kColumns = static_cast<int>(std::size(kHeader));

std::string errorText(const char* what, int error) {
    return std::string(what) + ": " + std::system_category().message(error);
}

// The texts of one record, in the header's order; Id and Count are numbers.
QStringList cellsOf(const JournalRecord& r) {
    return {QString::number(r.id),         recordcells::arrival(r),
            recordcells::utcOffset(r),     recordcells::text(r.machineTime),
            QString::number(r.count),      recordcells::text(r.slots[0]),
            recordcells::text(r.slots[1]), recordcells::text(r.slots[2]),
            recordcells::text(r.link),     recordcells::outcome(r),
            recordcells::text(r.file)};
}

bool isNumberColumn(int column) {
    return column == 0 || column == 4;
}

// A file beside the target, made private to this export until renamed.
struct PartFile {
    std::string path;
    int fd = -1;
};

bool makePartFile(const std::string& target, PartFile& part, std::string& error) {
    std::string name = target + ".part-XXXXXX";
    part.fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (part.fd < 0) {
        error = errorText(("cannot create " + name).c_str(), errno);
        return false;
    }
    part.path = name;
    return true;
}

// Moves the finished part file into place.
bool finish(const PartFile& part, const std::string& target, std::string& error) {
    if (::rename(part.path.c_str(), target.c_str()) != 0) {
        error = errorText(("cannot rename to " + target).c_str(), errno);
        ::unlink(part.path.c_str());
        return false;
    }
    return true;
}

ExportResult writeCsv(Journal& journal, const JournalFilter& filter, const std::string& path,
                      const std::atomic<bool>& cancel) {
    ExportResult result;
    PartFile part;
    if (!makePartFile(path, part, result.error)) {
        return result;
    }
    std::string buffer;
    int failed = 0;
    const auto flush = [&] {
        if (failed == 0) {
            failed = writeAll(part.fd, buffer);
        }
        buffer.clear();
    };
    const auto line = [&](const QStringList& cells) {
        QString text;
        for (int column = 0; column < cells.size(); ++column) {
            if (column > 0) {
                text += QLatin1Char(',');
            }
            text += csvtext::field(isNumberColumn(column) ? cells[column]
                                                          : csvtext::guardFormula(cells[column]));
        }
        text += QLatin1String("\r\n");
        buffer += text.toUtf8().toStdString();
        if (buffer.size() >= 64 * 1024) {
            flush();
        }
    };
    QStringList header;
    for (const char* title : kHeader) {
        header << QString::fromLatin1(title);
    }
    line(header);
    const bool read = journal.forEach(
        filter,
        [&](const JournalRecord& r) {
            line(cellsOf(r));
            ++result.records;
            return failed == 0 && !cancel.load(std::memory_order_relaxed);
        },
        &result.error);
    flush();
    if (failed == 0) {
        failed = syncToDisk(part.fd, SyncKind::Full);
    }
    ::close(part.fd);
    if (!read || failed != 0 || cancel.load()) {
        if (result.error.empty()) {
            result.error = failed != 0 ? errorText("write", failed) : "cancelled";
        }
        ::unlink(part.path.c_str());
        return result;
    }
    result.done = finish(part, path, result.error);
    return result;
}

// XML 1.0 holds no control characters besides tab, LF and CR.
QString xmlSafe(QString text) {
    for (QChar& c : text) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n') &&
            c != QLatin1Char('\r')) {
            c = QChar(QChar::ReplacementCharacter);
        }
    }
    return text;
}

constexpr lxw_row_t kRowsPerSheet = 1'048'576;

ExportResult writeXlsx(Journal& journal, const JournalFilter& filter, const std::string& path,
                       const std::atomic<bool>& cancel) {
    ExportResult result;
    PartFile part;
    if (!makePartFile(path, part, result.error)) {
        return result;
    }
    ::close(part.fd);
    const std::string folder = path.substr(0, path.find_last_of('/') + 1);
    std::string tmpdir = folder.empty() ? std::string(".") : folder;
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = tmpdir.data();
    options.use_zip64 = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(part.path.c_str(), &options);
    if (book == nullptr) {
        result.error = "cannot start the workbook " + part.path;
        ::unlink(part.path.c_str());
        return result;
    }
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    lxw_format* when = workbook_add_format(book);
    format_set_num_format(when, "yyyy-mm-dd hh:mm:ss");

    lxw_worksheet* sheet = nullptr;
    int sheets = 0;
    lxw_row_t row = 0;
    lxw_error failed = LXW_NO_ERROR;
    const auto newSheet = [&] {
        ++sheets;
        const std::string name = sheets == 1 ? "Records" : "Records " + std::to_string(sheets);
        sheet = workbook_add_worksheet(book, name.c_str());
        for (int column = 0; column < kColumns; ++column) {
            worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(column), kHeader[column], bold);
        }
        worksheet_set_column(sheet, 1, 1, 20, nullptr);
        worksheet_set_column(sheet, 3, 3, 20, nullptr);
        worksheet_set_column(sheet, 9, 10, 30, nullptr);
        worksheet_freeze_panes(sheet, 1, 0);
        row = 1;
    };
    newSheet();
    const bool read = journal.forEach(
        filter,
        [&](const JournalRecord& r) {
            if (row == kRowsPerSheet) {
                newSheet();
            }
            const QStringList cells = cellsOf(r);
            for (int column = 0; column < kColumns && failed == LXW_NO_ERROR; ++column) {
                const auto col = static_cast<lxw_col_t>(column);
                if (column == 0) {
                    failed =
                        worksheet_write_number(sheet, row, col, static_cast<double>(r.id), nullptr);
                } else if (column == 4) {
                    failed = worksheet_write_number(sheet, row, col, r.count, nullptr);
                } else if (column == 1) {
                    const LocalDateTime t = localDateTimeOf(r.arrivedUtcMs, r.utcOffsetSeconds);
                    lxw_datetime at{t.year, t.month, t.day, t.hour, t.minute, double(t.second)};
                    failed = worksheet_write_datetime(sheet, row, col, &at, when);
                } else if (!cells[column].isEmpty()) {
                    const QByteArray text = xmlSafe(cells[column]).toUtf8();
                    failed = worksheet_write_string(sheet, row, col, text.constData(), nullptr);
                }
            }
            ++row;
            ++result.records;
            return failed == LXW_NO_ERROR && !cancel.load(std::memory_order_relaxed);
        },
        &result.error);
    const lxw_error closed = workbook_close(book);
    if (!read || failed != LXW_NO_ERROR || closed != LXW_NO_ERROR || cancel.load()) {
        if (result.error.empty()) {
            result.error = failed != LXW_NO_ERROR   ? lxw_strerror(failed)
                           : closed != LXW_NO_ERROR ? lxw_strerror(closed)
                                                    : "cancelled";
        }
        ::unlink(part.path.c_str());
        return result;
    }
    // libxlsxwriter closes its file without a sync: the export is made durable here.
    const int fd = ::open(part.path.c_str(), O_RDONLY | O_CLOEXEC);
    const int synced = fd < 0 ? errno : syncToDisk(fd, SyncKind::Full);
    if (fd >= 0) {
        ::close(fd);
    }
    if (synced != 0) {
        result.error = errorText("fsync", synced);
        ::unlink(part.path.c_str());
        return result;
    }
    result.done = finish(part, path, result.error);
    return result;
}

}  // namespace

ExportResult exportRecords(Journal& journal, const JournalFilter& filter, ExportFormat format,
                           const std::string& path, const std::atomic<bool>& cancel) {
    ignoreFileSizeSignal();
    return format == ExportFormat::Csv ? writeCsv(journal, filter, path, cancel)
                                       : writeXlsx(journal, filter, path, cancel);
}
