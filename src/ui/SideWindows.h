#pragma once

#include <QObject>

#include <QKeySequence>

#include <string>

class LabelPreview;
class PanelController;
class PanelModel;
class QPlainTextEdit;
class QWidget;
class RecordsWindow;

// The windows beside the main one, each opened in one click from a button at
// the right end of the status line and by a shortcut, never moving a control
// of the control table: the label preview (Ctrl+L, also from the template
// edit's context menu) and the records (Ctrl+R).
class SideWindows : public QObject {
  public:
    SideWindows(QWidget* mainWindow, PanelModel& model, PanelController& controller,
                std::string journalPath, QPlainTextEdit* templateEdit);

    // The row of buttons the main window places at the right of its status line.
    QWidget* buttons() const { return buttons_; }

    void showLabelPreview();
    LabelPreview* labelPreview() const { return preview_; }
    void showRecords();
    // Made when first opened; nullptr before.
    RecordsWindow* recordsWindow() const { return records_; }

  private:
    void addTemplateMenu(QPlainTextEdit* templateEdit);
    void addButton(const QString& text, const QString& name, const QKeySequence& keys,
                   void (SideWindows::*open)());
    void showBeside(QWidget* window);

    QWidget* mainWindow_;
    PanelModel& model_;
    PanelController& controller_;
    std::string journalPath_;
    QWidget* buttons_;
    LabelPreview* preview_;
    RecordsWindow* records_ = nullptr;
};
