#include "ui/ControlBindings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <utility>

#include "panel/PanelModel.h"
#include "text/TextConv.h"
#include "ui/ControlTable.h"
#include "ui/ListEntries.h"
#include "ui/PortListCombo.h"

namespace {

// How long typing into the template must pause before the model takes it.
constexpr int kTemplatePauseMs = 300;

// The edit holds its line breaks as LF, the template as CR LF.
QString asEditText(const std::string& text) {
    QString lines = decodeUtf8(text);
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return lines;
}

std::string fromEditText(const QString& text) {
    QString lines = text;
    lines.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return encodeUtf8(lines);
}

}  // namespace

ControlBindings::ControlBindings(PanelModel& model, std::function<void()> refreshPorts)
    : model_(model), refreshPorts_(std::move(refreshPorts)) {
    model_.listen([this](const ValueId& value, Origin) { show(value); });
    templatePause_.setSingleShot(true);
    templatePause_.setInterval(kTemplatePauseMs);
    connect(&templatePause_, &QTimer::timeout, this, [this] { takeTypedTemplate(); });
}

void ControlBindings::show(const ValueId& value) {
    const bool wasShowing = std::exchange(showing_, true);
    for (const Shown& shown : shown_) {
        if (shown.value == value) {
            shown.show();
        }
    }
    showing_ = wasShowing;
}

void ControlBindings::onShow(const ValueId& value, std::function<void()> showValue) {
    const bool wasShowing = std::exchange(showing_, true);
    showValue();
    showing_ = wasShowing;
    shown_.push_back(Shown{value, std::move(showValue)});
}

void ControlBindings::bind(const ControlRow& row, QWidget* widget) {
    if (!row.value) {
        return;
    }
    const ValueId value = *row.value;
    if (const auto* text = std::get_if<TextValue>(&value)) {
        bindText(row, widget, *text);
    } else if (const auto* choice = std::get_if<ChoiceValue>(&value)) {
        auto* list = static_cast<QComboBox*>(widget);
        list->addItems(listEntries(*choice));
        connect(list, &QComboBox::activated, this, byOperator([this, choice = *choice](int index) {
                    model_.setChoice(choice, index, Origin::Operator);
                }));
        onShow(value, [this, list, choice = *choice] {
            const int index = model_.choice(choice);
            list->setCurrentIndex(index < list->count() ? index : -1);
        });
    } else if (const auto* flag = std::get_if<FlagValue>(&value)) {
        if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            connect(box, &QCheckBox::clicked, this, byOperator([this, flag = *flag](bool checked) {
                        model_.setFlag(flag, checked, Origin::Operator);
                    }));
            onShow(value, [this, box, flag = *flag] { box->setChecked(model_.flag(flag)); });
        } else {
            // The preset's sign is the caption of its button.
            auto* button = static_cast<QPushButton*>(widget);
            onShow(value, [this, button, flag = *flag] {
                button->setText(model_.flag(flag) ? QStringLiteral("-") : QStringLiteral("+"));
            });
        }
    } else if (value == ValueId{OtherValue::Ports}) {
        auto* list = static_cast<PortListCombo*>(widget);
        list->setBeforePopup(refreshPorts_);
        connect(list, &QComboBox::activated, this, byOperator([this](int index) {
                    PortEntries ports = model_.ports();
                    ports.chosen = index;
                    model_.setPorts(std::move(ports), Origin::Operator);
                }));
        onShow(value, [this, list] {
            const PortEntries& ports = model_.ports();
            QStringList entries;
            for (const std::string& entry : ports.entries) {
                entries.append(QString::fromStdString(entry));
            }
            QStringList shown;
            for (int i = 0; i < list->count(); ++i) {
                shown.append(list->itemText(i));
            }
            if (shown != entries) {
                list->clear();
                list->addItems(entries);
            }
            list->setCurrentIndex(ports.chosen);
        });
    } else if (value == ValueId{OtherValue::Count}) {
        bindCount(static_cast<QPlainTextEdit*>(widget));
    }
}

void ControlBindings::bindText(const ControlRow& row, QWidget* widget, TextValue value) {
    if (row.kind == ControlKind::TemplateEdit) {
        bindTemplate(static_cast<QPlainTextEdit*>(widget));
        return;
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        // The line under the record path: why the latest record failed.
        label->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold"));
        onShow(value, [this, label, value] {
            const std::string& reason = model_.text(value);
            const QString text = reason.empty()
                                     ? QString()
                                     : QStringLiteral("record NOT written: ") + decodeUtf8(reason);
            label->setText(text);
            label->setToolTip(text);
        });
        return;
    }
    auto* edit = static_cast<QLineEdit*>(widget);
    if (!edit->isReadOnly() && row.kind != ControlKind::ClockEdit) {
        connect(edit, &QLineEdit::textChanged, this, byOperator([this, value](const QString& text) {
                    model_.setText(value, encodeUtf8(text), Origin::Operator);
                }));
    }
    onShow(value, [this, edit, value] {
        const QString text = decodeUtf8(model_.text(value));
        if (edit->text() != text) {
            edit->setText(text);
        }
    });
}

void ControlBindings::bindTemplate(QPlainTextEdit* edit) {
    templateEdit_ = edit;
    connect(edit, &QPlainTextEdit::textChanged, this,
            byOperator([this] { templatePause_.start(); }));
    onShow(TextValue::Template, [this, edit] {
        templatePause_.stop();
        const QString text = asEditText(model_.text(TextValue::Template));
        if (edit->toPlainText() != text) {
            edit->setPlainText(text);
        }
    });
}

void ControlBindings::takeTemplate() {
    if (!templatePause_.isActive()) {
        return;  // nothing typed since the model took the template
    }
    templatePause_.stop();
    takeTypedTemplate();
}

// A single-shot timer is no longer active when it fires: the pause's end
// takes the template without asking.
void ControlBindings::takeTypedTemplate() {
    if (templateEdit_ != nullptr) {
        model_.setText(TextValue::Template, fromEditText(templateEdit_->toPlainText()),
                       Origin::Operator);
    }
}

// Laying out the count's text costs more than everything else a frame does:
// it is shown once per turn of the event loop, the latest count winning.
void ControlBindings::bindCount(QPlainTextEdit* edit) {
    auto showCount = [this, edit] {
        if (const std::optional<int> count = model_.count()) {
            edit->setPlainText(QStringLiteral("data=%1").arg(*count));
        }
    };
    shown_.push_back(Shown{OtherValue::Count, [this, showCount] {
                               if (countPosted_) {
                                   return;
                               }
                               countPosted_ = true;
                               QMetaObject::invokeMethod(
                                   this,
                                   [this, showCount] {
                                       countPosted_ = false;
                                       showCount();
                                   },
                                   Qt::QueuedConnection);
                           }});
}
