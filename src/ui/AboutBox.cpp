#include "ui/AboutBox.h"

#include <QLabel>
#include <QPushButton>

#include <algorithm>

#include "ui/AppInfo.h"

AboutBox::AboutBox(const QIcon& icon, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr(kAboutCaption));
    auto* image = new QLabel(this);
    image->setPixmap(icon.pixmap(32, 32));
    image->setGeometry(21, 21, 32, 32);
    // Each line is as wide and as high as its text needs in the desktop's font
    // and language; the box grows to hold the longest.
    const QSize leastLine(220, 18);
    auto* name = new QLabel(QString::fromLatin1(kAppName) + tr(kVersionSuffix), this);
    name->setObjectName(QStringLiteral("name"));
    name->setGeometry(QRect(QPoint(63, 21), name->sizeHint().expandedTo(leastLine)));
    auto* credit = new QLabel(tr(kCreditLine), this);
    credit->setGeometry(QRect(QPoint(63, name->y() + name->height() + 1),
                              credit->sizeHint().expandedTo(leastLine)));
    auto* ok = new QPushButton(tr("确定"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    const int width = std::max(255, 63 + std::max(name->width(), credit->width()) + 10);
    const QSize okSize = ok->sizeHint().expandedTo(QSize(75, 26));
    ok->setGeometry(
        QRect(QPoint(width - 10 - okSize.width(), credit->y() + credit->height() + 14), okSize));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(width, ok->y() + ok->height() + 10);
}
