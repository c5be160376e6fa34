#include "ui/records/RecordsWindow.h"

#include <QBrush>
#include <QCheckBox>
#include <QDate>
#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <system_error>
#include <utility>

#include "records/RecordsExportJob.h"
#include "records/RecordsTableModel.h"

namespace {

constexpr const char* kDayFormat = "yyyy-MM-dd";
// Write again takes at most this many records at a time.
constexpr std::size_t kMostWrittenAgain = 10'000;

// A record its file did not take is shown in red.
class OutcomeColours : public QIdentityProxyModel {
  public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::ForegroundRole) {
            if (!QIdentityProxyModel::data(index, RecordsTableModel::WrittenRole).toBool()) {
                return QBrush(QColor(0xc0, 0x00, 0x00));
            }
            return {};
        }
        return QIdentityProxyModel::data(index, role);
    }
};

QString grouped(std::int64_t value) {
    return QLocale::system().toString(static_cast<qlonglong>(value));
}

QString defaultChooser(QWidget* parent, const QString& caption, const QString& suggested,
                       const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

}  // namespace

RecordsWindow::RecordsWindow(RecordsWindowSetup setup, QWidget* parent)
    : QWidget(parent, Qt::Window), setup_(std::move(setup)) {
    if (!setup_.chooseExportFile) {
        setup_.chooseExportFile = defaultChooser;
    }
    setWindowTitle(tr("Records"));
    model_ = std::make_unique<RecordsTableModel>(setup_.journalPath);
    buildLayout();
    connect(model_.get(), &RecordsTableModel::totalsChanged, this, &RecordsWindow::showTotals);
    connect(model_.get(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                if (first == 0) {
                    keepPlaceAfterInsert(last - first + 1);
                }
            });
    showTotals();
    table_->resizeColumnsToContents();
}

RecordsWindow::~RecordsWindow() {
    exportJob_.reset();  // its thread ends before anything it reports to
}

