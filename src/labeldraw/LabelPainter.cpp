#include "labeldraw/LabelPainter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPolygon>

namespace labeldraw {
namespace {

using label::Ink;

// The screen font that stands in for the printer's fonts, and its cell.
struct CellFont {
    QFont font;
    qreal advance = 1;
    qreal ascent = 1;
    qreal height = 1;
};

CellFont cellFont() {
    CellFont cell;
    cell.font = QFont(QStringLiteral("DejaVu Sans Mono"));
    cell.font.setStyleHint(QFont::TypeWriter, QFont::NoAntialias);
    cell.font.setFixedPitch(true);
    cell.font.setPixelSize(64);
    cell.font.setHintingPreference(QFont::PreferNoHinting);
    const QFontMetricsF metrics(cell.font);
    cell.advance = std::max<qreal>(1, metrics.horizontalAdvance(QLatin1Char('0')));
    cell.ascent = metrics.ascent();
    cell.height = std::max<qreal>(1, metrics.ascent() + metrics.descent());
    return cell;
}

void useInk(QPainter& painter, Ink ink) {
    if (ink == Ink::Invert) {
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    } else {
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
}

QColor colourOf(Ink ink) {
    return ink == Ink::Black ? Qt::black : Qt::white;
}

QString printable(const std::string& bytes) {
    QString text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() < 0xa0)) {
            c = QLatin1Char(' ');
        }
    }
    return text;
}

void paintRun(QPainter& painter, const label::TextRun& run, const CellFont& cell) {
    if (run.text.empty() || run.pitch <= 0 || run.charHeight <= 0) {
        return;
    }
    painter.save();
    useInk(painter, run.ink);
    painter.setPen(colourOf(run.ink));
    // The screen font's character advance becomes the printer font's
    // character width; the gap between characters is letter spacing.
    const qreal across = run.charWidth / cell.advance;
    QFont font = cell.font;
    font.setLetterSpacing(QFont::AbsoluteSpacing, (run.pitch - run.charWidth) / across);
    painter.setFont(font);
    painter.translate(run.x, run.y);
    painter.scale(across, run.charHeight / cell.height);
    painter.drawText(QPointF(0, cell.ascent), printable(run.text));
    painter.restore();
}

void paintElement(QPainter& painter, const label::Element& element, const CellFont& cell) {
    painter.save();
    painter.translate(element.x, element.y);
    painter.rotate(90.0 * element.quarterTurns);
    for (const label::DotRect& r : element.rects) {
        useInk(painter, r.ink);
        painter.fillRect(QRect(r.x, r.y, r.w, r.h), colourOf(r.ink));
    }
    if (!element.polygon.empty()) {
        QPolygon polygon;
        for (const label::DotPoint& p : element.polygon) {
            polygon << QPoint(p.x, p.y);
        }
        useInk(painter, element.polygonInk);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colourOf(element.polygonInk));
        painter.drawPolygon(polygon);
    }
    for (const label::TextRun& run : element.texts) {
        paintRun(painter, run, cell);
    }
    painter.restore();
}

}  // namespace

void paintLabel(QPainter& painter, const label::Label& label) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.fillRect(QRect(0, 0, label.width, label.length), Qt::white);
    const CellFont cell = cellFont();
    for (const label::Element& element : label.elements) {
        paintElement(painter, element, cell);
    }
    painter.restore();
}

bool fitsPicture(const label::Label& label, int scale) {
    if (scale < 1 || label.width <= 0 || label.length <= 0) {
        return false;
    }
    const qint64 width = qint64(label.width) * scale;
    const qint64 length = qint64(label.length) * scale;
    return width * length <= kMostPixels;
}

QImage drawLabel(const label::Label& label, int scale) {
    if (!fitsPicture(label, scale)) {
        return {};
    }
    QImage image(label.width * scale, label.length * scale, QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(scale, scale);
    paintLabel(painter, label);
    painter.end();
    return image;
}

}  // namespace labeldraw
