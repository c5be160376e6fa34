#pragma once

#include <QDialog>
#include <QIcon>

// The About box: the icon, the program's name and version, a credit line, OK.
class AboutBox : public QDialog {
    Q_OBJECT

  public:
    AboutBox(const QIcon& icon, QWidget* parent);
};