void RecordsWindow::buildLayout() {
    byDays_ = new QCheckBox(tr("Days from"), this);
    fromDay_ = new QDateEdit(QDate::currentDate(), this);
    toDay_ = new QDateEdit(QDate::currentDate(), this);
    for (QDateEdit* day : {fromDay_, toDay_}) {
        day->setCalendarPopup(true);
        day->setDisplayFormat(QString::fromLatin1(kDayFormat));
        day->setEnabled(false);
    }
    auto* today = new QPushButton(tr("Today"), this);
    slotText_ = new QLineEdit(this);
    slotText_->setPlaceholderText(tr("text in S0, S1 or S2"));
    slotText_->setClearButtonEnabled(true);
    textPause_ = new QTimer(this);
    textPause_->setSingleShot(true);
    textPause_->setInterval(300);

    auto* filters = new QHBoxLayout;
    filters->addWidget(byDays_);
    filters->addWidget(fromDay_);
    filters->addWidget(new QLabel(tr("to"), this));
    filters->addWidget(toDay_);
    filters->addWidget(today);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(tr("Slot text:"), this));
    filters->addWidget(slotText_, 1);

    journalState_ = new QLabel(this);
    journalState_->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold"));
    journalState_->setWordWrap(true);
    journalState_->hide();

    table_ = new QTableView(this);
    auto* colours = new OutcomeColours(this);
    colours->setSourceModel(model_.get());
    table_->setModel(colours);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    table_->horizontalHeader()->setStretchLastSection(true);

    days_ = new QTableWidget(0, 3, this);
    days_->setHorizontalHeaderLabels({tr("Day"), tr("Records"), tr("Parts")});
    days_->verticalHeader()->hide();
    days_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    days_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* split = new QSplitter(this);
    split->addWidget(table_);
    split->addWidget(days_);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);

    totals_ = new QLabel(this);
    exportCsv_ = new QPushButton(tr("Export CSV..."), this);
    exportXlsx_ = new QPushButton(tr("Export XLSX..."), this);
    writeAgain_ = new QPushButton(tr("Write again"), this);
    writeAgain_->setToolTip(
        tr("Writes the selected records whose file did not take them (all shown when none is "
           "selected) into the file the current settings name"));
    writeAgain_->setVisible(static_cast<bool>(setup_.writeAgain));
    status_ = new QLabel(this);
    status_->setWordWrap(true);

    auto* actions = new QHBoxLayout;
    actions->addWidget(totals_, 1);
    actions->addWidget(writeAgain_);
    actions->addWidget(exportCsv_);
    actions->addWidget(exportXlsx_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(journalState_);
    layout->addWidget(split, 1);
    layout->addLayout(actions);
    layout->addWidget(status_);
    resize(1000, 600);

    connect(byDays_, &QCheckBox::toggled, this, [this](bool on) {
        fromDay_->setEnabled(on);
        toDay_->setEnabled(on);
        applyFilter();
    });
    for (QDateEdit* day : {fromDay_, toDay_}) {
        connect(day, &QDateEdit::dateChanged, this, [this] {
            if (byDays_->isChecked()) {
                applyFilter();
            }
        });
    }
    connect(today, &QPushButton::clicked, this, [this] {
        const QDate now = QDate::currentDate();
        settingControls_ = true;
        byDays_->setChecked(true);
        fromDay_->setDate(now);
        toDay_->setDate(now);
        settingControls_ = false;
        applyFilter();
    });
    connect(slotText_, &QLineEdit::textChanged, textPause_, qOverload<>(&QTimer::start));
    connect(textPause_, &QTimer::timeout, this, &RecordsWindow::applyFilter);
    connect(slotText_, &QLineEdit::returnPressed, this, [this] {
        textPause_->stop();
        applyFilter();
    });
    connect(exportCsv_, &QPushButton::clicked, this, [this] { exportShown(ExportFormat::Csv); });
    connect(exportXlsx_, &QPushButton::clicked, this, [this] { exportShown(ExportFormat::Xlsx); });
    connect(writeAgain_, &QPushButton::clicked, this, &RecordsWindow::writeAgainShown);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

JournalFilter RecordsWindow::filterFromControls() const {
    JournalFilter filter;
    if (byDays_->isChecked()) {
        QDate from = fromDay_->date();
        QDate to = toDay_->date();
        if (to < from) {
            std::swap(from, to);
        }
        filter.fromDay = from.toString(QString::fromLatin1(kDayFormat)).toStdString();
        filter.toDay = to.toString(QString::fromLatin1(kDayFormat)).toStdString();
    }
    filter.slotText = slotText_->text().toStdString();
    return filter;
}

void RecordsWindow::applyFilter() {
    if (settingControls_) {
        return;
    }
    const JournalFilter filter = filterFromControls();
    if (filter != model_->filter()) {
        model_->setFilter(filter);
        table_->scrollToTop();
    }
}

void RecordsWindow::setFilter(const JournalFilter& filter) {
    settingControls_ = true;
    const bool byDays = !filter.fromDay.empty() || !filter.toDay.empty();
    byDays_->setChecked(byDays);
    fromDay_->setEnabled(byDays);
    toDay_->setEnabled(byDays);
    const QString format = QString::fromLatin1(kDayFormat);
    if (!filter.fromDay.empty()) {
        fromDay_->setDate(QDate::fromString(QString::fromStdString(filter.fromDay), format));
    }
    if (!filter.toDay.empty()) {
        toDay_->setDate(QDate::fromString(QString::fromStdString(filter.toDay), format));
    }
    slotText_->setText(QString::fromStdString(filter.slotText));
    textPause_->stop();
    settingControls_ = false;
    applyFilter();
}

void RecordsWindow::journalChanged() {
    model_->refresh();
}

// Rows inserted above: a table at the top shows them; one scrolled down is
// moved by as many rows, so it stays on the records it showed.
void RecordsWindow::keepPlaceAfterInsert(int inserted) {
    QScrollBar* bar = table_->verticalScrollBar();
    const int value = bar->value();
    if (value == 0) {
        return;
    }
    table_->doItemsLayout();  // the scroll range takes in the new rows now
    bar->setValue(value + inserted);
}

QString RecordsWindow::totalsText() const {
    const JournalTotals totals = model_->totals();
    return tr("%1 records, %2 parts").arg(grouped(totals.records), grouped(totals.parts));
}

QString RecordsWindow::statusText() const {
    return status_->text();
}

void RecordsWindow::showTotals() {
    totals_->setText(totalsText());
    const std::vector<DayTotals>& days = model_->dayTotals();
    days_->setRowCount(static_cast<int>(days.size()));
    for (int row = 0; row < static_cast<int>(days.size()); ++row) {
        const DayTotals& day = days[static_cast<std::size_t>(row)];
        const QString cells[] = {QString::fromStdString(day.day), grouped(day.totals.records),
                                 grouped(day.totals.parts)};
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (column > 0) {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            days_->setItem(row, column, item);
        }
    }
    if (!model_->journalError().isEmpty()) {
        status_->setText(tr("No records to show: %1").arg(model_->journalError()));
    } else if (status_->text().startsWith(tr("No records to show"))) {
        status_->clear();
    }
}

void RecordsWindow::showJournalStatus(bool kept, const QString& reason) {
    journalState_->setVisible(!kept);
    journalState_->setText(
        kept ? QString()
             : tr("The journal is not being kept: %1. Records still go to their files.")
                   .arg(reason));
}

void RecordsWindow::showWriteAgainOutcome(std::size_t written, std::size_t failed,
                                          const QString& reason) {
    QString text = tr("Written again: %1 records").arg(grouped(static_cast<std::int64_t>(written)));
    if (failed > 0) {
        text += tr("; %1 still not written: %2")
                    .arg(grouped(static_cast<std::int64_t>(failed)), reason);
    }
    status_->setText(text);
    writeAgain_->setEnabled(true);
    model_->refresh();
}

void RecordsWindow::writeAgainShown() {
    if (!setup_.writeAgain) {
        return;
    }
    std::vector<std::int64_t> ids;
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    for (const QModelIndex& row : rows) {
        if (!row.data(RecordsTableModel::WrittenRole).toBool()) {
            ids.push_back(row.data(RecordsTableModel::IdRole).toLongLong());
        }
    }
    if (rows.isEmpty()) {
        ids = model_->notWrittenIds(kMostWrittenAgain);
    }
    std::sort(ids.begin(), ids.end());  // oldest first, as they arrived
    if (ids.empty()) {
        status_->setText(tr("Every record shown was written."));
        return;
    }
    if (ids.size() > kMostWrittenAgain) {
        ids.resize(kMostWrittenAgain);
    }
    status_->setText(
        tr("Writing %1 records again...").arg(grouped(static_cast<std::int64_t>(ids.size()))));
    writeAgain_->setEnabled(false);
    setup_.writeAgain(std::move(ids));
}

void RecordsWindow::exportShown(ExportFormat format) {
    if (exportJob_) {
        return;
    }
    const bool csv = format == ExportFormat::Csv;
    const QString suggested =
        QStringLiteral("records-%1.%2")
            .arg(QDate::currentDate().toString(QString::fromLatin1(kDayFormat)),
                 csv ? QStringLiteral("csv") : QStringLiteral("xlsx"));
    const QString path = setup_.chooseExportFile(
        this, csv ? tr("Export the records shown as CSV") : tr("Export the records shown as XLSX"),
        suggested, csv ? tr("CSV files (*.csv)") : tr("Excel workbooks (*.xlsx)"));
    if (path.isEmpty()) {
        return;
    }
    exportCsv_->setEnabled(false);
    exportXlsx_->setEnabled(false);
    status_->setText(tr("Exporting to %1...").arg(path));
    try {
        exportJob_ = std::make_unique<RecordsExportJob>(
            setup_.journalPath, model_->filter(), format, path.toStdString(),
            [this, path](const ExportResult& result) {
                QMetaObject::invokeMethod(
                    this, [this, result, path] { exportDone(result, path); }, Qt::QueuedConnection);
            });
    } catch (const std::system_error& failure) {  // no thread left
        ExportResult result;
        result.error = std::string("cannot start the export: ") + failure.what();
        exportDone(result, path);
    }
}

void RecordsWindow::exportDone(const ExportResult& result, const QString& path) {
    exportJob_.reset();
    exportCsv_->setEnabled(true);
    exportXlsx_->setEnabled(true);
    const QString message =
        result.done ? tr("Exported %1 records to %2").arg(grouped(result.records), path)
                    : tr("Export to %1 failed: %2").arg(path, QString::fromStdString(result.error));
    status_->setText(message);
    Q_EMIT exportFinished(result.done, message);
}
