#include "ui/label/LabelCanvas.h"

#include <QPaintEvent>
#include <QPainter>

namespace {
constexpr int kMargin = 8;  // room for the label's edge to show
}

void LabelCanvas::setPicture(const QImage& picture) {
    const bool resized = picture.size() != picture_.size();
    picture_ = picture;
    if (resized) {
        setFixedSize(sizeHint());
    }
    update();
}

QSize LabelCanvas::sizeHint() const {
    return picture_.isNull() ? QSize(2 * kMargin, 2 * kMargin)
                             : picture_.size() + QSize(2 * kMargin, 2 * kMargin);
}

void LabelCanvas::paintEvent(QPaintEvent* event) {
    if (picture_.isNull()) {
        return;
    }
    QPainter painter(this);
    const QRect target(QPoint(kMargin, kMargin), picture_.size());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(target.adjusted(-1, -1, 0, 0));
    // Only the part that needs painting: a long label zoomed in is large.
    const QRect dirty = event->rect().intersected(target);
    if (!dirty.isEmpty()) {
        painter.drawImage(dirty, picture_, dirty.translated(-kMargin, -kMargin));
    }
}
