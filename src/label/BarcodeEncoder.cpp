#include "label/BarcodeEncoder.h"

#include <zint.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "label/PrinterFonts.h"

namespace label {
namespace {

constexpr int kTextGap = 2;  // dots between the bars and the human-readable line

struct SymbolDeleter {
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

int zintSymbology(const SymbologyInfo& type, std::string_view data) {
    switch (type.symbology) {
        case Symbology::Code128:
            return BARCODE_CODE128;
        case Symbology::Code39:
        case Symbology::Code39Check:
            return isPlainCode39(data) ? BARCODE_CODE39 : BARCODE_EXCODE39;
        case Symbology::Code93:
            return BARCODE_CODE93;
        case Symbology::Interleaved2of5:
        case Symbology::Interleaved2of5Check:
            return BARCODE_C25INTER;
        case Symbology::Codabar:
            return BARCODE_CODABAR;
        case Symbology::Ean13:
        case Symbology::Ean8:
            return BARCODE_EANX;
        case Symbology::UpcA:
            return BARCODE_UPCA;
        case Symbology::UpcE:
            return BARCODE_UPCE;
    }
    return BARCODE_CODE128;
}

bool addsCheckDigit(Symbology symbology) {
    return symbology == Symbology::Code39Check || symbology == Symbology::Interleaved2of5Check;
}

// The human-readable line's font follows the narrow bar: font 1 for 1 dot up
// to font 4 for 4 dots and more.
const PrinterFont& humanReadableFont(int narrow) {
    return *printerFont(std::clamp(narrow, 1, 4));
}

struct ZintBar {
    int start;  // modules
    int width;
    bool guard;
};

std::vector<ZintBar> barsOf(const zint_vector& vector) {
    std::vector<ZintBar> bars;
    float shortest = 0;
    for (const zint_vector_rect* r = vector.rectangles; r != nullptr; r = r->next) {
        shortest = bars.empty() ? r->height : std::min(shortest, r->height);
        bars.push_back(
            {static_cast<int>(std::lround(r->x)), static_cast<int>(std::lround(r->width)), false});
    }
    std::size_t i = 0;
    for (const zint_vector_rect* r = vector.rectangles; r != nullptr; r = r->next, ++i) {
        bars[i].guard = r->height > shortest + 0.5f;
    }
    std::sort(bars.begin(), bars.end(),
              [](const ZintBar& a, const ZintBar& b) { return a.start < b.start; });
    return bars;
}

}  // namespace

BarcodeDrawing encodeBarcode(const SymbologyInfo& type, std::string_view data,
                             const BarcodeSize& size) {
    BarcodeDrawing drawing;
    const std::unique_ptr<zint_symbol, SymbolDeleter> symbol(ZBarcode_Create());
    if (!symbol) {
        drawing.error = "out of memory";
        return drawing;
    }
    symbol->symbology = zintSymbology(type, data);
    symbol->scale = 0.5f;  // one vector unit per module
    symbol->height = 50;
    symbol->show_hrt = size.humanReadable ? 1 : 0;
    symbol->input_mode = DATA_MODE;
    symbol->option_2 = addsCheckDigit(type.symbology) ? 1 : 0;
    const int result = ZBarcode_Encode_and_Buffer_Vector(
        symbol.get(), reinterpret_cast<const unsigned char*>(data.data()),
        static_cast<int>(data.size()), 0);
    if (result >= ZINT_ERROR || symbol->vector == nullptr ||
        symbol->vector->rectangles == nullptr) {
        drawing.error = symbol->errtxt[0] != '\0' ? symbol->errtxt : "cannot be encoded";
        return drawing;
    }

    const std::vector<ZintBar> bars = barsOf(*symbol->vector);
    const int firstModule = bars.front().start;
    const PrinterFont& font = humanReadableFont(size.narrow);
    const int guardHeight = size.height + (size.humanReadable ? kTextGap + font.height / 2 : 0);
    // Element widths in modules become dots: every module is narrow where the
    // type has fixed ratios; where it has narrow and wide elements, each one
    // module wide is narrow and each wider one wide.
    const auto dots = [&](int modules) {
        if (!type.wideBars) {
            return modules * size.narrow;
        }
        return modules <= 1 ? size.narrow : size.wide;
    };
    int x = 0;
    int moduleEnd = firstModule;
    for (const ZintBar& bar : bars) {
        if (bar.start > moduleEnd) {
            x += dots(bar.start - moduleEnd);
        }
        const int width = dots(bar.width);
        drawing.bars.push_back({x, 0, width, bar.guard ? guardHeight : size.height, Ink::Black});
        x += width;
        moduleEnd = bar.start + bar.width;
    }
    drawing.width = x;

    if (!size.humanReadable) {
        return drawing;
    }
    const int pitch = font.width + font.gap;
    for (const zint_vector_string* s = symbol->vector->strings; s != nullptr; s = s->next) {
        TextRun run;
        run.text.assign(reinterpret_cast<const char*>(s->text));
        const int length = static_cast<int>(run.text.size());
        // Characters get narrower where zint's room for them is narrower.
        run.pitch = pitch;
        if (!type.wideBars && s->width > 0 && length > 0) {
            const int room = static_cast<int>(std::lround(s->width * size.narrow));
            run.pitch = std::clamp(room / length, 2, pitch);
        }
        run.charWidth = std::max(1, run.pitch - font.gap);
        run.charHeight = font.height;
        const int runWidth = run.pitch * length - font.gap;
        int anchor = drawing.width / 2;
        int align = 0;
        if (!type.wideBars) {
            anchor = static_cast<int>(std::lround((s->x - firstModule) * size.narrow));
            align = s->halign;
        }
        run.x = align == 1 ? anchor : align == 2 ? anchor - runWidth : anchor - runWidth / 2;
        run.y = size.height + kTextGap;
        drawing.texts.push_back(std::move(run));
    }
    return drawing;
}

}  // namespace label
