#include "app/AboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "app/AppInfo.h"

CAboutDlg::CAboutDlg(const QIcon& icon, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr(kAboutCaption));
    auto* image = new QLabel(this);
    image->setPixmap(icon.pixmap(32, 32));
    image->setGeometry(21, 21, 32, 32);
    auto* name = new QLabel(QString::fromLatin1(kAppName) + tr(kVersionSuffix), this);
    name->setObjectName(QStringLiteral("name"));
    name->setGeometry(63, 21, 220, 18);
    auto* credit = new QLabel(tr(kCreditLine), this);
    credit->setGeometry(63, 40, 220, 18);
    auto* ok = new QPushButton(tr("确定"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    ok->setGeometry(170, 72, 75, 26);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(255, 108);
}
