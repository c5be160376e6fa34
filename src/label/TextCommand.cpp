#include <cstdio>

#include "label/Params.h"
#include "label/PrinterFonts.h"
#include "label/ReadContext.h"

namespace label {
namespace {

constexpr int kMostPosition = 65535;
// Even font 1 at its narrowest puts no more characters than this on a label
// of the widest size: longer texts are drawn cut.
constexpr std::size_t kMostDrawnCharacters = 8192;

// The font's size: fonts 1 to 5 as they are; Asian and soft fonts have a
// size the preview does not know and stand in as font 1.
const PrinterFont* fontFor(ReadContext& context, std::string_view text) {
    if (text.size() == 1 && text[0] >= '1' && text[0] <= '5') {
        return printerFont(text[0] - '0');
    }
    const bool asian = text == "8" || text == "9";
    const bool soft = text.size() == 1 &&
                      ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
    if (asian || soft) {
        context.warning(std::string("A: font ") + std::string(text) + " is " +
                        (asian ? "an Asian font" : "a downloaded soft font") +
                        " whose size the preview does not know: drawn as font 1");
        return printerFont(1);
    }
    context.error("A: font (p4) must be 1 to 5, 8 or 9, or the letter of a soft font, not " +
                  quoted(text));
    return nullptr;
}

void warnNonAscii(ReadContext& context, std::string_view data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        if (byte < 0x20 || byte > 0x7e) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "A: byte 0x%02X at position %zu is not printable ASCII: the printer "
                          "prints it from its own character set",
                          byte, i + 1);
            context.warning(text);
            return;
        }
    }
}

}  // namespace

void readText(ReadContext& context, std::string_view params) {
    const std::vector<std::string_view> fields = splitAtCommas(params, 8);
    if (!context.expectFields("A", fields, 8,
                              "x, y, rotation, font, width and height multipliers, N or R, "
                              "\"data\"")) {
        return;
    }
    const auto x = context.number("A", fields, 1, "x position", 0, kMostPosition);
    const auto y = context.number("A", fields, 2, "y position", 0, kMostPosition);
    const auto rotation = context.number("A", fields, 3, "rotation", 0, 3);
    const PrinterFont* font = fontFor(context, fields[3]);
    const auto across = context.number("A", fields, 5, "width multiplier", 1, 8);
    if (across == 7) {
        context.error("A: width multiplier (p5) must be 1 to 6 or 8, not \"7\"");
    }
    const auto down = context.number("A", fields, 6, "height multiplier", 1, 9);
    const bool reverse = fields[6] == "R";
    if (fields[6] != "N" && !reverse) {
        context.error("A: p7 must be N (normal) or R (reverse), not " + quoted(fields[6]));
    }
    const DataText data = readData(fields[7]);
    if (!data.problem.empty()) {
        context.error("A: " + data.problem);
        return;
    }
    if (data.hasPrinterFields) {
        context.warning("A: the printer fills in its fields (V, C, TT, TD): drawn as they stand");
    }
    if (!x || !y || !rotation || !font || !across || across == 7 || !down) {
        return;
    }

    Element element;
    element.kind = ElementKind::Text;
    element.command = "A";
    element.x = *x;
    element.y = *y;
    element.quarterTurns = *rotation;
    element.data = context.fillSamples(data.bytes);
    warnNonAscii(context, element.data);
    if (fields[3] == "5" &&
        element.data.find_first_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos) {
        context.warning(
            "A: font 5 has capitals only: its lower-case letters do not print as "
            "drawn");
    }
    TextRun run;
    run.text = element.data.substr(0, kMostDrawnCharacters);
    if (element.data.size() > kMostDrawnCharacters) {
        context.warning("A: a text of " + std::to_string(element.data.size()) +
                        " characters: the preview draws the first " +
                        std::to_string(kMostDrawnCharacters));
    }
    run.charWidth = font->width * *across;
    run.charHeight = font->height * *down;
    run.pitch = (font->width + font->gap) * *across;
    if (reverse) {
        const int width = run.pitch * static_cast<int>(run.text.size());
        element.rects.push_back({0, 0, width, run.charHeight, Ink::Invert});
        run.ink = Ink::Invert;
    }
    element.texts.push_back(std::move(run));
    context.draw(std::move(element));
}

}  // namespace label
