#pragma once

#include <QImage>

#include "label/Label.h"

class QPainter;

// The label drawn as the printer would print it: a white label, black print,
// one dot a square. Bars, lines and boxes are rectangles at whole dots, so the
// picture is exact at any whole scale. Texts use a mono-spaced screen font
// stretched to the printer font's cells: their place and size are the
// printer's, their letter shapes are not.
namespace labeldraw {

// Paints the elements in dot units with the painter's transform; the label
// area (0, 0) to (width, length) is filled white first.
void paintLabel(QPainter& painter, const label::Label& label);

// The picture larger than this is not drawn (bounded memory).
inline constexpr qint64 kMostPixels = 64LL * 1024 * 1024;

// The whole label, `scale` pixels per dot; a null image when the scale is
// below 1 or the picture would hold more than kMostPixels pixels.
QImage drawLabel(const label::Label& label, int scale);

// Whether a label of that size fits in kMostPixels at that scale.
bool fitsPicture(const label::Label& label, int scale);

}  // namespace labeldraw
