#pragma once

#include <QImage>
#include <QRect>
#include <string>

#include "label/Label.h"

// Reading drawn pictures back: where the black pixels are, and what a
// scanner (zxing-cpp) reads from a part of the picture.
namespace picturetest {

// The smallest rectangle holding every black pixel of `area`; empty when
// there is none.
QRect inkBounds(const QImage& image, const QRect& area);
QRect inkBounds(const QImage& image);

bool isBlack(const QImage& image, int x, int y);

// An element's box in pixels of a picture drawn at `scale`.
QRect pixelBox(const label::DotRect& box, int scale);

struct ScanOptions {
    bool code39FullAscii = false;
};

// What zxing-cpp reads from `area` of the picture: the symbology's name as
// zxing names it and the text; empty when nothing is read.
struct Scan {
    std::string format;
    std::string text;
};
Scan scanArea(const QImage& image, const QRect& area, const ScanOptions& options = {});

// The text scanners return for data a printer encodes: its check digits
// added where the symbology shows them (EAN, UPC, 3C, 2C), odd I2of5 data
// with a leading 0.
std::string scannerText(std::string_view typeCode, std::string_view data);

}  // namespace picturetest
