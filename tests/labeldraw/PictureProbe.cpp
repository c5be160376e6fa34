#define ZX_USE_UTF8 1
#include "tests/labeldraw/PictureProbe.h"

#include <ZXing/ReadBarcode.h>

#include <algorithm>

namespace picturetest {
namespace {

int checkDigitMod10(std::string_view digits) {
    // Weights 3, 1, 3, ... from the rightmost digit.
    int sum = 0;
    int weight = 3;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        sum += (*it - '0') * weight;
        weight = 4 - weight;
    }
    return (10 - sum % 10) % 10;
}

char code39Check(std::string_view data) {
    constexpr std::string_view kChars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
    int sum = 0;
    for (const char c : data) {
        sum += static_cast<int>(kChars.find(c));
    }
    return kChars[static_cast<std::size_t>(sum % 43)];
}

// UPC-E (number system, six digits) written out as the UPC-A it stands for.
std::string upcAOfUpcE(char system, std::string_view d) {
    const std::string s(d);
    switch (d[5]) {
        case '0':
        case '1':
        case '2':
            return system + s.substr(0, 2) + d[5] + "0000" + s.substr(2, 3);
        case '3':
            return system + s.substr(0, 3) + "00000" + s.substr(3, 2);
        case '4':
            return system + s.substr(0, 4) + "00000" + s.substr(4, 1);
        default:
            return system + s.substr(0, 5) + "0000" + d[5];
    }
}

}  // namespace

bool isBlack(const QImage& image, int x, int y) {
    return qGray(image.pixel(x, y)) < 128;
}

QRect inkBounds(const QImage& image, const QRect& area) {
    const QRect clipped = area.intersected(image.rect());
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            if (isBlack(image, x, y)) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (left > right) {
        return {};
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

QRect inkBounds(const QImage& image) {
    return inkBounds(image, image.rect());
}

QRect pixelBox(const label::DotRect& box, int scale) {
    return QRect(box.x * scale, box.y * scale, box.w * scale, box.h * scale);
}

Scan scanArea(const QImage& image, const QRect& area, const ScanOptions& options) {
    const QImage part =
        image.copy(area.intersected(image.rect())).convertToFormat(QImage::Format_Grayscale8);
    const ZXing::ImageView view(part.constBits(), part.width(), part.height(),
                                ZXing::ImageFormat::Lum, static_cast<int>(part.bytesPerLine()));
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::LinearCodes);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    hints.setTryCode39ExtendedMode(options.code39FullAscii);
    hints.setReturnCodabarStartEnd(true);
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid()) {
        return {};
    }
    return {ZXing::ToString(result.format()), result.text()};
}

std::string scannerText(std::string_view typeCode, std::string_view data) {
    const std::string text(data);
    if (typeCode == "E30" || typeCode == "E80" || typeCode == "UA0") {
        return text + static_cast<char>('0' + checkDigitMod10(data));
    }
    if (typeCode == "UE0") {
        const char system = data.size() == 7 ? data[0] : '0';
        const std::string_view six = data.substr(data.size() - 6);
        return system + std::string(six) +
               static_cast<char>('0' + checkDigitMod10(upcAOfUpcE(system, six)));
    }
    if (typeCode == "3C") {
        return text + code39Check(data);
    }
    if (typeCode == "2" || typeCode == "2C") {
        std::string digits = text;
        if (typeCode == "2C") {
            digits += static_cast<char>('0' + checkDigitMod10(data));
        }
        return digits.size() % 2 == 0 ? digits : "0" + digits;
    }
    return text;
}

}  // namespace picturetest
