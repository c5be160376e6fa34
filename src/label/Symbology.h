#pragma once

#include <string>
#include <string_view>

// The bar code types of the B command that the preview draws, and what data
// each can carry.
namespace label {

enum class Symbology {
    Code128,
    Code39,
    Code39Check,
    Code93,
    Interleaved2of5,
    Interleaved2of5Check,
    Codabar,
    Ean13,
    Ean8,
    UpcA,
    UpcE,
};

struct SymbologyInfo {
    std::string_view code;  // B's p4: "1", "3", "3C", ...
    Symbology symbology;
    std::string_view name;
    // Bars and spaces are narrow or wide (p6 gives the wide width); the
    // others build every element from 1 to 4 narrow modules and ignore p6.
    bool wideBars;
    int narrowMin;
    int narrowMax;
};

// The type for `code`, nullptr when the preview does not draw it.
const SymbologyInfo* findSymbology(std::string_view code);

// An EPL2 bar code type that the printer knows and the preview does not draw
// (subsets forced by hand, add-ons, postal codes, ...).
bool isUndrawnBarcodeType(std::string_view code);

struct DataVerdict {
    std::string error;    // the data cannot be printed: empty when it can
    std::string warning;  // printable, with a catch
};

// Whether `data` is what the type can carry, with the printer adding its
// check digits (EAN, UPC, 3C, 2C).
DataVerdict checkBarcodeData(const SymbologyInfo& type, std::string_view data);

// Code 39 without full ASCII: digits, capitals, space and - . $ / + %.
bool isPlainCode39(std::string_view data);

}  // namespace label
