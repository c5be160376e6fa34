#include "ui/ControlFactory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/CountDigitsValidator.h"
#include "ui/PortListCombo.h"

DialogUnits dialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int averageWidth = (metrics.horizontalAdvance(alphabet) + 26) / 52;
    return DialogUnits{averageWidth, metrics.height()};
}

QWidget* newControlWidget(const ControlRow& row, QWidget* parent) {
    const QString caption = QString::fromLatin1(row.caption);
    switch (row.kind) {
        case ControlKind::Label:
            return new QLabel(caption, parent);
        case ControlKind::ListCombo:
            return new QComboBox(parent);
        case ControlKind::PortList:
            return new PortListCombo(parent);
        case ControlKind::EditCombo: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(true);
            return combo;
        }
        case ControlKind::Edit:
        case ControlKind::DigitsEdit:
        case ControlKind::PasswordEdit:
        case ControlKind::ClockEdit:
        case ControlKind::PathEdit:
            return new QLineEdit(parent);
        case ControlKind::DataEdit:
        case ControlKind::TemplateEdit:
            return new QPlainTextEdit(parent);
        case ControlKind::Button:
            return new QPushButton(caption, parent);
        case ControlKind::CheckBox:
            return new QCheckBox(caption, parent);
    }
    return nullptr;
}

QWidget* makeControl(const ControlRow& row, QWidget* parent) {
    QWidget* widget = newControlWidget(row, parent);
    switch (row.kind) {
        case ControlKind::EditCombo: {
            auto* combo = static_cast<QComboBox*>(widget);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
            break;
        }
        case ControlKind::DigitsEdit: {
            auto* edit = static_cast<QLineEdit*>(widget);
            edit->setValidator(new CountDigitsValidator(edit));
            break;
        }
        case ControlKind::PasswordEdit:
            static_cast<QLineEdit*>(widget)->setEchoMode(QLineEdit::Password);
            break;
        case ControlKind::PathEdit:
            static_cast<QLineEdit*>(widget)->setReadOnly(true);
            break;
        case ControlKind::DataEdit:
            static_cast<QPlainTextEdit*>(widget)->setReadOnly(true);
            break;
        case ControlKind::TemplateEdit: {
            auto* edit = static_cast<QPlainTextEdit*>(widget);
            edit->setTabChangesFocus(true);
            edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            edit->setLineWrapMode(QPlainTextEdit::NoWrap);
            break;
        }
        case ControlKind::Button:
            // Enter is handled by the window, see its keyPressEvent.
            static_cast<QPushButton*>(widget)->setAutoDefault(false);
            break;
        default:
            break;
    }
    return widget;
}
