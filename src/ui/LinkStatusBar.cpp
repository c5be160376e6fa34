#include "ui/LinkStatusBar.h"

#include <QPainter>

namespace {

// Mid-tone colours that stand out on light and on dark window backgrounds.
QColor markColour(LinkMark mark) {
    switch (mark) {
        case LinkMark::Live:
            return QColor(0x2e, 0xa0, 0x43);
        case LinkMark::Silent:
            return QColor(0xd2, 0x99, 0x22);
        case LinkMark::Failed:
            return QColor(0xe0, 0x3e, 0x3e);
    }
    return {};
}

}  // namespace

LinkStatusBar::LinkStatusBar(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void LinkStatusBar::showLine(const LinkStatusLine& line) {
    if (line == line_) {
        return;
    }
    line_ = line;
    setToolTip(line.text);
    update();
}

void LinkStatusBar::setRightRoom(int pixels) {
    if (pixels != rightRoom_) {
        rightRoom_ = pixels;
        update();
    }
}

void LinkStatusBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int margin = fontMetrics().averageCharWidth();
    const int diameter = fontMetrics().height() / 2;
    const QRectF dot(margin, (height() - diameter) / 2.0, diameter, diameter);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 0.5));
    painter.setBrush(markColour(line_.mark));
    painter.drawEllipse(dot);

    const int textLeft = margin + diameter + margin / 2 + 2;
    const QRect textRect(textLeft, 0, width() - textLeft - margin - rightRoom_, height());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                     fontMetrics().elidedText(line_.text, Qt::ElideRight, textRect.width()));
}
