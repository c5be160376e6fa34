#include "label/PrinterFonts.h"

#include <array>

namespace label {

const PrinterFont* printerFont(int font) {
    static constexpr std::array<PrinterFont, 5> kFonts = {{
        {8, 12, 2},
        {10, 16, 2},
        {12, 20, 2},
        {14, 24, 2},
        {32, 48, 4},
    }};
    if (font < 1 || font > 5) {
        return nullptr;
    }
    return &kFonts[static_cast<std::size_t>(font - 1)];
}

}  // namespace label
