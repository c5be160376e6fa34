#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "journal/JournalFilter.h"
#include "records/RecordsExport.h"

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTableWidget;
class QTimer;
class RecordsExportJob;
class RecordsTableModel;

struct RecordsWindowSetup {
    std::string journalPath;
    // "Write again": handed the journal ids of records whose files did not
    // take them (the selected ones, or all shown when none is selected). The
    // caller writes them into the file its settings name now and tells the
    // outcome through showWriteAgainOutcome(). Empty: no such button.
    std::function<void(std::vector<std::int64_t> ids)> writeAgain;
    // Where an export goes: a path, or empty to cancel. Empty: a file chooser.
    std::function<QString(QWidget* parent, const QString& caption, const QString& suggested,
                          const QString& filter)>
        chooseExportFile;
};

// The records window: the journal's records, newest first, filtered by days
// and by text in any slot, with their totals and a row per day, exported to
// CSV or XLSX. A window of its own beside the main window, never modal. It
// reads the journal through its own connection, a page at a time; exports
// run on a thread of their own.
class RecordsWindow : public QWidget {
    Q_OBJECT

  public:
    explicit RecordsWindow(RecordsWindowSetup setup, QWidget* parent = nullptr);
    ~RecordsWindow() override;

    // Records were committed or outcomes changed: the table takes them in.
    // New records come in at the top; a table scrolled down stays on the
    // records it shows.
    void journalChanged();
    // Whether the journal is being kept; shown above the table when not.
    void showJournalStatus(bool kept, const QString& reason);
    // What a write again came to.
    void showWriteAgainOutcome(std::size_t written, std::size_t failed, const QString& reason);

    // Sets the filter controls and shows what the filter takes.
    void setFilter(const JournalFilter& filter);
    RecordsTableModel& model() { return *model_; }
    QTableView& table() { return *table_; }
    // "1,234 records, 5,678 parts", of what is shown.
    QString totalsText() const;
    // The line under the table: exports, write again, the journal's own state.
    QString statusText() const;
    QTableWidget& dayTable() { return *days_; }

    // Starts an export of what is shown, as the buttons do, asking where.
    void exportShown(ExportFormat format);
    void writeAgainShown();

  Q_SIGNALS:
    void exportFinished(bool done, const QString& message);

  private:
    void buildLayout();
    void applyFilter();
    JournalFilter filterFromControls() const;
    void showTotals();
    void keepPlaceAfterInsert(int inserted);
    void exportDone(const ExportResult& result, const QString& path);

    RecordsWindowSetup setup_;
    std::unique_ptr<RecordsTableModel> model_;
    std::unique_ptr<RecordsExportJob> exportJob_;
    QCheckBox* byDays_ = nullptr;
    QDateEdit* fromDay_ = nullptr;
    QDateEdit* toDay_ = nullptr;
    QLineEdit* slotText_ = nullptr;
    QTimer* textPause_ = nullptr;
    QLabel* journalState_ = nullptr;
    QTableView* table_ = nullptr;
    QTableWidget* days_ = nullptr;
    QLabel* totals_ = nullptr;
    QPushButton* exportCsv_ = nullptr;
    QPushButton* exportXlsx_ = nullptr;
    QPushButton* writeAgain_ = nullptr;
    QLabel* status_ = nullptr;
    bool settingControls_ = false;
};
