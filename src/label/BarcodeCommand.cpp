#include <algorithm>
#include <cstdio>

#include "label/BarcodeEncoder.h"
#include "label/Params.h"
#include "label/PrinterFonts.h"
#include "label/ReadContext.h"
#include "label/SampleTokens.h"
#include "label/Symbology.h"

namespace label {
namespace {

constexpr int kMostPosition = 65535;
constexpr int kMostHeight = 9999;

// Checks p5 and p6 against the type; false when they cannot be drawn.
bool checkBarWidths(ReadContext& context, const SymbologyInfo& type, int narrow, int wide) {
    if (narrow < type.narrowMin || narrow > type.narrowMax) {
        context.error("B: narrow bar width (p5) of " + std::string(type.name) + " must be from " +
                      std::to_string(type.narrowMin) + " to " + std::to_string(type.narrowMax) +
                      " dots, not " + std::to_string(narrow));
        return false;
    }
    if (narrow == 1) {
        context.warning("B: narrow bars of 1 dot are read only by good scanners at 203 dpi");
    }
    if (!type.wideBars) {
        return true;
    }
    if (wide < 2 || wide > 30) {
        context.error("B: wide bar width (p6) must be from 2 to 30 dots, not " +
                      std::to_string(wide));
        return false;
    }
    if (wide <= narrow) {
        context.error("B: wide bars (p6, " + std::to_string(wide) +
                      " dots) must be wider than the narrow ones (p5, " + std::to_string(narrow) +
                      ")");
        return false;
    }
    if (wide < 2 * narrow || wide > 3 * narrow) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "B: wide bars %.2g times as wide as the narrow ones: scanners expect 2 to 3 "
                      "times",
                      static_cast<double>(wide) / narrow);
        context.warning(text);
    }
    return true;
}

// An outline with the data in it, where the data cannot be encoded as it
// stands (a token without a sample value, or data the symbology cannot carry).
void addPlaceholder(Element& element, int narrow, int height) {
    // About the width of Code 128 for that many characters: the real width
    // is not known.
    constexpr std::size_t kMostCharacters = 1000;
    const int characters = static_cast<int>(std::min(element.data.size(), kMostCharacters));
    const int width = std::max(height, (11 * characters + 35) * std::max(narrow, 1));
    element.rects = {{0, 0, width, 1, Ink::Black},
                     {0, height - 1, width, 1, Ink::Black},
                     {0, 0, 1, height, Ink::Black},
                     {width - 1, 0, 1, height, Ink::Black}};
    const PrinterFont& font = *printerFont(1);
    const int pitch = font.width + font.gap;
    TextRun run;
    run.text = element.data.substr(0, static_cast<std::size_t>(std::max(0, (width - 4) / pitch)));
    run.x = 2;
    run.y = std::max(0, (height - font.height) / 2);
    run.charWidth = font.width;
    run.charHeight = font.height;
    run.pitch = pitch;
    if (height >= font.height) {
        element.texts.push_back(std::move(run));
    }
    element.placeholder = true;
}

}  // namespace

void readBarcode(ReadContext& context, std::string_view params) {
    const std::vector<std::string_view> fields = splitAtCommas(params, 9);
    if (!context.expectFields("B", fields, 9,
                              "x, y, rotation, type, narrow and wide bar widths, height, B or N, "
                              "\"data\"")) {
        return;
    }
    const auto x = context.number("B", fields, 1, "x position", 0, kMostPosition);
    const auto y = context.number("B", fields, 2, "y position", 0, kMostPosition);
    const auto rotation = context.number("B", fields, 3, "rotation", 0, 3);
    const SymbologyInfo* type = findSymbology(fields[3]);
    if (!type) {
        if (isUndrawnBarcodeType(fields[3])) {
            context.warning("B: bar code type " + quoted(fields[3]) +
                            " is not drawn by the preview");
        } else {
            context.error("B: unknown bar code type (p4) " + quoted(fields[3]));
        }
    }
    const auto narrow = context.number("B", fields, 5, "narrow bar width", 1, 99);
    const auto wide = context.number("B", fields, 6, "wide bar width", 0, 99);
    const auto height = context.number("B", fields, 7, "bar code height", 1, kMostHeight);
    const bool humanReadable = fields[7] == "B";
    if (fields[7] != "N" && !humanReadable) {
        context.error("B: p8 must be B (human-readable line) or N (none), not " +
                      quoted(fields[7]));
    }
    const DataText data = readData(fields[8]);
    if (!data.problem.empty()) {
        context.error("B: " + data.problem);
        return;
    }
    if (data.hasPrinterFields) {
        context.warning("B: the printer fills in its fields (V, C, TT, TD): drawn as they stand");
    }
    if (!type || !x || !y || !rotation || !narrow || !wide || !height ||
        !checkBarWidths(context, *type, *narrow, *wide)) {
        return;
    }

    Element element;
    element.kind = ElementKind::Barcode;
    element.command = "B";
    element.x = *x;
    element.y = *y;
    element.quarterTurns = *rotation;
    element.symbology = std::string(type->name);
    element.data = context.fillSamples(data.bytes);
    if (element.data.empty()) {
        context.warning("B: empty data: the printer prints no bar code");
        return;
    }
    const bool sampled = element.data != data.bytes;
    // Data that still holds a token is the machine's to fill: drawn as far as
    // the symbology allows, never judged.
    if (!holdsToken(element.data) && !data.hasPrinterFields) {
        const DataVerdict verdict = checkBarcodeData(*type, element.data);
        const std::string with = sampled ? " (with the sample values)" : "";
        if (!verdict.error.empty()) {
            context.error("B: " + verdict.error + with);
            addPlaceholder(element, *narrow, *height);
            context.draw(std::move(element));
            return;
        }
        if (!verdict.warning.empty()) {
            context.warning("B: " + verdict.warning + with);
        }
    }
    BarcodeDrawing drawing =
        encodeBarcode(*type, element.data, {*narrow, *wide, *height, humanReadable});
    if (!drawing.error.empty()) {
        if (!holdsToken(element.data) && !data.hasPrinterFields) {
            context.error("B: " + std::string(type->name) +
                          " cannot carry this data: " + drawing.error);
        }
        addPlaceholder(element, *narrow, *height);
    } else {
        element.rects = std::move(drawing.bars);
        element.texts = std::move(drawing.texts);
    }
    context.draw(std::move(element));
}

}  // namespace label
