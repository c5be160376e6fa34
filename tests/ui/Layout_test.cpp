// Every caption and every list entry is fully readable: its text fits where
// its control draws it, no control covers another, and the everyday controls
// fit the narrowed window. Checked with the desktop's font as it comes and with
// the desktop's font at 12 points.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>

#include <string>
#include <vector>

#include "support/PanelHarness.h"
#include "ui/AboutBox.h"

namespace {

std::string describe(const QWidget* widget) {
    const QString name = widget->objectName();
    const auto* label = qobject_cast<const QLabel*>(widget);
    return (label != nullptr ? "label \"" + label->text() : "control \"" + name).toStdString() +
           "\"";
}

// The rectangle, in the parent's coordinates, inside which `widget` draws its
// caption or its shown list entry.
QRect textArea(QWidget* widget) {
    QStyle* style = widget->style();
    QRect area = widget->rect();
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        area = style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        area = style->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        option.frame = combo->hasFrame();
        area = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField,
                                     combo);
        // A closed list draws its entry one pixel in from each side; an
        // editable one shows it in a line edit with a 2-pixel margin.
        const int inset = combo->isEditable() ? 2 : 1;
        area.adjust(inset, 0, -inset, 0);
    }
    return area.translated(widget->pos());
}

// The texts a control must show whole: its caption, or every entry of its
// list (the port list also the widest name it can offer).
QStringList textsOf(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return {label->text()};
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return {button->text()};
    }
    QStringList texts;
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        for (int i = 0; i < combo->count(); ++i) {
            texts << combo->itemText(i);
        }
        if (widget->objectName() == QString::number(ctl::kPort)) {
            texts << QStringLiteral("COM255");
        }
    }
    return texts;
}

// Problems as readable lines, so one failure lists them all.
// `shownWidth` is the width of the window as shown: the main window starts
// narrowed, with the parameter panel outside.
std::vector<std::string> unreadable(const QWidget& window, int shownWidth) {
    std::vector<std::string> problems;
    QList<QWidget*> controls = window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    controls.removeIf([](const QWidget* child) { return child->isWindow(); });  // side windows
    for (QWidget* control : controls) {
        const QRect area = textArea(control);
        const QFontMetrics metrics(control->font());
        for (const QString& text : textsOf(control)) {
            const int width = metrics.horizontalAdvance(text);
            if (width > area.width() || metrics.height() > area.height()) {
                problems.push_back(describe(control) + ": \"" + text.toStdString() + "\" needs " +
                                   std::to_string(width) + "x" + std::to_string(metrics.height()) +
                                   " px, has " + std::to_string(area.width()) + "x" +
                                   std::to_string(area.height()));
            }
        }
        for (const QWidget* other : controls) {
            if (other != control && control->geometry().intersects(other->geometry()) &&
                control < other) {
                problems.push_back(describe(control) + " and " + describe(other) + " overlap");
            }
        }
        // What starts inside the window as shown must end inside it.
        const QRect place = control->geometry();
        if ((place.left() < shownWidth && place.right() >= shownWidth) ||
            place.bottom() >= window.height()) {
            problems.push_back(describe(control) + " is cut by the window's edge");
        }
    }
    return problems;
}

class Readable : public testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        if (GetParam() > 0) {
            QFont font = QApplication::font();
            font.setPointSize(GetParam());
            QApplication::setFont(font);
        }
    }
    void TearDown() override { QApplication::setFont(saved_); }

  private:
    QFont saved_ = QApplication::font();
};

TEST_P(Readable, EveryCaptionAndListEntryOfTheWindow) {
    PanelHarness panel;
    MainWindow& dlg = panel.open();
    EXPECT_GE(dlg.font().pointSize(), std::max(9, GetParam()));
    EXPECT_THAT(unreadable(dlg, dlg.width()), testing::IsEmpty());
}

TEST_P(Readable, TheAboutBox) {
    AboutBox about(QIcon(), nullptr);
    EXPECT_THAT(unreadable(about, about.width()), testing::IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(DesktopFont, Readable, testing::Values(0, 12),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == 0 ? std::string("AsItComes")
                                                    : std::to_string(info.param) + "Points";
                         });

}  // namespace
