#pragma once

#include <QObject>
#include <QPoint>

#include <QKeySequence>

#include <string>

class LabelPreview;
class Panel;
class PanelModel;
class QPlainTextEdit;
class QWidget;
class RecordsWindow;

// The windows beside the main one, each opened in one click from a button at
// the right end of the status line and by a shortcut, never moving a control
// of the control table: the label preview (Ctrl+L, also from the template
// edit's context menu), the records (Ctrl+R) and the plant link (Ctrl+M).
class SideWindows : public QObject {
  public:
    SideWindows(QWidget* mainWindow, Panel& panel, QPlainTextEdit* templateEdit);

    // The row of buttons the main window places at the right of its status line.
    QWidget* buttons() const { return buttons_; }

    void showLabelPreview();
    // The main window moved by `by`: the side windows shown move with it.
    void follow(QPoint by);
    LabelPreview* labelPreview() const { return preview_; }
    void showRecords();
    // The "Plant link" dialog, modal over the main window.
    void showPlantLink();
    // Made when first opened; nullptr before.
    RecordsWindow* recordsWindow() const { return records_; }

  private:
    void addTemplateMenu(QPlainTextEdit* templateEdit);
    void addButton(const QString& text, const QString& name, const QKeySequence& keys,
                   void (SideWindows::*open)());
    void showBeside(QWidget* window);

    QWidget* mainWindow_;
    Panel& panel_;
    PanelModel& model_;
    QWidget* buttons_;
    LabelPreview* preview_;
    RecordsWindow* records_ = nullptr;
};
