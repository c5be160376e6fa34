#pragma once

// The printer's resident mono-spaced fonts 1 to 5 at 203 dpi: each character
// is width by height dots, followed by gap white dots before the next one.
namespace label {

struct PrinterFont {
    int width;
    int height;
    int gap;
};

// Font 1 to 5; nullptr for any other.
const PrinterFont* printerFont(int font);

}  // namespace label
