#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "label/Label.h"
#include "label/Symbology.h"

// Bar codes encoded by libzint and laid out in printer dots: zint's vector
// output gives the bars in modules, which become narrow or wide widths as the
// printer draws them.
namespace label {

struct BarcodeSize {
    int narrow = 0;
    int wide = 0;  // used where the type has wide bars
    int height = 0;
    bool humanReadable = false;
};

struct BarcodeDrawing {
    std::string error;  // why zint could not encode the data; empty when it did
    // In the bar code's own frame: the first bar starts at x 0, the bars run
    // from y 0 down to the height; the human-readable line lies below them.
    std::vector<DotRect> bars;
    std::vector<TextRun> texts;
    int width = 0;  // from the first bar's left edge to the last one's right edge
};

BarcodeDrawing encodeBarcode(const SymbologyInfo& type, std::string_view data,
                             const BarcodeSize& size);

}  // namespace label
