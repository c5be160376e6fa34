#pragma once

#include <QDialog>
#include <QIcon>

// The About box: the icon, the program's name and version, a credit line, OK.
class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    CAboutDlg(const QIcon& icon, QWidget* parent);
};
