#pragma once

#include <QObject>

class LabelPreview;
class PanelModel;
class QPlainTextEdit;
class QWidget;

// The windows beside the main one, each opened in one click from a button at
// the right end of the status line and by a shortcut, never moving a control
// of the control table: the label preview (Ctrl+L, also from the template
// edit's context menu).
class SideWindows : public QObject {
  public:
    SideWindows(QWidget* mainWindow, PanelModel& model, QPlainTextEdit* templateEdit);

    // The row of buttons the main window places at the right of its status line.
    QWidget* buttons() const { return buttons_; }

    void showLabelPreview();
    LabelPreview* labelPreview() const { return preview_; }

  private:
    void addTemplateMenu(QPlainTextEdit* templateEdit);
    void showBeside(QWidget* window);

    QWidget* mainWindow_;
    PanelModel& model_;
    QWidget* buttons_;
    LabelPreview* preview_;
};
